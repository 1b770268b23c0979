#include "panel/core/command_line.h"

#include <cctype>
#include <limits>

namespace quorix::panel {

int32_t LeadingInteger(std::string_view text) {
  size_t at = 0;
  while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
  int64_t value = 0;
  for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at) {
    value = value * 10 + (text[at] - '0');
    if (value > std::numeric_limits<int32_t>::max()) value = std::numeric_limits<int32_t>::max();
  }
  return static_cast<int32_t>(negative ? -value : value);
}

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine result;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.size() < 2 || arg[0] != '-' || i + 1 >= args.size()) continue;
    if (arg[1] == 'c') {
      result.configPath = args[i + 1];
      result.hasConfig = true;
    } else if (arg[1] == 'd') {
      result.debugLevel = LeadingInteger(args[i + 1]);
    }
  }
  return result;
}

}  // namespace quorix::panel
