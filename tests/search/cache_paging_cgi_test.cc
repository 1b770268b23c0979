// Paging through one query with the built program: later pages come from the
// cache file without asking the node, and a page beyond the cached items asks
// again and replaces the file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>

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
using testing::PageTemplateText;
using testing::QuorixBinary;
using testing::RssItem;
using testing::SettingsText;
using testing::TestHttpServer;
using testing::TitlesInOrder;
using testing::VexaRss;

constexpr const char* kCacheName = "cache/vexa_query=test&vexa_and=0&vexa_cat%5B%5D=-1&vexa_sort=0";

// The item count kept in a cache file's header, or -1 without a file.
int64_t CachedItemCount(const std::string& file) {
  if (file.size() < 1056) return -1;
  int64_t count = 0;
  std::memcpy(&count, file.data() + 1040, sizeof count);
  return count;
}

// The titles "Vexa <first>" to "Vexa <last>".
std::vector<std::string> Titles(int first, int last) {
  std::vector<std::string> titles;
  for (int i = first; i <= last; ++i) titles.push_back("Vexa " + std::to_string(i));
  return titles;
}

class CachePagingTest : public ::testing::Test {
 protected:
  CachePagingTest() : sandbox_(QuorixBinary()) {
    sandbox_.WriteFile("search_template.html", PageTemplateText());
    sandbox_.WriteFile("settings.qxdat", SettingsText()
                                             .Option("INT_CACHE_VALID_PERIOD_MINS", 10)
                                             .Option("INT_OVER_REQUEST_FACTOR", 2)
                                             .Option("Logging", 1)
                                             .Text("LogFileName", sandbox_.PathOf("search.log"))
                                             .PageLinkTexts()
                                             .VexaNode(server_.Url("/vexa/search.cgi"))
                                             .str());
  }

  // The node answers with `count` of its 100 matches (scores falling).
  void NodeSends(int count) {
    server_.Answer("/vexa/search.cgi", HttpAnswer(VexaRss(NumberedItems("Vexa", count, 500), 100)));
  }

  // The search log's lines.
  std::vector<std::string> LogLines() const {
    std::vector<std::string> lines;
    std::string text = sandbox_.ReadFile("search.log");
    for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos;
         start = end + 2)
      lines.push_back(text.substr(start, end - start));
    return lines;
  }

  TestHttpServer server_;
  CgiSandbox sandbox_;
};

// The href of the page link whose text is `text`, as the browser would
// request it: without the leading "?" and with &amp; read as &.
std::string FollowLink(const std::string& page, const std::string& text) {
  size_t end = page.find("\">" + text + "</a>");
  if (end == std::string::npos) return {};
  size_t start = page.rfind("<a href=\"?", end);
  if (start == std::string::npos) return {};
  std::string href = page.substr(start + 10, end - start - 10);
  for (size_t at; (at = href.find("&amp;")) != std::string::npos;) href.replace(at, 5, "&");
  return href;
}

