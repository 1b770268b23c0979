// Page links and sort links, and the query they carry.
#include <gtest/gtest.h>

#include "tests/search/results_fixture.h"

namespace quorix {
namespace {

using testing::CountOf;
using testing::ResultsFixture;

std::string PageLink(int64_t page, const std::string& text, const std::string& query = "cats") {
  return "<a href=\"?vexa_query=" + query + "&amp;vexa_page=" + std::to_string(page) +
         "&amp;vexa_per_page=10&amp;vexa_and=0&amp;vexa_sort=0\">" + text + "</a> ";
}

std::string PageLinks(ResultsFixture& f, int64_t available, int32_t page, bool invalid = false) {
  f.query.currentPageNum = page;
  f.page.DisplayPageLinks(available, invalid);
  return f.Page();
}

TEST(PageLinks, MiddlePageLinksItsNeighbours) {
  ResultsFixture f;
  EXPECT_EQ(PageLinks(f, 25, 2), "<p></p>Pages: " + PageLink(1, "&lt;&lt; Prev") +
                                     PageLink(1, "1") + "2 " + PageLink(3, "3") +
                                     PageLink(3, "Next &gt;&gt;"));
}

TEST(PageLinks, FirstAndLastPages) {
  ResultsFixture first;
  EXPECT_EQ(PageLinks(first, 25, 1), "<p></p>Pages: 1 " + PageLink(2, "2") + PageLink(3, "3") +
                                         PageLink(2, "Next &gt;&gt;"));
  ResultsFixture last;
  EXPECT_EQ(PageLinks(last, 25, 3), "<p></p>Pages: " + PageLink(2, "&lt;&lt; Prev") +
                                        PageLink(1, "1") + PageLink(2, "2") + "3 ");
}

TEST(PageLinks, InvalidPageLinksEveryNumberAsOnTheLastPage) {
  ResultsFixture f;
  EXPECT_EQ(PageLinks(f, 25, 7, true), "<p></p>Pages: " + PageLink(2, "&lt;&lt; Prev") +
                                           PageLink(1, "1") + PageLink(2, "2") + PageLink(3, "3"));
}

TEST(PageLinks, NothingForOnePageOrNone) {
  for (int64_t available : {0, 1, 10, -5}) {
    ResultsFixture f;
    EXPECT_EQ(PageLinks(f, available, 1), "") << "available " << available;
  }
  ResultsFixture zero;
  zero.query.itemsPerPage = 0;
  EXPECT_EQ(PageLinks(zero, 100, 1), "");
}

TEST(PageLinks, WindowOfTenEitherSide) {
  ResultsFixture f;
  std::string links = PageLinks(f, 10000, 30);
  EXPECT_EQ(links.find(">19</a>"), std::string::npos);
  EXPECT_NE(links.find(">20</a>"), std::string::npos);
  EXPECT_NE(links.find("</a> 30 <a"), std::string::npos);
  EXPECT_NE(links.find(">40</a>"), std::string::npos);
  EXPECT_EQ(links.find(">41</a>"), std::string::npos);
  EXPECT_EQ(CountOf(links, "<a href"), 22u);  // 20 numbers, previous and next
}

TEST(PageLinks, NeverBeyondTheMillionthResult) {
  ResultsFixture f;
  f.query.itemsPerPage = 100000;
  std::string links = PageLinks(f, 5000000, 1);
  EXPECT_NE(
      links.find("vexa_page=9&amp;vexa_per_page=100000&amp;vexa_and=0&amp;vexa_sort=0\">9</a>"),
      std::string::npos)
      << links;
  EXPECT_EQ(links.find(">10</a>"), std::string::npos);

  // The largest count 64 bits hold: nothing overflows, no link past the last page.
  const int64_t pages = INT64_MAX / 10 + 1;
  ResultsFixture first;
  std::string expected = "<p></p>Pages: 1 ";
  for (int i = 2; i <= 11; ++i) expected += PageLink(i, std::to_string(i));
  EXPECT_EQ(PageLinks(first, INT64_MAX, 1), expected + PageLink(2, "Next &gt;&gt;"));
  ResultsFixture invalid;
  EXPECT_EQ(PageLinks(invalid, INT64_MAX, 3, true),
            "<p></p>Pages: " + PageLink(pages - 1, "&lt;&lt; Prev"));
}

TEST(PageLinks, CategoryForms) {
  struct Case {
    int32_t useCats, multi;
    std::vector<int32_t> cats;
    std::string part;
  } cases[] = {
      {0, 0, {2, 5}, "vexa_per_page=10&amp;vexa_and=0"},
      {1, 1, {2, 5}, "vexa_per_page=10&vexa_cat%5B%5D=2&vexa_cat%5B%5D=5&amp;vexa_and=0"},
      {1, 0, {2, 5}, "vexa_per_page=10&amp;vexa_cat%5B%5D=2&amp;vexa_and=0"},
      {1, 0, {-1}, "vexa_per_page=10&amp;vexa_cat%5B%5D=-1&amp;vexa_and=0"},
  };
  for (const auto& c : cases) {
    ResultsFixture f;
    f.config.useCats = c.useCats;
    f.config.searchMultiCats = c.multi;
    f.query.cat = c.cats;
    std::string links = PageLinks(f, 25, 2);
    EXPECT_EQ(CountOf(links, c.part), 4u) << "useCats " << c.useCats << " multi " << c.multi << "\n"
                                          << links;
  }
}

TEST(PageLinks, CarryMatchModeAndSortOrder) {
  ResultsFixture f;
  f.query.wordMatchAll = true;
  f.query.sortDate = true;
  EXPECT_EQ(CountOf(PageLinks(f, 25, 2), "&amp;vexa_and=1&amp;vexa_sort=1\">"), 4u);
}

TEST(SortLinks, OfferTheOtherOrder) {
  struct Case {
    bool sortDate;
    int32_t useCats, multi;
    std::string expected;
  } cases[] = {
      {false, 0, 0,
       "<div class=\"sorting\"><b>Sorted by relevance</b> / <a href=\"?vexa_query=cats&amp;"
       "quorix=1&amp;vexa_page=2&amp;vexa_per_page=10&amp;vexa_and=0&amp;vexa_sort=1\">By "
       "date</a></div>\n"},
      {true, 0, 0,
       "<div class=\"sorting\"><a href=\"?vexa_query=cats&amp;quorix=1&amp;vexa_page=2&amp;"
       "vexa_per_page=10&amp;vexa_and=0&amp;vexa_sort=0\">By relevance</a> / <b>Sorted by "
       "date</b></div>\n"},
      {true, 1, 1,
       "<div class=\"sorting\"><a href=\"?vexa_query=cats&amp;quorix=1&amp;vexa_page=2&amp;"
       "vexa_per_page=10&amp;vexa_cat%5B%5D=3&amp;vexa_cat%5B%5D=4&amp;vexa_and=0&amp;vexa_"
       "sort=0\">By relevance</a> / <b>Sorted by date</b></div>\n"},
      {false, 1, 0,
       "<div class=\"sorting\"><b>Sorted by relevance</b> / <a href=\"?vexa_query=cats&amp;"
       "quorix=1&amp;vexa_page=2&amp;vexa_per_page=10&amp;vexa_cat%5B%5D=3&amp;vexa_and=0&amp;"
       "vexa_sort=1\">By date</a></div>\n"},
  };
  for (const auto& c : cases) {
    ResultsFixture f;
    f.config.useDateTime = 1;
    f.config.useCats = c.useCats;
    f.config.searchMultiCats = c.multi;
    f.query.cat = {3, 4};
    f.query.currentPageNum = 2;
    f.query.sortDate = c.sortDate;
    f.page.DisplaySortLinks(12);
    EXPECT_EQ(f.Page(), c.expected) << "sortDate " << c.sortDate << " useCats " << c.useCats;
  }
}

TEST(SortLinks, NoneWithoutItemsOrDateSetting) {
  ResultsFixture noItems;
  noItems.config.useDateTime = 1;
  noItems.page.DisplaySortLinks(0);
  EXPECT_EQ(noItems.Page(), "");
  ResultsFixture noDates;
  noDates.page.DisplaySortLinks(5);
  EXPECT_EQ(noDates.Page(), "");
}

// The links must bring back the same query, whatever characters it holds.
TEST(QueryInLinks, IsUrlEscapedNeverTheDisplayForm) {
  struct Case {
    std::string raw, queryOut, inLink;
  } cases[] = {
      {"c++", "c++", "c%2B%2B"},
      {"a&b", "a&amp;b", "a%26b"},
      {"100%", "100%", "100%25"},
      {"big cat", "big cat", "big%20cat"},
      {"\"x\" <y>", "&quot;x&quot; &lt;y&gt;", "%22x%22%20%3Cy%3E"},
      {"caf\xC3\xA9#1", "caf\xC3\xA9#1", "caf%C3%A9%231"},
  };
  for (const auto& c : cases) {
    ResultsFixture f;
    f.query.rawQuery = f.query.query = c.raw;
    f.query.query_out = c.queryOut;
    f.config.useDateTime = 1;
    f.page.DisplaySortLinks(5);
    f.page.DisplayPageLinks(25, false);
    std::string page = f.Page();
    EXPECT_EQ(CountOf(page, "?vexa_query=" + c.inLink + "&amp;"), 4u) << "query " << c.raw << "\n"
                                                                      << page;
    EXPECT_EQ(CountOf(page, "?vexa_query="), 4u) << "query " << c.raw;
  }
}

}  // namespace
}  // namespace quorix
