#include "config/settings_escape.h"

#include <gtest/gtest.h>

namespace quorix {
namespace {

TEST(SettingsEscape, WritesQuotesBackslashesAndReferences) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"plain text", "plain text"},
      {"say \"hi\"", "say \\\"hi\\\""},
      {"C:\\dir\\", "C:\\\\dir\\\\"},
      {"Tom & Jerry", "Tom &#38; Jerry"},
      {"&lt;", "&#38;lt;"},
      {"<b>", "&#60;b&#62;"},
      {"\xC2\xA2\xC2\xA3\xC2\xA5", "&#162;&#163;&#165;"},  // cent pound yen
      {"\xC2\xA9 \xC2\xAE", "&#169; &#174;"},              // copyright registered
      {"\xE2\x80\x9Cq\xE2\x80\x9D", "&#8220;q&#8221;"},    // curly quotes
      {"5 \xE2\x82\xAC", "5 &#128;"},                      // euro
      {"X\xE2\x84\xA2", "X&#8482;"},                       // trade mark
      {"caf\xC3\xA9 \xC2\xA0", "caf\xC3\xA9 \xC2\xA0"},    // others unchanged
      {"\xE2\x82", "\xE2\x82"},                            // a cut sequence passes
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(EscapeSettingsValue(c.in), c.out) << "input: " << c.in;
}

}  // namespace
}  // namespace quorix
