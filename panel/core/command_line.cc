#include "panel/core/command_line.h"

#include "platform/int_parse.h"

namespace quorix::panel {

int32_t LeadingInteger(std::string_view text) {
  int32_t value = 0;
  ParseLeadingInt(text, value);
  return value;
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
