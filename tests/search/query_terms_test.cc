#include "search/page/query_terms.h"

#include <gtest/gtest.h>

#include "platform/html_escape.h"
#include "platform/text.h"
#include "platform/url_escape.h"
#include "tests/support/recording_log.h"

namespace quorix {
namespace {

using Terms = std::vector<std::string>;

TEST(QueryTerms, SplitsWordsAndPhrases) {
  struct Case {
    std::string query;
    Terms terms;
  } cases[] = {
      {"", {}},
      {"cat", {"cat"}},
      {"big cat", {"big", "cat"}},
      {"big  cat", {"big", "cat"}},
      {"  big cat  ", {"big", "cat"}},
      {"a\tb c", {"a\tb", "c"}},
      {"\"big cat\" dog", {"big cat", "dog"}},
      {"dog \"big cat\"", {"dog", "big cat"}},
      {"\"\"", {""}},
      {"\"big cat", {"big", "cat"}},
      {"a\tb \"c\"", {"a", "b", "c"}},
      // After a match the character behind it is skipped when another follows:
      // here the opening quote of the phrase, so its words come apart.
      {"x\"big cat\"", {"x", "big", "cat"}},
      {"\"a\"\"b\"", {"a", "b"}},
      {"\"one\"", {"one"}},
      {"\"caf\xC3\xA9 au\" lait", {"caf\xC3\xA9 au", "lait"}},
      {"\"a\"\xC3\xA9x", {"a", "x"}},  // skips the whole character, never half of it
  };
  for (const auto& c : cases) EXPECT_EQ(SplitQueryTerms(c.query), c.terms) << c.query;
}

TEST(QueryTerms, ExcludedTermsGoLast) {
  struct Case {
    std::string query;
    Terms terms;
  } cases[] = {
      {"-old new", {"new", "-old"}},  {"-a b -c d", {"b", "d", "-a", "-c"}},
      {"well-known", {"well-known"}}, {"\"-x y\" z", {"z", "-x y"}},
      {"\"\" -a", {"", "-a"}},
  };
  for (const auto& c : cases) {
    Terms terms = SplitQueryTerms(c.query);
    MoveExcludedTermsLast(c.query, terms);
    EXPECT_EQ(terms, c.terms) << c.query;
  }
}

TEST(QueryTerms, HighlightPatterns) {
  struct Case {
    std::string term, pattern;
  } cases[] = {
      {"c++", "c\\+\\+"},
      {"fi*.htm", "fi[\\d\\S]*\\.htm"},
      {"a?b", "a.b"},
      {"plain", "plain"},
      {"/\\[^]$(){}=!<>|:", "\\/\\\\\\[\\^\\]\\$\\(\\)\\{\\}\\=\\!\\<\\>\\|\\:"},
      {"caf\xC3\xA9", "caf\xC3\xA9"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(HighlightPattern(c.term), c.pattern) << c.term;
}

TEST(QueryTerms, LongPatternIsCutWithoutBreakingAnEscape) {
  std::string term(1000, '+');  // each becomes two bytes
  std::string pattern = HighlightPattern(term);
  EXPECT_LE(pattern.size(), kTermMaxBytes);
  EXPECT_EQ(pattern.size() % 2, 0u);
  EXPECT_EQ(pattern.substr(pattern.size() - 2), "\\+");
  std::string stars(300, '*');  // each becomes 7 bytes
  EXPECT_EQ(HighlightPattern(stars).size(), 2085u / 7 * 7);
}

TEST(QueryTerms, BuildTermListPairsTermsWithPatterns) {
  TermList list = BuildTermList("-c++ a?b");
  EXPECT_EQ(list.terms, (Terms{"a?b", "-c++"}));
  EXPECT_EQ(list.termPatterns, (Terms{"a.b", "-c\\+\\+"}));
}

TEST(QueryForms, EscapedAndHtmlForms) {
  struct Case {
    std::string raw, escaped, out;
  } cases[] = {
      {"a b", "a%20b", "a b"},
      {"c++", "c%2B%2B", "c++"},
      {"a&b=c#d", "a%26b%3Dc%23d", "a&amp;b=c#d"},
      {"<b>\"x\"", "%3Cb%3E%22x%22", "&lt;b&gt;&quot;x&quot;"},
      {"caf\xC3\xA9", "caf%C3%A9", "caf\xC3\xA9"},
      {"a-b_c.d~e", "a-b_c.d~e", "a-b_c.d~e"},
  };
  for (const auto& c : cases) {
    VexaQuery query;
    query.rawQuery = c.raw;
    testing::RecordingLog log;
    FillQueryForms(query, log);
    EXPECT_EQ(query.query, c.raw) << c.raw;
    EXPECT_EQ(query.escapedQuery, c.escaped) << c.raw;
    EXPECT_EQ(query.query_out, c.out) << c.raw;
    EXPECT_TRUE(log.Lines().empty()) << c.raw;
  }
}

TEST(QueryForms, LongestQueryInAnyScriptIsEscapedWhole) {
  struct Case {
    const char* name;
    std::string character;
  } cases[] = {{"ampersand", "&"},
               {"accented", "\xC3\xA9"},
               {"CJK", "\xE6\x97\xA5"},
               {"emoji", "\xF0\x9F\x98\x80"}};
  for (const Case& c : cases) {
    VexaQuery query;
    for (int i = 0; i < 300; ++i) query.rawQuery += c.character;
    testing::RecordingLog log;
    FillQueryForms(query, log);
    EXPECT_FALSE(query.escapeFailed) << c.name;
    EXPECT_TRUE(log.Lines().empty()) << c.name;
    EXPECT_EQ(query.escapedQuery, UrlEscape(query.query)) << c.name;
    EXPECT_GE(Utf16Length(query.query), 254u) << c.name;
  }
}

TEST(QueryForms, QueryIsCutTo255Utf16Units) {
  VexaQuery query;
  query.rawQuery = std::string(254, 'a') + "\xF0\x9F\x98\x80";  // the emoji needs two units
  testing::RecordingLog log;
  FillQueryForms(query, log);
  EXPECT_EQ(query.query, std::string(254, 'a'));
}

TEST(HtmlEscape, EscapedFormIsCutToFitAndNeverLeftUnescaped) {
  struct Case {
    std::string text;
    size_t limit;
    std::string out;
  } cases[] = {
      {"a<b", 100, "a&lt;b"},
      {"a<b", 7, "a&lt;b"},  // 6 bytes: below the limit
      {"a<b", 6, "a&lt;"},
      {"a<b", 5, "a"},  // the reference would reach the limit: cut before it
      {"&<", 7, "&amp;"},
      {"\"q\"", 14, "&quot;q&quot;"},
      {"\"q\"", 13, "&quot;q"},
      {"abcdef", 4, "abc"},
      {"x\xC3\xA9", 3, "x"},  // never half of a UTF-8 sequence
      {"x\xC3\xA9", 4, "x\xC3\xA9"},
      {"", 10, ""},
      {"\"><script>" + std::string(2060, 'a'), 2085,
       "&quot;&gt;&lt;script&gt;" + std::string(2060, 'a')},
  };
  for (const auto& c : cases)
    EXPECT_EQ(HtmlEscapeLimited(c.text, c.limit), c.out)
        << c.text.substr(0, 20) << " limit " << c.limit;
}

}  // namespace
}  // namespace quorix
