// The web servers' rules generated beside the search program: an Apache
// .htaccess that the server reads from the output folder, and lighttpd and
// nginx snippets in webserver/ for the server's own configuration. All of them
// keep visitors away from the settings, the category names, the logs and the
// cache.
#pragma once

#include <span>

namespace quorix::panel {

// The folder, inside the output folder, that holds the snippets.
inline constexpr char kServerRulesFolder[] = "webserver";

struct ServerRulesFile {
  const char* name;  // relative to the output folder
  const char* content;
};

// Every rules file, .htaccess first.
std::span<const ServerRulesFile> ServerRulesFiles();

}  // namespace quorix::panel
