// Lays out a folder that lighttpd can serve: quorix as a CGI with its settings,
// template and its script, category names and language strings, and the
// lighttpd configuration.
#pragma once

#include <string>
#include <vector>

namespace quorix::demo {

struct SiteNode {
  int type = 0;     // 0 Vexa node, 1 OpenSearch node
  std::string url;  // Vexa: the query URL; OpenSearch: the description URL
  int timeoutMs = 5000;
  bool disabled = false;
};

struct DemoSiteOptions {
  std::string directory;     // created when missing; www/ inside it is the document root
  std::string quorixBinary;  // copied to www/quorix.cgi
  std::string templateFile;  // copied to www/search_template.html
  std::string scriptFile;    // copied to www/quorix-results.js, which the template links
  std::string languageFile;  // a .vlang file whose entries become STR_ lines
  int webPort = 8080;
  std::vector<SiteNode> nodes;
  std::vector<std::string> categoryNames;  // written to vexa_cats.qxdat when not empty
  int cacheMinutes = 10;
  int debugMode = 0;
  std::string debugFile;  // when set, every diagnostics line is appended to it
  int formFormat = 2;
  int pageMarkup = 1;      // the PageMarkup setting; 0 writes the older markup
  int pageDeadlineMs = 0;  // the PageDeadlineMs setting; 0 leaves it out
  // When set, lighttpd starts quorix once as a FastCGI application (its socket
  // in <directory>/run) instead of running it as a CGI for every request.
  bool fastCgi = false;
  int fastCgiProcesses = 1;  // FastCGI processes lighttpd keeps
  // When set, lighttpd (started as root) runs as this user and group, who then
  // own the cache and log folders.
  std::string user;
  std::string group;
};

// Writes the folder. False with `error` set when a file cannot be written.
// The search log goes to <directory>/logs/searchwords.log, outside the document
// root; the web server refuses to serve *.qxdat files and the cache folder.
bool WriteDemoSite(const DemoSiteOptions& options, std::string* error);

// The settings file text for `options` (STR_ lines included).
std::string DemoSettingsText(const DemoSiteOptions& options);

// The lighttpd configuration text for `options`.
std::string LighttpdConfig(const DemoSiteOptions& options);

}  // namespace quorix::demo