TEST_F(CachePagingTest, LaterPagesComeFromTheCacheUntilItRunsShort) {
  NodeSends(20);
  auto first = sandbox_.Get("vexa_query=test");
  EXPECT_EQ(TitlesInOrder(CgiBody(first.output)), Titles(1, 10));
  ASSERT_EQ(server_.RequestCount(), 1u);
  EXPECT_NE(server_.RequestTargets()[0].find("&vexa_per_page=20&"), std::string::npos)
      << server_.RequestTargets()[0];
  EXPECT_EQ(CachedItemCount(sandbox_.ReadFile(kCacheName)), 20);

  auto second = sandbox_.Get("vexa_query=test&vexa_page=2");
  EXPECT_EQ(TitlesInOrder(CgiBody(second.output)), Titles(11, 20));
  EXPECT_NE(second.output.find("<!-- Item #11 of page #2 -->"), std::string::npos);
  EXPECT_EQ(server_.RequestCount(), 1u) << "page 2 asked the node again";

  // Page 3 needs items 21-30 of the 100: asked for 2 x 3 x 10 at once.
  NodeSends(60);
  auto third = sandbox_.Get("vexa_query=test&vexa_page=3");
  EXPECT_EQ(TitlesInOrder(CgiBody(third.output)), Titles(21, 30));
  ASSERT_EQ(server_.RequestCount(), 2u);
  EXPECT_NE(server_.RequestTargets()[1].find("&vexa_per_page=60&"), std::string::npos)
      << server_.RequestTargets()[1];
  EXPECT_EQ(CachedItemCount(sandbox_.ReadFile(kCacheName)), 60);

  // Pages 4 to 6 now come from the replaced file.
  auto sixth = sandbox_.Get("vexa_query=test&vexa_page=6");
  EXPECT_EQ(TitlesInOrder(CgiBody(sixth.output)), Titles(51, 60));
  EXPECT_EQ(server_.RequestCount(), 2u);

  std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 4u) << sandbox_.ReadFile("search.log");
  const char* expected[] = {
      "\"test\", Matches = 20, QUERY, OR, PerPage = 10, PageNum = 1, No cats, Time = ",
      "\"test\", Matches = 20, READCACHE, OR, PerPage = 10, PageNum = 2, No cats, Time = ",
      "\"test\", Matches = 60, QUERY, OR, PerPage = 10, PageNum = 3, No cats, Time = ",
      "\"test\", Matches = 60, READCACHE, OR, PerPage = 10, PageNum = 6, No cats, Time = ",
  };
  for (size_t i = 0; i < lines.size(); ++i)
    EXPECT_NE(lines[i].find(expected[i]), std::string::npos) << lines[i];

  // A machine answer's line gives the time the search took, as a page's does.
  sandbox_.Get("vexa_query=fresh&vexa_format=json");
  lines = LogLines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_NE(lines[4].find("\"fresh\", Matches = 60, QUERY"), std::string::npos) << lines[4];
  EXPECT_EQ(lines[4].find("Time = 0.000"), std::string::npos) << lines[4];
}

