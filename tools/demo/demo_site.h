// Lays out a folder that lighttpd can serve: quorix as a CGI with its settings,
// template, category names and language strings, and the lighttpd configuration.
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
  std::string languageFile;  // a .vlang file whose entries become STR_ lines
  int webPort = 8080;
  std::vector<SiteNode> nodes;
  std::vector<std::string> categoryNames;  // written to vexa_cats.qxdat when not empty
  int cacheMinutes = 10;
  int debugMode = 0;
  int formFormat = 2;
};

// Writes the folder. False with `error` set when a file cannot be written.
// The search log goes to <directory>/logs/searchwords.log.
bool WriteDemoSite(const DemoSiteOptions& options, std::string* error);

// The settings file text for `options` (STR_ lines included).
std::string DemoSettingsText(const DemoSiteOptions& options);

}  // namespace quorix::demo
