// The frame of the results part: heading, summary, which items a page shows,
// how they are numbered, the invalid page and the search time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/clock.h"
#include "tests/search/results_fixture.h"

namespace quorix {
namespace {

using testing::CountOf;
using testing::ResultsFixture;

TEST(ResultsDisplay, NoResultsGivesCountZeroAndNothingElse) {
  ResultsFixture f;
  f.Node(0);
  f.config.showSearchTime = 1;
  EXPECT_EQ(f.Display(0, 0), kOk);
  std::string page = f.Page();
  EXPECT_NE(page.find("<div class=\"summary\">0 results found.<br /></div>\n"), std::string::npos);
  EXPECT_EQ(page.find("<!-- Item"), std::string::npos);
  EXPECT_EQ(page.find("Pages:"), std::string::npos);
  EXPECT_EQ(page.find("searchtime"), std::string::npos);
  EXPECT_FALSE(f.log.Contains("invalid page")) << "an empty first page is no error";
}

TEST(ResultsDisplay, NoValidNodeShowsNoResultsBlock) {
  ResultsFixture f;
  f.Node(0).valid = false;
  EXPECT_EQ(f.Display(0, 0), kOk);
  EXPECT_EQ(f.Page(), "");
}

TEST(ResultsDisplay, SecondPageShowsItemsElevenToTwenty) {
  ResultsFixture f;
  f.Node(0);
  f.AddItems(0, 25);
  f.query.currentPageNum = 2;
  EXPECT_EQ(f.Display(25, 25), kOk);
  std::string page = f.Page();
  EXPECT_EQ(page.rfind("<div class=\"searchheading\">Search results for: cats</div><br />\n"
                       "<div class=\"results\">\n"
                       "<div class=\"summary\">25 results found.<br /></div>\n<p></p>\n\n",
                       0),
            0u)
      << page;
  EXPECT_EQ(CountOf(page, "<!-- Item #"), 10u);
  EXPECT_NE(page.find("<!-- Item #11 of page #2 -->\n<div class=\"result_block\">"),
            std::string::npos);
  EXPECT_NE(page.find("<!-- Item #12 of page #2 -->\n<div class=\"result_altblock\">"),
            std::string::npos);
  EXPECT_NE(page.find("<!-- Item #20 of page #2 -->"), std::string::npos);
  EXPECT_EQ(page.find("<!-- Item #21 "), std::string::npos);
  EXPECT_EQ(page.find("<!-- Item #10 "), std::string::npos);
}

TEST(ResultsDisplay, LastPageShowsTheRest) {
  ResultsFixture f;
  f.Node(0);
  f.AddItems(0, 25);
  f.query.currentPageNum = 3;
  EXPECT_EQ(f.Display(25, 25), kOk);
  EXPECT_EQ(CountOf(f.Page(), "<!-- Item #"), 5u);
  EXPECT_NE(f.Page().find("<!-- Item #25 of page #3 -->"), std::string::npos);
}

TEST(ResultsDisplay, InvalidPagesAreReportedAndShowNoItem) {
  struct Case {
    int32_t page, perPage;
  } cases[] = {{4, 10}, {0, 10}, {-3, 10}, {1, 0}, {2, -10}};
  for (const auto& c : cases) {
    ResultsFixture f;
    f.Node(0);
    f.AddItems(0, 25);
    f.query.currentPageNum = c.page;
    f.query.itemsPerPage = c.perPage;
    EXPECT_EQ(f.Display(25, 25), kInvalidPage) << "page " << c.page << " per page " << c.perPage;
    EXPECT_TRUE(f.log.Has(kLogError, "You have requested an invalid page.")) << "page " << c.page;
    EXPECT_EQ(f.Page().find("<!-- Item"), std::string::npos) << "page " << c.page;
  }
}

TEST(ResultsDisplay, CachedPageNumbersRunOnAcrossPages) {
  ResultsFixture f;
  f.Node(0).settings.DisplayTitle = true;
  f.AddItems(0, 5);  // only the page's items, as the cache passes them
  f.query.currentPageNum = 2;
  f.query.itemsPerPage = 5;
  EXPECT_EQ(f.Display(40, 20, /*fromCache=*/true), kOk);
  std::string page = f.Page();
  EXPECT_NE(page.find("<!-- Item #6 of page #2 -->\n<div class=\"result_block\">"),
            std::string::npos)
      << page;
  EXPECT_NE(page.find("<b>6.</b>&nbsp;<a href=\"http://example.test/1\">Result 1</a>"),
            std::string::npos);
  EXPECT_NE(page.find("<!-- Item #10 of page #2 -->\n<div class=\"result_block\">"),
            std::string::npos);
  EXPECT_EQ(CountOf(page, "<!-- Item #"), 5u);
}

TEST(ResultsDisplay, CachedPageWithFewerItemsThanCountedStopsAtTheEnd) {
  ResultsFixture f;
  f.Node(0);
  f.AddItems(0, 3);
  f.query.currentPageNum = 2;
  f.query.itemsPerPage = 5;
  EXPECT_EQ(f.Display(40, 20, true), kOk);
  EXPECT_EQ(CountOf(f.Page(), "<!-- Item #"), 3u);
}

TEST(ResultsDisplay, HeadingFollowsNodeKindsAndCategories) {
  struct Case {
    bool allVexa;
    int32_t useCats;
    std::string echoed, expected;
  } cases[] = {
      {false, 0, "ignored", "Search results for: cats</div>"},
      {true, 0, "cat", "Search results for: cat</div>"},
      {true, 1, "cat", "Search results for: cat in Pets categories</div>"},
      {true, 0, "", "Search results for: cats</div>"},  // from the cache: nothing echoed
  };
  for (const auto& c : cases) {
    ResultsFixture f;
    f.Node(0);
    f.config.allVexaNodes = c.allVexa;
    f.config.useCats = c.useCats;
    f.display.searchQuery = c.echoed;
    f.display.searchCategory = "Pets";
    f.Display(0, 0);
    EXPECT_NE(f.Page().find("<div class=\"searchheading\">" + c.expected + "<br />\n"),
              std::string::npos)
        << "allVexa " << c.allVexa << " useCats " << c.useCats << " echoed " << c.echoed;
  }
}

TEST(ResultsDisplay, SearchTimeFromTheMonotonicClock) {
  ResultsFixture f;
  f.Node(0);
  f.AddItems(0, 1);
  f.config.showSearchTime = 1;
  f.query.startTicks = NowTicks() - 1500 * TicksPerMs();
  f.Display(1, 1);
  EXPECT_NE(f.Page().find("<div class=\"searchtime\"><br /><br /><small>Search took 1.5"),
            std::string::npos)
      << f.Page();
  EXPECT_GE(f.outcome.searchSeconds, 1.5);
  EXPECT_LT(f.outcome.searchSeconds, 60.0);
}

TEST(ResultsDisplay, PiecesComeInPageOrder) {
  ResultsFixture f;
  Channel& node = f.Node(0);
  node.vexaSpellingSuggestions[0] = "cots";
  node.recommended.push_back(Item{});
  node.recommended[0].title = "Rec";
  f.config.spelling = 1;
  f.config.spellingWhenLessThan = 5;
  f.config.recommended = 1;
  f.config.recommendedMax = 3;
  f.config.useDateTime = 1;
  f.config.showSearchTime = 1;
  f.AddItems(0, 3);
  f.query.itemsPerPage = 2;
  f.Display(3, 3);
  std::string page = f.Page();
  std::vector<std::string> order = {"summary",      "suggestion",   "recommended", "sorting",
                                    "<!-- Item #1", "<!-- Item #2", "Pages:",      "searchtime"};
  size_t last = 0;
  for (const auto& piece : order) {
    size_t at = page.find(piece);
    ASSERT_NE(at, std::string::npos) << piece;
    EXPECT_GT(at, last) << piece << " out of order";
    last = at;
  }
}

// Under PageMarkup 1: a heading, the items as a list numbered from the page's
// first, the pager in a nav marking the current page, hints when nothing was
// found, and one plain line per failed node (its name, never its slot).
TEST(ResultsDisplay, CurrentMarkupFrame) {
  struct Case {
    int64_t available;
    int page;
    bool matchAll;
    std::vector<std::string> present;
    std::vector<std::string> absent;
    Status slowNode = kNodeTimeoutExceeded;
    int showSources = 0;
  } cases[] = {
      {25,
       2,
       false,
       {"<h2 class=\"searchheading\">Search results for: cats</h2>\n<div class=\"results\">\n"
        "<p class=\"summary\">25 results found.</p>\n<ul class=\"node_failures\">",
        "<ol class=\"result_list\" start=\"11\">\n<!-- Item #11 of page #2 -->\n"
        "<li class=\"result_block\">\n<h3 class=\"result_title\"><a "
        "href=\"http://example.test/11\">"
        "Result 11</a></h3>\n",
        "</li>\n</ol>\n</div>\n<nav class=\"pagelinks\" aria-label=\"Pages\"><p>Pages: ",
        "<span aria-current=\"page\">2</span> ", "</p></nav>\n",
        "<li class=\"source_timeout\">Slow shop: did not answer in time</li>\n"},
       {"<br />", "<p></p>", "Node #1", "<b>11.</b>"}},
      {0,
       1,
       true,
       {"<div class=\"summary no_results\">\n<p>No results found.</p>\n<ul>\n"
        "<li>Check the spelling of your search words.</li>\n",
        "<li>Choose to match any search words, not all of them.</li>\n</ul>\n</div>\n"},
       {"0 results found", "result_list"}},
      {0, 1, false, {"no_results"}, {"Choose to match any"}},
      // Still answering at the deadline: no failure, a notice and the sources line's mark.
      {25,
       1,
       false,
       {"<p class=\"summary\">25 results found.</p>\n<p class=\"sources_pending\" "
        "data-quorix-answer=\"?vexa_query=cats&amp;vexa_page=1&amp;vexa_per_page=10&amp;vexa_and=0"
        "&amp;vexa_sort=0&amp;vexa_format=json\" data-quorix-total=\"25\" "
        "data-quorix-more=\"%d more results arrived: show them\">Sources still answering: 1. "
        "<a class=\"show_all_results\" href=\"?vexa_query=cats&amp;vexa_page=1",
        "<div class=\"source source_pending\">Slow shop: still answering</div>"},
       {"node_failures", "source_failed"},
       kNodePending,
       1},
  };
  for (const Case& c : cases) {
    ResultsFixture f;
    f.config.pageMarkup = 1;
    f.config.nodeCount = 2;
    f.config.nodes[0].disabled = f.config.nodes[1].disabled = false;
    f.config.nodes[1].name = "Slow shop";
    f.Node(0).settings.DisplayTitle = true;
    f.nodes->status[0] = kOk;
    f.nodes->status[1] = c.slowNode;
    f.config.showSources = c.showSources;
    f.AddItems(0, static_cast<int>(c.available));
    f.query.currentPageNum = c.page;
    f.query.wordMatchAll = c.matchAll;
    f.Display(c.available, c.available);
    for (const std::string& text : c.present)
      EXPECT_NE(f.Page().find(text), std::string::npos) << text << "\nin\n" << f.Page();
    for (const std::string& text : c.absent)
      EXPECT_EQ(f.Page().find(text), std::string::npos) << text << "\nin\n" << f.Page();
  }
}

}  // namespace
}  // namespace quorix
