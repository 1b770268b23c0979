#include "platform/text.h"

#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <vector>

#include "platform/file_name_check.h"
#include "platform/html_escape.h"
#include "platform/program_dir.h"
#include "platform/url_escape.h"

namespace quorix {
namespace {

TEST(Text, RepairReplacesInvalidSequences) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"plain", "plain"},
      {"caf\xC3\xA9", "caf\xC3\xA9"},
      {"a\xFF" "b", "a\xEF\xBF\xBD" "b"},
      {"trunc\xE2\x82", "trunc\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // encoded surrogate
      {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                  // overlong slash
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RepairUtf8(c.in), c.out) << "input: " << c.in;
    std::string inPlace = c.in;
    RepairUtf8InPlace(inPlace);
    EXPECT_EQ(inPlace, c.out) << "input: " << c.in;
  }
}

TEST(Text, MarkupSafeTextKeepsOnlyCharactersXmlAllows) {
  const std::pair<std::string, std::string> kCases[] = {
      {"Fish <b>chips</b> &amp; 42", "Fish <b>chips</b> &amp; 42"},
      {"tab\tline\ncr\r", "tab\tline\ncr\r"},
      {std::string("a\x01\x08\x0B\x0C\x1F\x00z", 8), "az"},          // C0 controls dropped
      {"x\xEF\xBF\xBEy\xEF\xBF\xBF", "x\xEF\xBF\xBDy\xEF\xBF\xBD"},  // U+FFFE, U+FFFF
      {"\xEF\xBF\xBD\xEE\x80\x80\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF",      // allowed
       "\xEF\xBF\xBD\xEE\x80\x80\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"},
      {"\xED\xA0\x80!", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD!"},  // encoded surrogate
      {"\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // above U+10FFFF
  };
  for (const auto& [in, out] : kCases) EXPECT_EQ(MarkupSafeText(in), out) << "input: " << in;

  const std::pair<std::string, std::optional<std::string>> kSections[] = {
      {"<![CDATA[<b>a</b> &amp;]]>", "<b>a</b> &amp;"},
      {"<![CDATA[]]>", ""},
      {"<![CDATA[a]]> b]]>", std::nullopt},
      {"<![CDATA[a]]>b", std::nullopt},
      {"<![CDATA[a]>", std::nullopt},
      {"a <![CDATA[b]]>", std::nullopt},
  };
  for (const auto& [in, content] : kSections) EXPECT_EQ(CdataSectionContent(in), content) << in;
}

TEST(Text, Utf16RoundTripKeepsAstralCharacters) {
  std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // a é € 😀
  std::u16string wide = Utf8ToUtf16(text);
  EXPECT_EQ(wide.size(), 5u);
  EXPECT_EQ(Utf16Length(text), 5u);
  EXPECT_EQ(Utf16ToUtf8(wide), text);
  EXPECT_EQ(Utf16ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");
  EXPECT_EQ(LeBytesToUtf16(Utf16ToLeBytes(wide)), wide);
}

TEST(Text, CutUtf16NeverSplitsACharacter) {
  std::string emoji = "\xF0\x9F\x98\x80";  // two UTF-16 units
  EXPECT_EQ(CutUtf16("abcdef", 3), "abc");
  EXPECT_EQ(CutUtf16("ab" + emoji, 3), "ab");
  EXPECT_EQ(CutUtf16("ab" + emoji, 4), "ab" + emoji);
  EXPECT_EQ(CutUtf16("\xC3\xA9\xC3\xA9", 1), "\xC3\xA9");
  EXPECT_EQ(CutBytes("a\xC3\xA9", 2), "a");
  EXPECT_EQ(CutBytes("a\xC3\xA9", 3), "a\xC3\xA9");
}

TEST(UrlEscape, KeepsOnlyUnreservedCharacters) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"c++", "c%2B%2B"},
      {"a&b", "a%26b"},
      {"50%", "50%25"},
      {"big cat", "big%20cat"},
      {"a=b#c", "a%3Db%23c"},
      {"AZaz09-_.~", "AZaz09-_.~"},
      {"caf\xC3\xA9", "caf%C3%A9"},
      {"\"q\"", "%22q%22"},
  };
  for (const auto& c : cases) EXPECT_EQ(UrlEscape(c.in), c.out) << "input: " << c.in;
}

TEST(FileNameCheck, RefusesNamesThatWouldNeedCleaning) {
  EXPECT_FALSE(FileNameNeedsCleaning("vexa_query=cat&vexa_and=1&vexa_cat%5B%5D=-1&vexa_sort=0"));
  for (const std::string& bad : std::vector<std::string>{"a/b", "a\\b", "a:b", "a*b", "a?b", "a\"b", "a<b", "a>b", "a|b",
                          std::string("a\x01" "b"), std::string(256, 'x'), std::string()}) {
    EXPECT_TRUE(FileNameNeedsCleaning(bad)) << "input: " << bad;
  }
  EXPECT_FALSE(FileNameNeedsCleaning(std::string(255, 'x')));
}

TEST(ProgramDir, TakesTheDirectoryOfArgv0OrOfTheRunningProgram) {
  EXPECT_EQ(ProgramDir("/srv/www/cgi-bin/quorix"), "/srv/www/cgi-bin");
  EXPECT_EQ(ProgramDir("./quorix"), ".");
  EXPECT_EQ(ProgramDir("/quorix"), "");
  std::string self = ProgramDir("quorix");
  EXPECT_FALSE(self.empty());
  EXPECT_EQ(self.front(), '/');
}

}  // namespace
}  // namespace quorix
