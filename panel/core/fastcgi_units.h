// The systemd units that run the search program as a FastCGI application for
// one site without the quorix package: a socket in /run/quorix named after the
// site's folder, and the service it starts, which runs the site's quorix.cgi
// as www-data and may write only into the site's cache/ and logs/. They are
// generated into webserver/ beside the web servers' rules.
#pragma once

#include <string>
#include <vector>

namespace quorix::panel {

struct UnitFile {
  std::string name;  // relative to the output folder
  std::string content;
};

// `path` as systemd-escape --path writes it: the parts joined with "-", every
// byte other than a letter, digit, ':', '_' or a '.' not leading written \xNN.
std::string EscapedPath(const std::string& path);

// The service and its socket for the site in `siteDir`, an absolute path.
std::vector<UnitFile> FastCgiUnits(const std::string& siteDir);

}  // namespace quorix::panel
