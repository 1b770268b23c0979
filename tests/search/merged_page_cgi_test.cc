// The built program against local test nodes: the merged results page of a
// Vexa node, an OpenSearch node and a failing node, and what a hostile node
// can put on the page.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "tests/search/cgi_test_support.h"
#include "tests/support/cgi_runner.h"
#include "tests/support/test_http_server.h"

namespace quorix {
namespace {

using testing::CgiBody;
using testing::CgiSandbox;
using testing::CountOf;
using testing::ExecutableMarkup;
using testing::HttpAnswer;
using testing::NumberedItems;
using testing::OpenSearchDescription;
using testing::OpenSearchRss;
using testing::QuorixBinary;
using testing::RssItem;
using testing::SettingsText;
using testing::TestHttpServer;
using testing::TitlesInOrder;
using testing::VexaRss;

std::string RedLine(const std::string& text) {
  return "<div><font size=\"2\" color=\"red\"><i>" + text + "</i></font></div>";
}

class MergedPageTest : public ::testing::Test {
 protected:
  MergedPageTest() : sandbox_(QuorixBinary()) {}

  // Node 0: Vexa, node 1: OpenSearch, node 2: a Vexa node that answers 404.
  void ThreeNodes(const SettingsText& options) {
    SettingsText settings = options;
    settings.VexaNode(server_.Url("/vexa/search.cgi"))
        .OpenSearchNode(server_.Url("/os/description.xml"))
        .VexaNode(server_.Url("/missing/search.cgi"));
    sandbox_.WriteFile("settings.qxdat", settings.str());
    server_.Answer("/os/description.xml",
                   HttpAnswer(OpenSearchDescription(
                       server_.Url("/os/rss?q={searchTerms}&amp;n={count}&amp;s={startIndex}"))));
  }

