// Command-line options of quorix_demo_site.
#pragma once

#include <string>

#include "tools/demo/demo_site.h"

namespace quorix::demo {

// Parses the options below into `options`. Nodes are numbered in the order given.
//   --dir DIR --quorix FILE --source DIR --web-port N      (all required)
//   --vexa-port N, --opensearch-port N                       (a demo node on 127.0.0.1; repeatable)
//   --vexa-url URL   a Vexa node at any address (another Quorix, say; repeatable)
//   --debug-file FILE  every diagnostics line goes to FILE
//   --timeout-ms N   every node's time-out (default 5000)
//   --cache-minutes N, --debug N, --user NAME --group NAME
// False with `error` set (usage included) on an unknown, incomplete or invalid option.
bool ParseSiteOptions(int argc, const char* const* argv, DemoSiteOptions& options,
                      std::string* error);

}  // namespace quorix::demo
