#include "tools/demo/node_options.h"

#include <cstdlib>

namespace quorix::demo {

bool ParseNodeOptions(int argc, char** argv, NodeOptions& options, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    bool hasValue = i + 1 < argc;
    if (option == "--garbage") {
      options.garbage = true;
    } else if (option == "--port" && hasValue) {
      options.port = std::atoi(argv[++i]);
    } else if (option == "--corpus" && hasValue) {
      options.corpus = argv[++i];
    } else if (option == "--delay-ms" && hasValue) {
      options.delayMs = std::atoi(argv[++i]);
    } else if (option == "--port-file" && hasValue) {
      options.portFile = argv[++i];
    } else if (option == "--request-log" && hasValue) {
      options.requestLog = argv[++i];
    } else if (option == "--redirect-to" && hasValue) {
      options.redirectTo = argv[++i];
    } else {
      *error = "unknown or incomplete option: " + option + "\nusage: " + argv[0] +
               " --corpus FILE [--port N] [--delay-ms N] [--garbage] [--port-file FILE]"
               " [--request-log FILE] [--redirect-to URL]";
      return false;
    }
  }
  if (options.corpus.empty()) {
    *error = "missing --corpus FILE";
    return false;
  }
  return true;
}

}  // namespace quorix::demo