TEST_F(CachePagingTest, WholeResultSetCachedServesEveryPage) {
  server_.Answer("/vexa/search.cgi", HttpAnswer(VexaRss(NumberedItems("Vexa", 15, 500), 15)));
  const mode_t previous = umask(027);
  sandbox_.Get("vexa_query=test");
  umask(previous);
  EXPECT_EQ(CachedItemCount(sandbox_.ReadFile(kCacheName)), 15);
  // The file follows the umask and does not tell where the site lives.
  struct stat info {};
  ASSERT_EQ(stat(sandbox_.PathOf(kCacheName).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  const std::string bytes = sandbox_.ReadFile(kCacheName);
  EXPECT_EQ(bytes.find(sandbox_.PathOf("")), std::string::npos);

  auto second = sandbox_.Get("vexa_query=test&vexa_page=2");
  EXPECT_EQ(TitlesInOrder(CgiBody(second.output)), Titles(11, 15));
  auto third = sandbox_.Get("vexa_query=test&vexa_page=3");
  const std::string page = CgiBody(third.output);
  EXPECT_TRUE(TitlesInOrder(page).empty());
  EXPECT_NE(page.find("<div><font size=\"2\" color=\"red\"><i>You have requested an invalid "
                      "page.</i></font></div>"),
            std::string::npos)
      << page;
  EXPECT_NE(page.find("\">1</a> <a href="), std::string::npos) << "every page is linked";
  EXPECT_EQ(server_.RequestCount(), 1u);
  std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_NE(lines[2].find("Matches = 15, READCACHE"), std::string::npos) << lines[2];
}

// A request that has come through the hop limit's number of Quorix instances
// asks no node, whatever answer it wants; one below the limit still does.
TEST_F(CachePagingTest, RequestAtTheHopLimitAsksNoNodeInAnyFormat) {
  NodeSends(20);
  const std::pair<const char*, size_t> kRequests[] = {
      {"4", 0},
      {"99", 0},
      {"3", 1},
  };
  for (const char* format : {"", "&vexa_format=rss", "&vexa_format=json"}) {
    for (const auto& [hops, asked] : kRequests) {
      std::filesystem::remove_all(sandbox_.PathOf("cache"));
      const size_t before = server_.RequestCount();
      auto run =
          sandbox_.Get(std::string("vexa_query=test") + format, {{"HTTP_X_QUORIX_HOPS", hops}});
      EXPECT_EQ(run.exitStatus, 0) << format << hops;
      EXPECT_EQ(server_.RequestCount() - before, asked) << format << " hops " << hops;
    }
  }
}

TEST_F(CachePagingTest, UnusableFileAtTheCacheNameIsAMissThatTheSearchReplaces) {
  const struct {
    const char* label;
    int64_t availableCount;  // written into the file; 0 puts a FIFO there instead
  } cases[] = {
      {"FIFO", 0},
      {"available count the largest int64", INT64_MAX},
  };
  NodeSends(20);
  sandbox_.Get("vexa_query=test");
  const std::string path = sandbox_.PathOf(kCacheName);
  const std::string good = sandbox_.ReadFile(kCacheName);
  ASSERT_EQ(CachedItemCount(good), 20);
  const std::string publicLine =
      "<div><font size=\"2\" color=\"red\"><i>Error reading cache file</i></font></div>";
  for (const auto& c : cases) {
    std::filesystem::remove(path);
    if (c.availableCount == 0) {
      ASSERT_EQ(mkfifo(path.c_str(), 0644), 0) << c.label;
    } else {
      std::string bytes = good;
      std::memcpy(&bytes[1048], &c.availableCount, sizeof c.availableCount);
      sandbox_.WriteFile(kCacheName, bytes);
    }
    size_t asked = server_.RequestCount();
    auto run = sandbox_.Run(
        {{"REQUEST_METHOD", "GET"}, {"QUERY_STRING", "vexa_query=test&vexa_page=2"}}, {}, 10000);
    ASSERT_FALSE(run.timedOut) << c.label;
    const std::string page = CgiBody(run.output);
    EXPECT_EQ(TitlesInOrder(page), Titles(11, 20)) << c.label;
    EXPECT_EQ(server_.RequestCount(), asked + 1) << c.label;
    EXPECT_EQ(page.find(sandbox_.dir()), std::string::npos) << c.label << ": " << page;
    EXPECT_EQ(page.find(publicLine) != std::string::npos, c.availableCount != 0) << c.label;
    EXPECT_TRUE(std::filesystem::is_regular_file(path)) << c.label;
    EXPECT_EQ(CachedItemCount(sandbox_.ReadFile(kCacheName)), 20) << c.label;
  }

  // In debug mode the page names the file.
  sandbox_.WriteFile("settings.qxdat", SettingsText()
                                           .Option("INT_CACHE_VALID_PERIOD_MINS", 10)
                                           .Option("AllowRequestDebug", 1)
                                           .VexaNode(server_.Url("/vexa/search.cgi"))
                                           .str());
  std::string bytes = good;
  bytes.resize(bytes.size() - 1);
  sandbox_.WriteFile(kCacheName, bytes);
  auto debug = sandbox_.Get("vexa_query=test&vexa_page=2&vexa_debug=1");
  EXPECT_NE(CgiBody(debug.output)
                .find("<i>Error reading cache file &quot;" + sandbox_.dir() +
                      "/cache/vexa_query=test&amp;vexa_and=0&amp;vexa_cat%5B%5D=-1&amp;vexa_sort="
                      "0&quot;</i>"),
            std::string::npos)
      << debug.output;
}

TEST_F(CachePagingTest, QueryWithUrlCharactersPagesThroughTheCache) {
  NodeSends(20);
  auto first = sandbox_.Get("vexa_query=c%2B%2B+a%26b+100%25");
  ASSERT_EQ(server_.RequestCount(), 1u);
  EXPECT_NE(server_.RequestTargets()[0].find("vexa_query=c%2B%2B%20a%26b%20100%25&"),
            std::string::npos)
      << server_.RequestTargets()[0];
  const std::string page = CgiBody(first.output);
  EXPECT_EQ(TitlesInOrder(page), Titles(1, 10));

  std::string next = FollowLink(page, "2");
  EXPECT_EQ(next.substr(0, 46), "vexa_query=c%2B%2B%20a%26b%20100%25&vexa_page=") << page;
  auto second = sandbox_.Get(next);
  EXPECT_EQ(TitlesInOrder(CgiBody(second.output)), Titles(11, 20)) << second.output;
  EXPECT_EQ(server_.RequestCount(), 1u) << "page 2 asked the node again";
  EXPECT_EQ(
      FollowLink(CgiBody(second.output), "3"),
      "vexa_query=c%2B%2B%20a%26b%20100%25&vexa_page=3&vexa_per_page=10&vexa_and=0&vexa_sort=0");

  std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[1].find(", \"c++ a&b 100%\", Matches = 20, READCACHE, "), std::string::npos)
      << lines[1];
  EXPECT_EQ(CountOf(sandbox_.ReadFile("search.log"), "\r\n"), 2u);
}

TEST_F(CachePagingTest, CachingOffAsksEveryTimeAndRemovesOldFiles) {
  NodeSends(20);
  sandbox_.Get("vexa_query=test");
  ASSERT_TRUE(std::filesystem::exists(sandbox_.PathOf(kCacheName)));
  sandbox_.WriteFile("settings.qxdat", SettingsText()
                                           .Option("INT_CACHE_VALID_PERIOD_MINS", 0)
                                           .VexaNode(server_.Url("/vexa/search.cgi"))
                                           .str());
  NodeSends(20);
  auto second = sandbox_.Get("vexa_query=test&vexa_page=2");
  EXPECT_EQ(TitlesInOrder(CgiBody(second.output)), Titles(11, 20));
  ASSERT_EQ(server_.RequestCount(), 2u);
  EXPECT_NE(server_.RequestTargets()[1].find("&vexa_per_page=20&"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(sandbox_.PathOf(kCacheName)));
}

TEST_F(CachePagingTest, CategoryLinksLeadBackToTheCachedSet) {
  for (int multi : {0, 1}) {
    sandbox_.WriteFile("vexa_cats.qxdat", "Books\nMusic\nFilms");
    sandbox_.WriteFile("settings.qxdat", SettingsText()
                                             .Option("INT_CACHE_VALID_PERIOD_MINS", 10)
                                             .Option("UseCats", 1)
                                             .Option("SearchMultiCats", multi)
                                             .Option("Logging", 1)
                                             .Text("LogFileName", sandbox_.PathOf("search.log"))
                                             .PageLinkTexts()
                                             .VexaNode(server_.Url("/vexa/search.cgi"))
                                             .str());
    std::filesystem::remove_all(sandbox_.PathOf("cache"));
    std::filesystem::remove(sandbox_.PathOf("search.log"));
    NodeSends(20);
    size_t asked = server_.RequestCount();
    auto first = sandbox_.Get("vexa_query=test&vexa_cat%5B%5D=2&vexa_cat%5B%5D=0");
    std::string next = FollowLink(CgiBody(first.output), "2");
    ASSERT_FALSE(next.empty()) << multi << ": " << first.output;
    auto second = sandbox_.Get(next);
    EXPECT_EQ(TitlesInOrder(CgiBody(second.output)), Titles(11, 20)) << multi << ": " << next;
    EXPECT_EQ(server_.RequestCount(), asked + 1) << multi << ": " << next;
    std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(
        lines[1].find(multi ? "READCACHE, OR, PerPage = 10, PageNum = 2, \"Cat = Films, Books\""
                            : "READCACHE, OR, PerPage = 10, PageNum = 2, \"Cat = Films\""),
        std::string::npos)
        << multi << ": " << lines[1];
  }
}

// The results block of a page: from the summary to the page links.
std::string ResultsBlock(const std::string& page) {
  size_t start = page.find("<div class=\"summary\">");
  size_t end = page.find("<p></p>Pages:");
  if (start == std::string::npos || end == std::string::npos || end < start) return {};
  return page.substr(start, end - start);
}

// A Vexa node and an OpenSearch node whose items carry markup and script.
void MixedNodes(const TestHttpServer& server, SettingsText& settings) {
  settings.PageLinkTexts()
      .VexaNode(server.Url("/vexa/search.cgi"))
      .OpenSearchNode(server.Url("/os/description.xml"));
}

void AnswerMixed(TestHttpServer& server) {
  // Scores 100, 95, ... 5: the OpenSearch items (49, 45, 41, ...) fall in between.
  std::vector<RssItem> vexa = NumberedItems("Vexa", 20);
  for (int i = 0; i < 20; ++i) {
    vexa[i].score = 100 - 5 * i;
    if (i % 3 == 0) vexa[i].description = "&lt;i&gt;slanted&lt;/i&gt; &amp; more";
  }
  server.Answer("/vexa/search.cgi", HttpAnswer(VexaRss(vexa, 40)));
  std::vector<RssItem> open = NumberedItems("Open", 20);
  for (int i = 0; i < 20; i += 2) {
    open[i].title = "&lt;script&gt;alert(" + std::to_string(i) + ")&lt;/script&gt; Open";
    open[i].description = "<![CDATA[<img src=x onerror=alert(1)>text]]>";
    open[i].link = "javascript:alert(" + std::to_string(i) + ")";
  }
  std::string rss = OpenSearchRss(open, 30);
  for (size_t at = 0; (at = rss.find("</item>", at)) != std::string::npos; at += 60)
    rss.insert(at, "<pubDate>Tue, 14 Apr 2009 10:00:00 GMT</pubDate>\n");
  server.Answer("/os/rss", HttpAnswer(rss));
  server.Answer("/os/description.xml",
                HttpAnswer(OpenSearchDescription(
                    server.Url("/os/rss?q={searchTerms}&amp;n={count}&amp;s={startIndex}"))));
}

TEST(CacheRoundTripCgiTest, PageFromTheCacheEqualsTheFreshPage) {
  TestHttpServer server;
  AnswerMixed(server);

  CgiSandbox cached(QuorixBinary());
  SettingsText cachedSettings;
  cachedSettings.Option("INT_CACHE_VALID_PERIOD_MINS", 10).Option("INT_OVER_REQUEST_FACTOR", 2);
  MixedNodes(server, cachedSettings);
  cached.WriteFile("settings.qxdat", cachedSettings.str());
  cached.Get("vexa_query=test");
  size_t asked = server.RequestCount();
  auto fromCache = cached.Get("vexa_query=test&vexa_page=2");
  ASSERT_EQ(server.RequestCount(), asked) << "page 2 asked the nodes again";

  CgiSandbox fresh(QuorixBinary());
  SettingsText freshSettings;
  freshSettings.Option("INT_CACHE_VALID_PERIOD_MINS", 0);
  MixedNodes(server, freshSettings);
  fresh.WriteFile("settings.qxdat", freshSettings.str());
  auto freshRun = fresh.Get("vexa_query=test&vexa_page=2");
  ASSERT_GT(server.RequestCount(), asked);

  std::string cachedBlock = ResultsBlock(CgiBody(fromCache.output));
  std::string freshBlock = ResultsBlock(CgiBody(freshRun.output));
  ASSERT_EQ(CountOf(freshBlock, "<!-- Item #"), 10u) << freshRun.output;
  EXPECT_EQ(cachedBlock, freshBlock);
  EXPECT_NE(cachedBlock.find("Tue, 14 Apr 2009 10:00:00 GMT"), std::string::npos);
  EXPECT_NE(cachedBlock.find(">&lt;i&gt;slanted&lt;/i&gt; &amp; more<"), std::string::npos)
      << cachedBlock;
  EXPECT_NE(cachedBlock.find("&lt;script&gt;alert(2)&lt;/script&gt; Open"), std::string::npos);
  EXPECT_EQ(ExecutableMarkup(CgiBody(fromCache.output)), std::vector<std::string>{});
}

}  // namespace
}  // namespace quorix
