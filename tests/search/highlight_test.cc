#include "search/page/highlight.h"

#include <gtest/gtest.h>

namespace quorix {
namespace {

constexpr HighlightOptions kWords{true, false, false};
constexpr HighlightOptions kSubstrings{true, true, false};
constexpr HighlightOptions kCaselessWords{true, false, true};

std::string Span(const std::string& text) {
  return "<span class=\"highlight\">" + text + "</span>";
}

TEST(HighlightText, MatchesTermsAsTheModeSays) {
  struct Case {
    std::string text;
    std::vector<std::string> patterns;
    HighlightOptions options;
    std::string expected;
  } cases[] = {
      {"foo bar foo", {"foo"}, kWords, Span("foo") + " bar " + Span("foo")},
      // The search resumes one past the trailing blank, so the second is missed.
      {"foo foo", {"foo"}, kWords, Span("foo") + " foo"},
      {"foobar", {"foo"}, kWords, "foobar"},
      {"foobar", {"foo"}, kSubstrings, Span("foo") + "bar"},
      {"aab", {"a"}, kSubstrings, Span("a") + "ab"},
      {"FOO", {"foo"}, kCaselessWords, Span("FOO")},
      {"FOO", {"foo"}, kWords, "FOO"},
      {"big cat", {"big", "cat"}, kWords, Span("big") + " " + Span("cat")},
      {"c++ rocks", {"c\\+\\+"}, kWords, Span("c++") + " rocks"},
      {"fish.htm and fi.htm",
       {"fi[\\d\\S]*\\.htm"},
       kWords,
       Span("fish.htm") + " and " + Span("fi.htm")},
      // A one-letter text is highlighted like any other; no marker is left.
      {"a", {"a"}, kWords, Span("a")},
      {"x", {"a"}, kWords, "x"},
      // Later terms never match inside what earlier ones inserted.
      {"foo", {"foo", "span", "class", "highlight"}, kWords, Span("foo")},
      // An empty pattern and one that does not compile are skipped.
      {"foo bar", {"", "(", "bar"}, kWords, "foo " + Span("bar")},
      {"", {"foo"}, kWords, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HighlightText(c.text, c.patterns, c.options, TextKind::kMarkup), c.expected)
        << "text: " << c.text << " first pattern: " << c.patterns[0]
        << " substring: " << c.options.substring << " caseless: " << c.options.caseless;
  }
}

TEST(HighlightText, OffWritesMarkupUnchangedAndPlainTextEscaped) {
  HighlightOptions off;
  EXPECT_EQ(HighlightText("<b>foo</b>", {"foo"}, off, TextKind::kMarkup), "<b>foo</b>");
  EXPECT_EQ(HighlightText("<b>foo</b>", {"foo"}, off, TextKind::kPlain), "&lt;b&gt;foo&lt;/b&gt;");
}

TEST(HighlightText, PlainTextIsMatchedAsTextAndEscaped) {
  struct Case {
    std::string text, pattern, expected;
  } cases[] = {
      {"a & b", "amp", "a &amp; b"},
      {"x < y", "lt", "x &lt; y"},
      {"Tom & Jerry", "Jerry", "Tom &amp; " + Span("Jerry")},
      {"<script>alert(1)</script> foo", "foo",
       "&lt;script&gt;alert(1)&lt;/script&gt; " + Span("foo")},
      {"\"foo\"", "foo", "&quot;" + Span("foo") + "&quot;"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(HighlightText(c.text, {c.pattern}, kWords, TextKind::kPlain), c.expected)
        << "text: " << c.text;
}

TEST(HighlightText, LongTextsAreHighlightedThroughout) {
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "word foo ";
  std::string out = HighlightText(text, {"foo"}, kWords, TextKind::kMarkup);
  EXPECT_EQ(out.find("[;:]"), std::string::npos);
  size_t spans = 0;
  for (size_t pos = out.find("<span"); pos != std::string::npos; pos = out.find("<span", pos + 1))
    ++spans;
  EXPECT_EQ(spans, 2000u);
}

}  // namespace
}  // namespace quorix
