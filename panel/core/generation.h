// Generating the search program's files into an output folder: quorix.cgi and
// search_template.html copied from the "cgi files" folder beside the control
// panel, settings.qxdat written from the live settings, the category names
// when categories are used, the folders the search program writes into
// (cache/ and the folders of relative log file names) and an Apache .htaccess
// that keeps visitors away from the settings, the logs and the cache, with
// rules for lighttpd and nginx and the systemd units of the FastCGI mode.
#pragma once

#include <string>
#include <vector>

#include "panel/core/session.h"

namespace quorix::panel {

inline constexpr size_t kOutputDirMax = 256;  // UTF-16 units

// Asks for the output folder, starting at `folder`. Returns 0 with the choice
// in `folder`, 1 when cancelled, -1 when the browser failed, chose something
// that is not a folder (reported), or gave an empty path.
int BrowseForOutputFolder(PanelSession& session, std::string& folder);

// The whole generation; 0 files created (the files-created dialog was shown),
// 1 stopped by the user, -1 failed, with "FILE: reason" in `failure` when a
// file could not be written. The files are written beside the output folder
// first and moved into it only when all of them were, so a failure leaves the
// output folder as it was.
int GenerateCgiFiles(PanelSession& session, std::string& failure);
int GenerateCgiFiles(PanelSession& session);

// The files to copy to the web server, from `outputDir` (the web servers'
// rules and the FastCGI units last, webserver/ holding those to put in the
// server's own configuration), then the folders the
// search program writes into (each ending in "/"): cache/, and the folder of
// each log file name that lies inside the output folder.
std::vector<std::string> RequiredFiles(const std::string& outputDir, const Config& config);

// The folder on the web server is asked for at the first generation (preset
// kDefaultSiteFolder) and remembered in the panel's settings; the web
// servers' rules, the FastCGI units and the deployment notes name it.
//
// What the administrator must know before the search runs from `siteFolder`:
// a warning for each log in use whose name is relative (and whether it lies
// inside the web root), then the folders the web server's user must be able to
// write into, with the command that hands them over, and the folder the
// FastCGI units name.
std::vector<std::string> DeploymentNotes(const std::string& siteFolder, const Config& config);

}  // namespace quorix::panel
