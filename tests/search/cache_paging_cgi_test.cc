// Paging through one query with the built program: later pages come from the
// cache file without asking the node, and a page beyond the cached items asks
// again and replaces the file.
#include <gtest/gtest.h>

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
using testing::HttpAnswer;
using testing::NumberedItems;
using testing::PageTemplateText;
using testing::QuorixBinary;
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
}

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
  EXPECT_EQ(FollowLink(CgiBody(second.output), "3"), "vexa_query=c%2B%2B%20a%26b%20100%25&vexa_page=3&vexa_per_page=10&vexa_and=0&vexa_sort=0");

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

}  // namespace
}  // namespace quorix
