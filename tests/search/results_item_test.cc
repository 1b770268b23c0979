// One result item: its blocks under the node's display settings, and what an
// untrusted node's text may and may not become.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "tests/search/results_fixture.h"

namespace quorix {
namespace {

using testing::ResultsFixture;

std::string ItemHtml(ResultsFixture& f, int64_t index = 0) {
  f.page.DisplayResultItem(f.WholePage(), static_cast<size_t>(index));
  return f.Page();
}

TEST(ResultItem, EveryVexaBlockWhenSwitchedOn) {
  setenv("TZ", "UTC", 1);
  tzset();
  ResultsFixture f;
  Channel& node = f.Node(0);
  SettingsBlock& s = node.settings;
  s.DisplayTitle = s.DisplayMetaDesc = s.DisplayContext = s.DisplayTerms = s.DisplayScore = true;
  s.DisplayDate = s.DisplayFilesize = s.DisplayURL = s.UseVexaImage = s.UseCats = true;
  s.LinkTarget = "_blank";
  f.config.useCats = 1;
  f.config.nodes[0].vexaHost = "search.test";
  f.config.nodes[0].vexaPath = "/vexa";
  Item& item = f.AddItem(0, 42);
  item.description = "A <b>fine</b> page";
  item.vexaContext = "...fine...";
  item.vexaTermsMatched = 2;
  item.vexaDateTime = 1700000000;  // 14 Nov 2023 UTC
  item.vexaItemSize = 7;
  item.vexaImageURL = "http://example.test/t.png";
  item.category[0] = "News";
  item.category[7] = "Last";
  EXPECT_EQ(ItemHtml(f),
            "<!-- Item #1 of page #1 -->\n"
            "<div class=\"result_block\">\n"
            "<div class=\"result_image\"><a href=\"http://example.test/1\" target=\"_blank\">"
            "<img src=\"http://example.test/t.png\" class=\"result_image\"></a></div>"
            "<div class=\"result_title\"><b>1.</b>&nbsp;"
            "<a href=\"http://example.test/1\" target=\"_blank\">Result 1</a>"
            "<span class=\"category\"> [News]</span><span class=\"category\"> [Last]</span>"
            "</div>\n"
            "<div class=\"description\">A <b>fine</b> page</div>\n"
            "<div class=\"context\">\n...fine...</div>\n"
            "<div class=\"infoline\">\nTerms matched:  2&nbsp; - &nbsp;Score:  42"
            "&nbsp; - &nbsp;14 Nov 2023&nbsp; - &nbsp; 7k"
            "&nbsp; - &nbsp;URL: http://example.test/1</div>\n"
            "</div>\n<p></p>\n\n");
  EXPECT_TRUE(f.log.Has(kLogInfo, "Date-Time: 1700000000"));
  EXPECT_TRUE(f.log.Has(kLogInfo, "From Node #0, search.test/vexa"));
}

TEST(ResultItem, DateOfTheLastYearAnIntHolds) {
  setenv("TZ", "UTC", 1);
  tzset();
  ResultsFixture f;
  f.Node(0).settings.DisplayDate = true;
  f.AddItem(0).vexaDateTime = 67768036191676799;  // tm_year is INT_MAX
  EXPECT_NE(ItemHtml(f).find("&nbsp; - &nbsp;31 Dec 2147485547</div>"), std::string::npos)
      << f.Page();
}

TEST(ResultItem, ScoreWithoutTermsStartsTheInfoline) {
  ResultsFixture f;
  f.Node(0).settings.DisplayScore = true;
  f.AddItem(0, 17);
  EXPECT_NE(ItemHtml(f).find("<div class=\"infoline\">\n&nbsp; - &nbsp;Score:  17</div>\n"),
            std::string::npos)
      << f.Page();
}

TEST(ResultItem, EmptyLinkGivesNoAnchor) {
  struct Case {
    bool displayTitle;
    std::string title;
  } cases[] = {{false, "<b>1.</b>&nbsp;</div>"}, {true, "<b>1.</b>&nbsp;Result 1</div>"}};
  for (const auto& c : cases) {
    ResultsFixture f;
    f.Node(0).settings.DisplayTitle = c.displayTitle;
    f.AddItem(0).link.clear();
    std::string html = ItemHtml(f);
    EXPECT_EQ(html.find("<a "), std::string::npos) << "displayTitle " << c.displayTitle;
    EXPECT_NE(html.find(c.title), std::string::npos) << "displayTitle " << c.displayTitle;
  }
}

TEST(ResultItem, TitleOffShowsTheLinkAsText) {
  ResultsFixture f;
  f.Node(0);
  f.AddItem(0);
  EXPECT_NE(ItemHtml(f).find("<a href=\"http://example.test/1\">http://example.test/1</a>"),
            std::string::npos);
}

TEST(ResultItem, OddIndexesAlternate) {
  ResultsFixture f;
  f.Node(0);
  f.AddItems(0, 2);
  EXPECT_NE(ItemHtml(f, 1).find("<!-- Item #2 of page #1 -->\n<div class=\"result_altblock\">"),
            std::string::npos);
}

TEST(ResultItem, OpenSearchItemShowsItsFixedFields) {
  ResultsFixture f;
  f.Node(1, /*type=*/1);
  f.config.nodes[1].type = 1;
  f.config.nodes[1].osHost = "os.test";
  f.config.nodes[1].osPath = "/q";
  Item& item = f.AddItem(1, 55);
  item.title = "Fish & chips";
  item.description = "Best <em>fish</em> in town";
  item.pubDate = "Tue, 14 Nov 2023 22:13:20 GMT";
  EXPECT_EQ(ItemHtml(f),
            "<!-- Item #1 of page #1 -->\n<div class=\"result_block\">\n"
            "<div class=\"result_title\"><b>1.</b>&nbsp;<a href=\"http://example.test/1\">"
            "Fish &amp; chips</a></div>\n"
            "<div class=\"description\">Best fish in town</div>\n"
            "<div class=\"infoline\">\n&nbsp; - &nbsp;Score:  55"
            "&nbsp; - &nbsp;Tue, 14 Nov 2023 22:13:20 GMT"
            "&nbsp; - &nbsp;URL: http://example.test/1</div>\n</div>\n<p></p>\n\n");
  EXPECT_TRUE(f.log.Has(kLogInfo, "From Node #1, os.test/q"));
}

TEST(ResultItem, ItemOfAnUnknownNodeIsSkipped) {
  ResultsFixture f;
  f.AddItem(64);
  f.AddItem(-1);
  EXPECT_EQ(ItemHtml(f, 0) + ItemHtml(f, 1) + ItemHtml(f, 5), "");
}

// Every tag of the page is one the page itself writes, with no event handler,
// and every href is a web link or a link back to the search.
void ExpectNothingExecutable(const std::string& page) {
  const std::vector<std::string> allowed = {"div", "b", "a", "span", "p", "br", "small"};
  for (size_t open = page.find('<'); open != std::string::npos; open = page.find('<', open + 1)) {
    size_t close = page.find('>', open);
    ASSERT_NE(close, std::string::npos) << page.substr(open);
    std::string tag = page.substr(open + 1, close - open - 1);
    if (!tag.empty() && (tag[0] == '/' || tag[0] == '!')) continue;
    std::string name = tag.substr(0, tag.find(' '));
    EXPECT_NE(std::find(allowed.begin(), allowed.end(), name), allowed.end()) << "tag <" << tag;
    // Attribute names only: quoted values are text.
    std::string names;
    bool quoted = false;
    for (char c : tag) {
      if (c == '"')
        quoted = !quoted;
      else if (!quoted)
        names += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    EXPECT_FALSE(quoted) << "unbalanced quotes in tag <" << tag;
    EXPECT_EQ(names.find(" on"), std::string::npos) << "tag <" << tag;
    size_t href = tag.find("href=\"");
    if (href != std::string::npos) {
      std::string target = tag.substr(href + 6, 8);
      EXPECT_TRUE(target.starts_with("http://") || target.starts_with("https://") ||
                  target.starts_with("?"))
          << "tag <" << tag;
    }
  }
}

TEST(ResultItem, HostileOpenSearchTextIsNeverExecutable) {
  ResultsFixture f;
  f.config.allVexaNodes = false;
  f.config.recommended = 1;
  f.config.recommendedMax = 5;
  f.config.showSearchTime = 1;
  Channel& node = f.Node(0, 1);
  node.settings.LinkTarget = "_top\" onclick=\"alert(1)";
  node.settings.Highlighting = true;  // a node may claim any setting
  node.settings.SearchAsSubstring = true;
  f.terms.termPatterns = {"script", "alert", "lt"};
  const std::vector<std::string> links = {
      "javascript:alert(1)", " javascript:alert(1)", "JaVaScRiPt:alert(1)",
      "data:text/html,<script>alert(1)</script>", "http://ok.test/\"><script>alert(1)</script>"};
  for (const std::string& link : links) {
    Item& item = f.AddItem(0);
    item.title = "<script>alert(1)</script><img src=x onerror=alert(1)>";
    item.description = "<b onmouseover=\"alert(1)\">hi</b><script>alert(2)</script>&lt;script&gt;";
    item.pubDate = "<svg onload=alert(1)>";
    item.link = link;
    Item recommended = item;
    node.recommended.push_back(recommended);
  }
  node.vexaSpellingSuggestions[0] = "\"><script>alert(1)</script>";
  f.config.spelling = 1;
  f.config.spellingWhenLessThan = 100;
  f.query.itemsPerPage = 10;
  f.Display(static_cast<int64_t>(f.items.size()), static_cast<int64_t>(f.items.size()));
  std::string page = f.Page();
  EXPECT_EQ(testing::CountOf(page, "<!-- Item #"), links.size());
  ExpectNothingExecutable(page);
  EXPECT_NE(page.find("&lt;<span class=\"highlight\">script</span>&gt;"), std::string::npos)
      << "untrusted text is still highlighted, as text";
}

// Under PageMarkup 1 the items of both node kinds look alike: highlighted,
// one date format, separators only between parts, the context only when the
// description does not already say it, URLs that wrap at their separators.
TEST(ResultItem, ConsistentItemsUnderTheCurrentMarkup) {
  setenv("TZ", "UTC", 1);
  tzset();
  struct Case {
    int nodeType;
    const char* context;
    int64_t dateTime;
    const char* pubDate;
    std::vector<std::string> present;
    std::vector<std::string> absent;
  } cases[] = {
      {0, "...a FINE cats page.", 1700000000, "",
       {"<div class=\"infoline\">Score: 42 - 14 Nov 2023 - URL: http:/<wbr>/<wbr>example.test/"
        "<wbr>1</div>\n",
        "<a href=\"http://example.test/1\" tabindex=\"-1\" aria-hidden=\"true\">"
        "<img src=\"http://example.test/t.png\" class=\"result_image\" alt=\"\"></a>"},
       {"class=\"context\"", "&nbsp;"}},
      {0, "cats in the garden", 1700000000, "", {"<div class=\"context\">\n"}, {}},
      {1, "", 1700000000, "Tue, 14 Nov 2023 22:13:20 GMT",
       {"<span class=\"highlight\">Cats</span>", "<div class=\"infoline\">Score: 42 - 14 Nov 2023 - "},
       {"GMT", "&nbsp;"}},
      {1, "", 0, "some day", {"<div class=\"infoline\">Score: 42 - some day - URL: "}, {}},
  };
  for (const Case& c : cases) {
    ResultsFixture f;
    f.config.pageMarkup = 1;
    f.terms.termPatterns = {"cats"};
    SettingsBlock& s = f.Node(0, c.nodeType).settings;
    s.DisplayTitle = s.DisplayMetaDesc = s.DisplayContext = s.DisplayScore = true;
    s.DisplayDate = s.DisplayURL = s.UseVexaImage = true;
    Item& item = f.AddItem(0, 42);
    item.vexaImageURL = "http://example.test/t.png";
    item.title = "Cats and dogs";
    item.description = "A fine cats page";
    item.vexaContext = c.context;
    item.vexaDateTime = c.dateTime;
    item.pubDate = c.pubDate;
    std::string html = ItemHtml(f);
    for (const std::string& text : c.present)
      EXPECT_NE(html.find(text), std::string::npos) << text << "\nin\n" << html;
    for (const std::string& text : c.absent)
      EXPECT_EQ(html.find(text), std::string::npos) << text << "\nin\n" << html;
  }
}

}  // namespace
}  // namespace quorix
