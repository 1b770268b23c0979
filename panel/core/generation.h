// Generating the search program's files into an output folder: quorix.cgi and
// search_template.html copied from the "cgi files" folder beside the control
// panel, settings.qxdat written from the live settings, and the category names
// when categories are used.
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
// 1 stopped by the user, -1 failed.
int GenerateCgiFiles(PanelSession& session);

// The files to copy to the web server, from `outputDir`.
std::vector<std::string> RequiredFiles(const std::string& outputDir, bool useCats);

}  // namespace quorix::panel
