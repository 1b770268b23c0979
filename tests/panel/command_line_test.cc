#include "panel/core/command_line.h"

#include <gtest/gtest.h>

#include "panel/core/os_name.h"

namespace quorix::panel {
namespace {

TEST(CommandLineTest, Options) {
  struct Case {
    std::vector<std::string> args;
    bool hasConfig;
    std::string configPath;
    int32_t debugLevel;
  } cases[] = {
      {{"p"}, false, "", -1},
      {{"p", "-c", "a.cpdat"}, true, "a.cpdat", -1},
      {{"p", "-c"}, false, "", -1},  // option in last position
      {{"p", "-d", "1", "-c", "x"}, true, "x", 1},
      {{"p", "-cfile", "x"}, true, "x", -1},  // only the second character counts
      {{"p", "-C", "x"}, false, "", -1},      // case-sensitive
      {{"p", "-d", "7abc"}, false, "", 7},
      {{"p", "-d", "abc"}, false, "", 0},
      {{"p", "-d", "-1"}, false, "", -1},
      {{"p", "-c", "-d", "2"}, true, "-d", 2},  // a value is looked at in turn
      {{"p", "-"}, false, "", -1},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (const std::string& arg : c.args) joined += arg + " ";
    CommandLine result = ParseCommandLine(c.args);
    EXPECT_EQ(result.hasConfig, c.hasConfig) << joined;
    EXPECT_EQ(result.configPath, c.configPath) << joined;
    EXPECT_EQ(result.debugLevel, c.debugLevel) << joined;
  }
}

TEST(OsNameTest, Classification) {
  struct Case {
    OsVersion version;
    const char* name;
    bool win9x;
  } cases[] = {
      {{OsPlatform::kWin9x, 4, 0}, "Windows 95", true},
      {{OsPlatform::kWin9x, 4, 10}, "Windows 98", true},
      {{OsPlatform::kWin9x, 4, 90}, "Windows ME", true},
      {{OsPlatform::kNt, 3, 51}, "NT3", false},
      {{OsPlatform::kNt, 4, 0}, "NT4", false},
      {{OsPlatform::kNt, 5, 0}, "Windows 2000", false},
      {{OsPlatform::kNt, 5, 1}, "Windows XP", false},
      {{OsPlatform::kNt, 6, 0}, "Windows XP", false},
      {{OsPlatform::kOther, 0, 0}, "Unknown", false},
  };
  for (const Case& c : cases) {
    bool win9x = !c.win9x;
    EXPECT_EQ(OsName(c.version, win9x), c.name) << c.name;
    EXPECT_EQ(win9x, c.win9x) << c.name;
  }
  bool win9x = true;
  OsName(CurrentOsVersion(), win9x);
  EXPECT_FALSE(win9x);
}

}  // namespace
}  // namespace quorix::panel
