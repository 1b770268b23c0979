#include "tools/demo/site_options.h"

#include <charconv>
#include <string_view>

namespace quorix::demo {
namespace {

constexpr const char* kUsage =
    "usage: quorix_demo_site --dir DIR --quorix FILE --source DIR --web-port N\n"
    "         [--vexa-port N]... [--opensearch-port N]... [--vexa-url URL]... [--timeout-ms N]\n"
    "         [--cache-minutes N] [--debug N] [--debug-file FILE] [--user NAME --group NAME]\n"
    "         [--fastcgi] [--fastcgi-procs N] [--page-markup 0|1] [--page-deadline-ms N]";

bool ParseNumber(std::string_view text, int low, int high, int* value) {
  int number = 0;
  auto [end, code] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (code != std::errc() || end != text.data() + text.size() || number < low || number > high)
    return false;
  *value = number;
  return true;
}

std::string LocalUrl(int port, const char* path) {
  return "http://127.0.0.1:" + std::to_string(port) + path;
}

// What the options give beyond DemoSiteOptions itself.
struct ParsedExtras {
  std::string source;
  int timeoutMs = 5000;
  bool portGiven = false;
};

// Stores one option's value. False for an option this program does not know.
bool ApplyOption(std::string_view option, std::string_view value, int number,
                 DemoSiteOptions& options, ParsedExtras& extras) {
  if (option == "--dir") {
    options.directory = value;
  } else if (option == "--quorix") {
    options.quorixBinary = value;
  } else if (option == "--source") {
    extras.source = value;
  } else if (option == "--web-port") {
    options.webPort = number;
    extras.portGiven = true;
  } else if (option == "--vexa-port") {
    options.nodes.push_back({0, LocalUrl(number, "/search.cgi"), 0, false});
  } else if (option == "--opensearch-port") {
    options.nodes.push_back({1, LocalUrl(number, "/opensearch.xml"), 0, false});
  } else if (option == "--vexa-url") {
    options.nodes.push_back({0, std::string(value), 0, false});
  } else if (option == "--debug-file") {
    options.debugFile = value;
  } else if (option == "--timeout-ms") {
    extras.timeoutMs = number;
  } else if (option == "--cache-minutes") {
    options.cacheMinutes = number;
  } else if (option == "--debug") {
    options.debugMode = number;
  } else if (option == "--fastcgi-procs") {
    options.fastCgiProcesses = number;
  } else if (option == "--page-markup") {
    options.pageMarkup = number;
  } else if (option == "--page-deadline-ms") {
    options.pageDeadlineMs = number;
  } else if (option == "--user") {
    options.user = value;
  } else if (option == "--group") {
    options.group = value;
  } else {
    return false;
  }
  return true;
}

// The number an option takes, checked against its range; true for an option
// that takes no number.
bool ReadOptionNumber(std::string_view option, std::string_view value, int* number) {
  bool isPort = option == "--web-port" || option == "--vexa-port" || option == "--opensearch-port";
  bool isNumber = isPort || option == "--timeout-ms" || option == "--cache-minutes" ||
                  option == "--debug" || option == "--fastcgi-procs" || option == "--page-markup" ||
                  option == "--page-deadline-ms";
  int low = isPort || option == "--fastcgi-procs" ? 1 : 0;
  int high = isPort ? 65535 : option == "--page-markup" ? 1 : 1000000;
  return !isNumber || ParseNumber(value, low, high, number);
}

}  // namespace

bool ParseSiteOptions(int argc, const char* const* argv, DemoSiteOptions& options,
                      std::string* error) {
  ParsedExtras extras;
  for (int i = 1; i < argc; ++i) {
    std::string_view option = argv[i];
    if (option == "--fastcgi") {
      options.fastCgi = true;
      continue;
    }
    if (i + 1 >= argc) {
      *error = "missing value after " + std::string(option) + "\n" + kUsage;
      return false;
    }
    std::string_view value = argv[++i];
    int number = 0;
    if (!ReadOptionNumber(option, value, &number)) {
      *error = "not a valid number for " + std::string(option) + ": " + std::string(value);
      return false;
    }
    if (!ApplyOption(option, value, number, options, extras)) {
      *error = "unknown option: " + std::string(option) + "\n" + kUsage;
      return false;
    }
  }
  if (options.directory.empty() || options.quorixBinary.empty() || extras.source.empty() ||
      !extras.portGiven) {
    *error = std::string("--dir, --quorix, --source and --web-port are required\n") + kUsage;
    return false;
  }
  if (options.user.empty() != options.group.empty()) {
    *error = "--user and --group go together";
    return false;
  }
  for (SiteNode& node : options.nodes) node.timeoutMs = extras.timeoutMs;
  options.templateFile = extras.source + "/panel/resources/cgi files/search_template.html";
  options.scriptFile = extras.source + "/panel/resources/cgi files/quorix-results.js";
  options.languageFile = extras.source + "/panel/resources/cgi files/lang/English.vlang";
  return true;
}

}  // namespace quorix::demo
