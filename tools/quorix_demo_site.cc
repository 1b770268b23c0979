// Writes a demo site folder for lighttpd: quorix as a CGI wired to the two demo nodes.
//
//   quorix_demo_site DIR QUORIX_BINARY SOURCE_DIR WEB_PORT VEXA_PORT OPENSEARCH_PORT
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/demo/demo_site.h"

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr,
                 "usage: %s DIR QUORIX_BINARY SOURCE_DIR WEB_PORT VEXA_PORT OPENSEARCH_PORT\n",
                 argv[0]);
    return 2;
  }
  std::string source = argv[3];
  quorix::demo::DemoSiteOptions options;
  options.directory = argv[1];
  options.quorixBinary = argv[2];
  options.templateFile = source + "/panel/resources/cgi files/search_template.html";
  options.languageFile = source + "/panel/resources/cgi files/lang/English.vlang";
  options.webPort = std::atoi(argv[4]);
  std::string vexa = "http://127.0.0.1:" + std::string(argv[5]);
  std::string openSearch = "http://127.0.0.1:" + std::string(argv[6]);
  options.nodes = {{0, vexa + "/search", 5000, false},
                   {1, openSearch + "/opensearch.xml", 5000, false}};
  // The Vexa demo node numbers its categories in this order.
  options.categoryNames = {"Library", "Parks and Recreation", "Council", "Events", "Transport",
                           "Museums", "Waste and Recycling",  "Schools"};
  std::string error;
  if (!quorix::demo::WriteDemoSite(options, &error)) {
    std::fprintf(stderr, "quorix_demo_site: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