  TestHttpServer server_;
  CgiSandbox sandbox_;
};

std::vector<RssItem> ScoredItems(const std::string& prefix, int count, int topScore, int step) {
  std::vector<RssItem> items = NumberedItems(prefix, count);
  for (int i = 0; i < count; ++i) items[i].score = topScore - i * step;
  return items;
}

std::string PageLink(int page, const std::string& text) {
  return "<a href=\"?vexa_query=test&amp;vexa_page=" + std::to_string(page) +
         "&amp;vexa_per_page=10&amp;vexa_and=0&amp;vexa_sort=0\">" + text + "</a> ";
}

TEST_F(MergedPageTest, TwoGoodNodesAndAFailingOne) {
  ThreeNodes(SettingsText().Option("INT_CACHE_VALID_PERIOD_MINS", 0).PageLinkTexts());
  // Vexa scores 98, 88, ... 8; the OpenSearch node's ten items are scored by
  // position, scaled to 1..100 and to its place (second of three): 66, 60, 55, 50, ...
  server_.Answer("/vexa/search.cgi", HttpAnswer(VexaRss(ScoredItems("Vexa", 10, 98, 10), 25)));
  server_.Answer("/os/rss", HttpAnswer(OpenSearchRss(NumberedItems("Open", 10), 15)));

  auto run = sandbox_.Get("vexa_query=test");
  ASSERT_EQ(run.exitStatus, 0) << run.errors;
  const std::string page = CgiBody(run.output);

  EXPECT_NE(page.find("<div class=\"summary\">40 results found.<br /></div>"), std::string::npos)
      << page;
  EXPECT_EQ(TitlesInOrder(page),
            (std::vector<std::string>{"Vexa 1", "Vexa 2", "Vexa 3", "Vexa 4", "Open 1", "Open 2",
                                      "Vexa 5", "Open 3", "Open 4", "Vexa 6"}));
  EXPECT_NE(page.find("<p></p>Pages: 1 " + PageLink(2, "2") + PageLink(3, "3") + PageLink(4, "4") +
                      PageLink(2, "Next &gt;&gt;")),
            std::string::npos)
      << page;
  EXPECT_EQ(page.find("Prev"), std::string::npos);

  // The 404 node: the transfer's status and the driver's line for an answer
  // that is no result list, both in red; its items are none, its count nothing.
  EXPECT_NE(page.find(RedLine("Node #2: HTTP Status 404 returned (File not found)")),
            std::string::npos);
  EXPECT_NE(page.find(RedLine("Node #2's query server did not return a recognised "
                              "VexaSearchResponse/OpenSearchResponse format")),
            std::string::npos);
  EXPECT_EQ(CountOf(page, "color=\"red\""), 3u) << page;  // and the parser's own line

  // Every node was asked once, the OpenSearch node after its description.
  auto targets = server_.RequestTargets();
  std::sort(targets.begin(), targets.end());
  ASSERT_EQ(targets.size(), 4u);
  EXPECT_EQ(targets[0].substr(0, 30), "/missing/search.cgi?vexa_query");
  EXPECT_EQ(targets[1], "/os/description.xml");
  EXPECT_EQ(targets[2], "/os/rss?q=test&n=10&s=1");
  EXPECT_EQ(targets[3].substr(0, 27), "/vexa/search.cgi?vexa_query");
}

TEST_F(MergedPageTest, LastPageOfTheMergedList) {
  ThreeNodes(SettingsText().Option("INT_CACHE_VALID_PERIOD_MINS", 0).PageLinkTexts());
  server_.Answer("/vexa/search.cgi", HttpAnswer(VexaRss(ScoredItems("Vexa", 20, 98, 5), 20)));
  server_.Answer("/os/rss", HttpAnswer(OpenSearchRss(NumberedItems("Open", 5), 5)));
  auto run = sandbox_.Get("vexa_query=test&vexa_page=3");
  const std::string page = CgiBody(run.output);
  EXPECT_NE(page.find("<div class=\"summary\">25 results found.<br /></div>"), std::string::npos);
  EXPECT_EQ(TitlesInOrder(page).size(), 5u) << page;
  EXPECT_NE(page.find("<!-- Item #21 of page #3 -->"), std::string::npos);
  EXPECT_NE(page.find("<p></p>Pages: " + PageLink(2, "&lt;&lt; Prev") + PageLink(1, "1") +
                      PageLink(2, "2") + "3 "),
            std::string::npos)
      << page;
  EXPECT_EQ(page.find("Next"), std::string::npos);
}

// Two nodes with overlapping links in case, port, slash and index.html
// variants: one result per page, and each node's results alone, fresh and
// from the cache.
TEST_F(MergedPageTest, DuplicatesAreMergedAndEachNodeCanBeShownAlone) {
  SettingsText settings;
  settings.Option("MergeDuplicates", 1).Option("ShowSources", 1);
  settings.VexaNode(server_.Url("/town/search.cgi")).Text("NODE0_NAME", "Town");
  settings.VexaNode(server_.Url("/mag/search.cgi")).Text("NODE1_NAME", "Mag &#38; Co");
  sandbox_.WriteFile("settings.qxdat", settings.str());
  std::vector<RssItem> town = {{"A town", "http://Shared.test/a/", "", 90},
                               {"B town", "http://shared.test:80/b", "About B", 80},
                               {"Town only", "http://town.test/only", "", 70}};
  std::vector<RssItem> mag = {{"A mag", "http://shared.test/a", "", 95},
                              {"B mag", "HTTP://SHARED.TEST/b/index.html", "", 60},
                              {"Mag only", "http://mag.test/only", "", 50}};
  server_.Answer("/town/search.cgi", HttpAnswer(VexaRss(town, 3)));
  server_.Answer("/mag/search.cgi", HttpAnswer(VexaRss(mag, 3)));
  auto nodeLink = [](int node, const std::string& name) {
    return "<a href=\"?vexa_query=test&amp;vexa_page=1&amp;vexa_per_page=10&amp;vexa_and=0&amp;"
           "vexa_sort=0&amp;vexa_node=" +
           std::to_string(node) + "\">" + name + "</a>: 3 results, ";
  };
  const std::string alsoTown = "<div class=\"result_also\">Also found at: Town</div>";
  const std::string alsoMag = "<div class=\"result_also\">Also found at: Mag &amp; Co</div>";
  struct Step {
    const char* query;
    bool fromCache;
    int count;
    std::vector<std::string> titles;
  } steps[] = {
      {"vexa_query=test&vexa_node=1", false, 3, {"A mag", "B town", "Mag only"}},
      {"vexa_query=test", true, 4, {"A mag", "B town", "Town only", "Mag only"}},
      {"vexa_query=test&vexa_node=0", true, 3, {"A mag", "B town", "Town only"}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.query);
    const std::string page = CgiBody(sandbox_.Get(step.query).output);
    EXPECT_NE(page.find("<div class=\"summary\">" + std::to_string(step.count) + " results found."),
              std::string::npos)
        << page;
    EXPECT_EQ(TitlesInOrder(page), step.titles);
    EXPECT_EQ(CountOf(page, alsoTown), 1u) << "A mag";
    EXPECT_EQ(CountOf(page, alsoMag), 1u) << "B town";
    EXPECT_EQ(CountOf(page, "result_also"), 2u);
    EXPECT_NE(page.find("About B"), std::string::npos);
    // The sources line: both nodes linked to their results alone.
    EXPECT_NE(page.find("<div class=\"sources\">Sources:\n"), std::string::npos) << page;
    EXPECT_NE(page.find(nodeLink(0, "Town")), std::string::npos) << page;
    EXPECT_NE(page.find(nodeLink(1, "Mag &amp; Co")), std::string::npos);
    EXPECT_EQ(CountOf(page, "3 results, from the cache</div>"), step.fromCache ? 2u : 0u);
    bool filtered = std::string(step.query).find("vexa_node") != std::string::npos;
    EXPECT_EQ(CountOf(page, "source_current"), filtered ? 1u : 0u);
    EXPECT_EQ(page.find("all sources</a>") != std::string::npos, filtered);
  }
  EXPECT_EQ(server_.RequestCount(), 2u) << "the later pages came from the cache";
}

TEST(ExecutableMarkupTest, FindsWhatABrowserWouldRun) {
  struct Case {
    std::string html;
    bool executable;
  } cases[] = {
      {"<p>text</p>", false},
      {"<SCRIPT>x()</SCRIPT>", true},
      {"<a href=\"http://a.test/\">a</a>", false},
      {"<a href=\" JavaScript:x()\">a</a>", true},
      {"<a href='&#106;avascript:x()'>a</a>", true},
      {"<a href=\"http://a.test/&quot; onclick=&quot;x()\">a</a>", false},
      {"<img src=x onerror=x()>", true},
      {"<b ONMOUSEOVER = 'x()'>b</b>", true},
      {"&lt;script&gt;x()&lt;/script&gt;", false},
  };
  for (const auto& c : cases) EXPECT_EQ(ExecutableMarkup(c.html).empty(), !c.executable) << c.html;
}

TEST_F(MergedPageTest, HostileOpenSearchNodeCannotRunScript) {
  std::vector<RssItem> items = {
      {"&lt;script&gt;alert(1)&lt;/script&gt;Escaped script", "javascript:alert(1)", "a"},
      {"<![CDATA[<script src=\"http://evil.test/x.js\"></script>CDATA script]]>",
       "JavaScript:alert(2)", "<![CDATA[<b onmouseover=\"alert(3)\">bold</b>]]>"},
      {"<![CDATA[<img src=x onerror=alert(4)>Image]]>", " &#106;avascript:alert(5)",
       "&lt;a href=&quot;javascript:alert(6)&quot; onclick=&quot;alert(7)&quot;&gt;x&lt;/a&gt;"},
      {"Quote in link", "http://o.test/&quot; onmouseover=&quot;alert(8)",
       "<![CDATA[<iframe src=\"javascript:alert(9)\"></iframe>]]>"},
      {"Data link", "data:text/html,&lt;script&gt;alert(10)&lt;/script&gt;",
       "<![CDATA[</div><script>alert(11)</script><div>]]>"},
  };
  SettingsText settings;
  settings.Option("INT_CACHE_VALID_PERIOD_MINS", 0)
      .OpenSearchNode(server_.Url("/os/description.xml"));
  sandbox_.WriteFile("settings.qxdat", settings.str());
  server_.Answer("/os/description.xml",
                 HttpAnswer(OpenSearchDescription(server_.Url("/os/rss?q={searchTerms}"))));
  std::string rss = OpenSearchRss(items, 5);
  // A pubDate is shown as the node sent it.
  size_t end = rss.find("</item>");
  rss.insert(end, "<pubDate><![CDATA[<script>alert(12)</script>]]></pubDate>\n");
  server_.Answer("/os/rss", HttpAnswer(rss));

  auto run = sandbox_.Get("vexa_query=test");
  const std::string page = CgiBody(run.output);
  ASSERT_NE(page.find("<div class=\"summary\">5 results found."), std::string::npos) << page;
  EXPECT_EQ(CountOf(page, "<!-- Item #"), 5u);
  EXPECT_EQ(ExecutableMarkup(page), std::vector<std::string>{}) << page;
  // The texts themselves are still there, as text.
  EXPECT_NE(page.find("Escaped script"), std::string::npos);
  EXPECT_NE(page.find("Quote in link"), std::string::npos);
}

TEST_F(MergedPageTest, HostileQueryIsOnlyText) {
  SettingsText settings;
  settings.Option("INT_CACHE_VALID_PERIOD_MINS", 0)
      .Option("FormFormat", 2)
      .Option("UseDateTime", 1)
      .Option("Timing", 1)
      .PageLinkTexts()
      .OpenSearchNode(server_.Url("/os/description.xml"));
  sandbox_.WriteFile("settings.qxdat", settings.str());
  server_.Answer(
      "/os/description.xml",
      HttpAnswer(OpenSearchDescription(server_.Url("/os/rss?q={searchTerms}&amp;n={count}"))));
  server_.Answer("/os/rss", HttpAnswer(OpenSearchRss(NumberedItems("Open", 10), 30)));
  for (std::string query : {"%22%3E%3Cscript%3Ealert(1)%3C/script%3E", "x%27+onfocus%3D%27alert(1)",
                            "%3Cimg+src%3Dx+onerror%3Dalert(1)%3E", "javascript:alert(1)"}) {
    auto run = sandbox_.Get("vexa_query=" + query);
    const std::string page = CgiBody(run.output);
    EXPECT_NE(page.find("<div class=\"summary\">30 results found."), std::string::npos) << query;
    EXPECT_EQ(ExecutableMarkup(page), std::vector<std::string>{}) << query << ": " << page;
  }
}

}  // namespace
}  // namespace quorix
