// Recommended links and spelling suggestions.
#include <gtest/gtest.h>

#include "search/page/result_extras.h"
#include "tests/search/results_fixture.h"

namespace quorix {
namespace {

using testing::CountOf;
using testing::ResultsFixture;

void AddRecommended(Channel& channel, int count, const std::string& prefix) {
  for (int k = 0; k < count; ++k) {
    Item record;
    record.title = prefix + " title " + std::to_string(k);
    record.description = prefix + " description";
    record.link = "http://" + prefix + ".test/" + std::to_string(k);
    channel.recommended.push_back(record);
  }
}

ResultsContext Context(ResultsFixture& f) {
  return ResultsContext{f.out, f.config, f.query, f.terms, f.log};
}

TEST(Recommended, OneLinkAsWritten) {
  ResultsFixture f;
  f.config.recommended = 1;
  f.config.recommendedMax = 5;
  Channel& node = f.Node(0);
  node.settings.LinkTarget = "_blank";
  AddRecommended(node, 1, "a");
  node.recommended[0].title.clear();
  f.config.nodeCount = 1;
  DisplayRecommended(Context(f), *f.channels, 1);
  EXPECT_EQ(f.Page(),
            "<div class=\"recommended\">\n<div class=\"recommended_heading\">Recommended</div>\n"
            "<div class=\"recommend_block\">\n<div class=\"recommend_title\">"
            "<a href=\"http://a.test/0\" target=\"_blank\">http://a.test/0</a></div>\n"
            "<div class=\"recommend_description\">a description</div>\n"
            "<div class=\"recommend_infoline\">http://a.test/0</div>\n</div></div>\n");
}

TEST(Recommended, OnlyUpToTheFirstValidVexaNode) {
  ResultsFixture f;
  f.config.recommended = 1;
  f.config.recommendedMax = 10;
  AddRecommended(f.Node(0, /*type=*/1), 1, "os");  // OpenSearch node before it
  f.Node(1).valid = false;
  AddRecommended((*f.channels)[1], 1, "invalid");
  AddRecommended(f.Node(2), 2, "first");
  AddRecommended(f.Node(3), 2, "second");
  DisplayRecommended(Context(f), *f.channels, 4);
  std::string page = f.Page();
  EXPECT_EQ(CountOf(page, "recommend_block"), 3u) << page;
  EXPECT_NE(page.find("os title 0"), std::string::npos);
  EXPECT_NE(page.find("first title 1"), std::string::npos);
  EXPECT_EQ(page.find("invalid"), std::string::npos);
  EXPECT_EQ(page.find("second"), std::string::npos);
}

TEST(Recommended, LimitedAndSwitchable) {
  struct Case {
    int32_t on, max, expected;
  } cases[] = {{1, 2, 2}, {1, 0, 0}, {0, 5, 0}, {1, 9, 5}};
  for (const auto& c : cases) {
    ResultsFixture f;
    f.config.recommended = c.on;
    f.config.recommendedMax = c.max;
    AddRecommended(f.Node(0), 5, "a");
    DisplayRecommended(Context(f), *f.channels, 1);
    EXPECT_EQ(CountOf(f.Page(), "recommend_block"), static_cast<size_t>(c.expected))
        << "on " << c.on << " max " << c.max;
  }
}

TEST(Recommended, LimitCountsAcrossNodes) {
  ResultsFixture f;
  f.config.recommended = 1;
  f.config.recommendedMax = 3;
  AddRecommended(f.Node(0, 1), 2, "a");
  AddRecommended(f.Node(1, 1), 2, "b");
  AddRecommended(f.Node(2, 1), 2, "c");
  DisplayRecommended(Context(f), *f.channels, 3);
  EXPECT_EQ(CountOf(f.Page(), "recommend_block"), 3u);
  EXPECT_EQ(CountOf(f.Page(), "class=\"recommended\""), 2u) << "the third node is not opened";
}

std::string SuggestionLink(const std::string& query) {
  return "<a href=\"?vexa_query=" + query +
         "&amp;vexa_per_page=10&amp;vexa_cat%5B%5D=-1&amp;vexa_and=0&amp;vexa_sort=0\">";
}

TEST(Suggestions, ThreeFromTwoNodesOnOneLine) {
  ResultsFixture f;
  f.config.spelling = 1;
  f.config.spellingWhenLessThan = 5;
  f.Node(0).vexaSpellingSuggestions = {"", "cots", ""};
  f.Node(1).vexaSpellingSuggestions = {"cuts", "cites", "cares"};
  DisplaySpellingSuggestions(Context(f), 4, *f.channels, 2);
  EXPECT_EQ(f.Page(), "<div class=\"suggestion\"><div class=\"suggestion\"><br />Did you mean " +
                          SuggestionLink("cots") + "cots</a> or " + SuggestionLink("cuts") +
                          "cuts</a> or " + SuggestionLink("cites") + "cites</a>?</div>");
  // Under PageMarkup 1 one closed paragraph.
  ResultsFixture current;
  current.config.pageMarkup = current.config.spelling = 1;
  current.config.spellingWhenLessThan = 5;
  current.Node(0).vexaSpellingSuggestions = {"cots", "", ""};
  DisplaySpellingSuggestions(Context(current), 4, *current.channels, 1);
  EXPECT_EQ(current.Page(),
            "<p class=\"suggestion\">Did you mean " + SuggestionLink("cots") + "cots</a>?</p>\n");
}

TEST(Suggestions, OnlyWhenFewItemsAndSwitchedOn) {
  struct Case {
    int32_t on, lessThan;
    int64_t queried;
    bool shown;
  } cases[] = {{1, 5, 4, true}, {1, 5, 5, false}, {0, 5, 0, false}, {1, 0, 0, false}};
  for (const auto& c : cases) {
    ResultsFixture f;
    f.config.spelling = c.on;
    f.config.spellingWhenLessThan = c.lessThan;
    f.Node(0).vexaSpellingSuggestions[0] = "cots";
    DisplaySpellingSuggestions(Context(f), c.queried, *f.channels, 1);
    EXPECT_EQ(!f.Page().empty(), c.shown) << "on " << c.on << " queried " << c.queried;
  }
}

TEST(Suggestions, InvalidNodesAndEmptySuggestionsAreSkipped) {
  ResultsFixture f;
  f.config.spelling = 1;
  f.config.spellingWhenLessThan = 5;
  f.Node(0).valid = false;
  (*f.channels)[0].vexaSpellingSuggestions[0] = "nope";
  f.Node(1).vexaSpellingSuggestions = {"", "", ""};
  DisplaySpellingSuggestions(Context(f), 0, *f.channels, 2);
  EXPECT_EQ(f.Page(), "");
}

TEST(Suggestions, EscapedForTheLinkAndForTheText) {
  ResultsFixture f;
  f.config.spelling = 1;
  f.config.spellingWhenLessThan = 5;
  f.config.useCats = 1;
  f.config.searchMultiCats = 1;
  f.query.cat = {1, 4};
  f.query.sortDate = true;
  f.Node(0).vexaSpellingSuggestions[0] = "a&b <c>";
  DisplaySpellingSuggestions(Context(f), 0, *f.channels, 1);
  EXPECT_NE(f.Page().find("<a href=\"?vexa_query=a%26b%20%3Cc%3E&amp;vexa_per_page=10&amp;vexa_"
                          "cat%5B%5D=1&amp;vexa_cat%5B%5D=4&amp;vexa_and=0&amp;vexa_sort=1\">"
                          "a&amp;b &lt;c&gt;</a>"),
            std::string::npos)
      << f.Page();
}

}  // namespace
}  // namespace quorix
