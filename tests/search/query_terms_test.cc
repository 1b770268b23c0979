#include "search/query_terms.h"

#include <gtest/gtest.h>

#include "platform/html_escape.h"
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

TEST(QueryForms, TooLongEscapedQueryIsAnErrorAndLeftEmpty) {
  VexaQuery query;
  query.rawQuery = std::string(85, '&');  // 255 bytes escaped: still fits
  testing::RecordingLog fits;
  FillQueryForms(query, fits);
  EXPECT_EQ(query.escapedQuery.size(), 255u);
  EXPECT_TRUE(fits.Lines().empty());

  VexaQuery longer;
  longer.rawQuery = std::string(86, '&');
  testing::RecordingLog log;
  FillQueryForms(longer, log);
  EXPECT_EQ(longer.escapedQuery, "");
  EXPECT_TRUE(log.Has(kLogError, "Error escaping search term for HTTP GET"));
}

TEST(QueryForms, QueryIsCutTo255Utf16Units) {
  VexaQuery query;
  query.rawQuery = std::string(254, 'a') + "\xF0\x9F\x98\x80";  // the emoji needs two units
  testing::RecordingLog log;
  FillQueryForms(query, log);
  EXPECT_EQ(query.query, std::string(254, 'a'));
}

TEST(HtmlEscape, ReplacementThatWouldReachTheLimitIsSkipped) {
  struct Case {
    std::string text;
    size_t limit;
    std::string out;
  } cases[] = {
      {"a<b", 100, "a&lt;b"},
      {"a<b", 7, "a&lt;b"},   // 6 bytes: below the limit
      {"a<b", 6, "a<b"},      // would be 6 bytes: skipped
      {"&<", 7, "&amp;<"},    // then "&amp;&lt;" would be 9 bytes: skipped
      {"&<", 6, "&&lt;"},     // "&" skipped, the later "<" still runs
      {"\"q\"", 9, "\"q\""},  // every quote or none: 13 bytes, skipped
      {"\"q\"", 14, "&quot;q&quot;"},
      {"abcdef", 4, "abc"},  // cut to below the limit
      {"", 10, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(HtmlEscapeLimited(c.text, c.limit), c.out) << c.text << " limit " << c.limit;
}

}  // namespace
}  // namespace quorix
