#include "panel/core/webserver_rules.h"

#include <string_view>

namespace quorix::panel {
namespace {

// Visitors get neither the settings, the category names, a log file nor
// anything in cache/ or logs/. The folder rule looks at the last two parts of
// the address only, so that a parent folder named "cache" or "logs" is not
// caught by it.
constexpr char kAccessRules[] =
    "# Written by Quorix ControlPanel. The search program runs as a CGI program, the\n"
    "# folder's index; needs AllowOverride AuthConfig FileInfo Indexes Options=ExecCGI\n"
    "# (or All) for this folder in the server's configuration.\n"
    "Options +ExecCGI\n"
    "AddHandler cgi-script .cgi\n"
    "DirectoryIndex quorix.cgi\n"
    "# The settings, the category names, the logs and the cached result sets are not\n"
    "# for visitors.\n"
    "<FilesMatch \"(?i)^(settings\\.qxdat|vexa_cats\\.qxdat|.*\\.log|\\.ht.*)$\">\n"
    "    Require all denied\n"
    "</FilesMatch>\n"
    "RedirectMatch 404 \"(?i)/(cache|logs|webserver)(/[^/]*)?$\"\n";

// The same refusals, and the CGI lines for the search program, for servers
// that do not read .htaccess. Written for one URL prefix and folder that the
// administrator replaces with the site's own.
constexpr char kLighttpdRules[] =
    "# Written by Quorix ControlPanel for lighttpd. Written for the URL prefix /search/\n"
    "# and the folder @SITE@: replace the prefix with your site's own.\n"
    "server.modules += (\"mod_access\", \"mod_cgi\")\n"
    "$HTTP[\"url\"] =~ \"^/search/\" {\n"
    "  cgi.assign = (\".cgi\" => \"\")\n"
    "  index-file.names = (\"quorix.cgi\")\n"
    "}\n"
    "# quorix-results.js, which the page template links, is served as a file from the folder.\n"
    "# The settings, the category names, the logs, the cache and .ht files are not for visitors.\n"
    "$HTTP[\"url\"] =~ \"(?i)^/search/"
    "((cache|logs|webserver)(/|$)|(.*/)?(settings\\.qxdat|vexa_cats\\.qxdat|[^/]*\\.log|\\.ht[^/"
    "]*)$)\" {\n"
    "  url.access-deny = (\"\")\n"
    "}\n";

constexpr char kNginxRules[] =
    "# Written by Quorix ControlPanel for nginx with fcgiwrap, for the server block.\n"
    "# Written for the URL prefix /search/\n"
    "# and the folder @SITE@: replace the prefix with your site's own.\n"
    "location = /search/quorix.cgi {\n"
    "  include fastcgi_params;\n"
    "  fastcgi_param SCRIPT_FILENAME \"@SITE@/quorix.cgi\";\n"
    "  fastcgi_pass unix:/run/fcgiwrap.socket;\n"
    "}\n"
    "# The script the page template links, served as a file.\n"
    "location = /search/quorix-results.js {\n"
    "  alias \"@SITE@/quorix-results.js\";\n"
    "}\n"
    "# The settings, the category names, the logs, the cache and .ht files are not for visitors.\n"
    "location ~* \"^/search/"
    "((cache|logs|webserver)(/|$)|(.*/)?(settings\\.qxdat|vexa_cats\\.qxdat|[^/]*\\.log|\\.ht[^/"
    "]*)$)\" {\n"
    "  deny all;\n"
    "}\n";

// `text` with every "@SITE@" replaced by `siteFolder`.
std::string ForFolder(std::string text, const std::string& siteFolder) {
  constexpr std::string_view kMark = "@SITE@";
  for (size_t at = text.find(kMark); at != std::string::npos;
       at = text.find(kMark, at + siteFolder.size()))
    text.replace(at, kMark.size(), siteFolder);
  return text;
}

}  // namespace

std::vector<ServerRulesFile> ServerRulesFiles(const std::string& siteFolder) {
  return {{".htaccess", kAccessRules},
          {"webserver/lighttpd.conf", ForFolder(kLighttpdRules, siteFolder)},
          {"webserver/nginx.conf", ForFolder(kNginxRules, siteFolder)}};
}

}  // namespace quorix::panel
