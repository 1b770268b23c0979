// Writes a demo site folder for lighttpd: quorix as a CGI wired to demo nodes.
// Run it without options for the usage.
#include <cstdio>
#include <string>

#include "tools/demo/demo_site.h"
#include "tools/demo/site_options.h"

int main(int argc, char** argv) {
  quorix::demo::DemoSiteOptions options;
  std::string error;
  if (!quorix::demo::ParseSiteOptions(argc, argv, options, &error)) {
    std::fprintf(stderr, "quorix_demo_site: %s\n", error.c_str());
    return 2;
  }
  // The Vexa demo node numbers its categories in this order.
  options.categoryNames = {"Library", "Parks and Recreation", "Council", "Events", "Transport",
                           "Museums", "Waste and Recycling",  "Schools"};
  if (!quorix::demo::WriteDemoSite(options, &error)) {
    std::fprintf(stderr, "quorix_demo_site: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
