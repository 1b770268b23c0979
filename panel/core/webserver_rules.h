// The web servers' rules generated beside the search program: an Apache
// .htaccess that the server reads from the output folder, and lighttpd and
// nginx snippets in webserver/ for the server's own configuration. All of them
// keep visitors away from the settings, the category names, the logs and the
// cache.
#pragma once

#include <string>
#include <vector>

namespace quorix::panel {

// The folder, inside the output folder, that holds the snippets.
inline constexpr char kServerRulesFolder[] = "webserver";

// The folder the rules are written for when the administrator names none.
inline constexpr char kDefaultSiteFolder[] = "/var/www/search";

struct ServerRulesFile {
  const char* name;  // relative to the output folder
  std::string content;
};

// Every rules file, .htaccess first, for a search that runs from `siteFolder`
// on the web server.
std::vector<ServerRulesFile> ServerRulesFiles(const std::string& siteFolder);

}  // namespace quorix::panel
