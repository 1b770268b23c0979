// The control panel's command line: -c <settings file> and -d <debug level>.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorix::panel {

struct CommandLine {
  bool hasConfig = false;  // -c named a settings file to load at start
  std::string configPath;
  int32_t debugLevel = -1;  // -1: not given
};

// Reads `args` (args[0] is the program). Every argument of two characters or
// more that starts with "-" is looked at by its second character ("c" or "d",
// case-sensitive; the rest is ignored) and takes the next argument as its
// value; an option in the last position is ignored, and a value is itself
// looked at like any other argument.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The decimal integer at the start of `text` (optional sign, digits up to the
// first other character); 0 when the text does not begin with a number.
int32_t LeadingInteger(std::string_view text);

}  // namespace quorix::panel
