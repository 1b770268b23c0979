// Command-line options shared by the demo nodes.
#pragma once

#include <string>

namespace quorix::demo {

struct NodeOptions {
  int port = 0;            // 0: pick a free port
  std::string corpus;      // tab-separated document file
  int delayMs = 0;         // wait this long before every answer (a slow node)
  bool garbage = false;    // answer with an HTML error page, not RSS (a broken node)
  std::string portFile;    // write the port here once listening
  std::string requestLog;  // append the target of every request here, one a line
  std::string redirectTo;  // answer every search with a redirect to this URL
};

// Parses --port N --corpus FILE --delay-ms N --garbage --port-file FILE
// --request-log FILE --redirect-to URL.
// False with `error` set on an unknown or incomplete option.
bool ParseNodeOptions(int argc, char** argv, NodeOptions& options, std::string* error);

}  // namespace quorix::demo
