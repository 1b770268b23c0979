// The search program under lighttpd against the demo nodes, as a visitor's
// browser would ask for its pages: the page and the search log line per step.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>

#include "tests/e2e/demo_stack.h"

namespace quorix::e2e {
namespace {

using Kind = StackNode::Kind;

int CountOf(const std::string& text, const std::string& part) {
  int count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// The dates of the result blocks in page order, as yyyymmdd.
std::vector<int> ResultDates(const std::string& page) {
  static const std::regex kDate(
      "class=\"infoline\">[^<]*?(\\d{2}) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
      "(\\d{4})");
  static const std::string kMonths = "JanFebMarAprMayJunJulAugSepOctNovDec";
  std::vector<int> dates;
  for (auto it = std::sregex_iterator(page.begin(), page.end(), kDate);
       it != std::sregex_iterator(); ++it) {
    int month = static_cast<int>(kMonths.find((*it)[2].str())) / 3 + 1;
    dates.push_back(std::stoi((*it)[3]) * 10000 + month * 100 + std::stoi((*it)[1]));
  }
  return dates;
}

const char kRedLine[] = "<div><font size=\"2\" color=\"red\"><i>";

// Every flow runs with quorix as a CGI and as a FastCGI application.
class SearchFlow : public ::testing::TestWithParam<bool> {
 protected:
  void StartStack(const std::vector<StackNode>& nodes, int timeoutMs = 5000) {
    std::string error;
    stack_.SetFastCgi(GetParam());
    ASSERT_TRUE(stack_.Start(TestName(), nodes, timeoutMs, &error)) << error;
  }

  // GET that must answer 200; the page is returned.
  std::string Page(const std::string& target) {
    std::string body;
    long status = 0;
    EXPECT_TRUE(stack_.Get(target, &body, &status)) << target;
    EXPECT_EQ(status, 200) << target;
    return body;
  }

  std::string LastLogLine() {
    std::vector<std::string> lines = stack_.SearchLog();
    return lines.empty() ? "" : lines.back();
  }

  DemoStack stack_;
};

TEST_P(SearchFlow, FirstPageMergesBothNodes) {
  StartStack(BothDemoNodes());
  std::string page = Page("/quorix.cgi?vexa_query=garden");

  EXPECT_TRUE(Contains(page, "Search results for: garden"));
  EXPECT_TRUE(Contains(page, "http://www.riverton.example/")) << "no result of the Vexa node";
  EXPECT_TRUE(Contains(page, "http://magazine.example/")) << "no result of the OpenSearch node";
  EXPECT_EQ(CountOf(page, "<!-- Item #"), 10);
  EXPECT_TRUE(Contains(page, "<b>Sorted by relevance</b>"));
  EXPECT_FALSE(Contains(page, kRedLine)) << "an error line on a good search";
  EXPECT_TRUE(std::regex_search(page, std::regex("\\d+ results found\\.")));
  EXPECT_TRUE(std::regex_search(
      LastLogLine(), std::regex("127\\.0\\.0\\.1, \"garden\", Matches = \\d+, QUERY, OR, "
                                "PerPage = 10, PageNum = 1, \"Cat = All\", Time = \\d+\\.\\d{3}$")))
      << LastLogLine();
  ASSERT_EQ(stack_.NodeRequests(0).size(), 1u);
  EXPECT_TRUE(Contains(stack_.NodeRequests(0)[0], "vexa_query=garden"));
  // The OpenSearch node is asked for its description, then for the results.
  std::vector<std::string> openSearch = stack_.NodeRequests(1);
  ASSERT_EQ(openSearch.size(), 2u);
  EXPECT_EQ(openSearch[0], "/opensearch.xml");
  EXPECT_TRUE(Contains(openSearch[1], "q=garden")) << openSearch[1];
}

TEST_P(SearchFlow, SecondPageComesFromTheCacheWithoutAskingTheNodes) {
  StartStack(BothDemoNodes());
  std::string first = Page("/quorix.cgi?vexa_query=garden");
  std::vector<std::string> links = LinksWithText(first, "2");
  ASSERT_FALSE(links.empty()) << "no link to page 2";
  size_t vexaRequests = stack_.NodeRequests(0).size();
  size_t openSearchRequests = stack_.NodeRequests(1).size();

  std::string second = Page(TargetFromHref(links.front()));

  EXPECT_TRUE(Contains(second, "<!-- Item #11 of page #2 -->"));
  EXPECT_TRUE(Contains(second, "<ol class=\"result_list\" start=\"11\">"));
  EXPECT_TRUE(Contains(second, "<span aria-current=\"page\">2</span>"));
  EXPECT_TRUE(Contains(LastLogLine(), "\"garden\", Matches = ")) << LastLogLine();
  EXPECT_TRUE(Contains(LastLogLine(), ", READCACHE, OR, PerPage = 10, PageNum = 2, \"Cat = All\""))
      << LastLogLine();
  EXPECT_EQ(stack_.NodeRequests(0).size(), vexaRequests) << "the Vexa node was asked again";
  EXPECT_EQ(stack_.NodeRequests(1).size(), openSearchRequests)
      << "the OpenSearch node was asked again";
}

TEST_P(SearchFlow, SortByDateOrdersTheMergedResultsNewestFirst) {
  StartStack(BothDemoNodes());
  std::string first = Page("/quorix.cgi?vexa_query=garden");
  std::vector<std::string> links = LinksWithText(first, "Sort by date");
  ASSERT_EQ(links.size(), 1u);

  std::string sorted = Page(TargetFromHref(links.front()));

  EXPECT_TRUE(Contains(sorted, "<b>Sorted by date</b>"));
  EXPECT_EQ(LinksWithText(sorted, "Sort by relevance").size(), 1u);
  std::vector<int> dates = ResultDates(sorted);
  ASSERT_EQ(dates.size(), 10u) << "every result shows its date";
  for (size_t i = 1; i < dates.size(); ++i)
    EXPECT_GE(dates[i - 1], dates[i]) << "result " << i + 1 << " is newer than the one before";
  EXPECT_TRUE(Contains(sorted, "riverton.example") && Contains(sorted, "magazine.example"));
  EXPECT_TRUE(Contains(LastLogLine(), "\"garden\"")) << LastLogLine();
  EXPECT_TRUE(Contains(LastLogLine(), ", QUERY, OR, PerPage = 10, PageNum = 1")) << LastLogLine();
  EXPECT_TRUE(Contains(stack_.NodeRequests(0).back(), "vexa_sort=1"))
      << stack_.NodeRequests(0).back();
}

TEST_P(SearchFlow, CategoryNarrowsTheVexaNodesResults) {
  StartStack(BothDemoNodes());
  std::string page = Page("/quorix.cgi?vexa_query=garden&vexa_cat%5B%5D=6");

  EXPECT_TRUE(Contains(page, "value=\"6\" checked=\"checked\" /> Waste and Recycling</label>"));
  int inCategory = CountOf(page, "<span class=\"category\"> [Waste and Recycling]</span>");
  int anyCategory = CountOf(page, "<span class=\"category\">");
  EXPECT_GT(inCategory, 0);
  EXPECT_EQ(inCategory, anyCategory) << "a Vexa result from another category";
  EXPECT_TRUE(Contains(LastLogLine(), "\"Cat = Waste and Recycling\"")) << LastLogLine();
  EXPECT_TRUE(Contains(stack_.NodeRequests(0).back(), "vexa_cat%5B%5D=6"))
      << stack_.NodeRequests(0).back();
}

TEST_P(SearchFlow, NodeBeyondItsTimeOutIsReportedAndTheOthersShown) {
  StartStack({{Kind::kVexa, 4000, false, "", ""}, {Kind::kOpenSearch, 0, false, "", ""}}, 1000);
  auto started = std::chrono::steady_clock::now();
  std::string page = Page("/quorix.cgi?vexa_query=garden");
  auto took = std::chrono::steady_clock::now() - started;

  // The visitor reads one plain line by the node's name; the technical line
  // stays in the debug file.
  EXPECT_TRUE(Contains(page, "<li class=\"source_timeout\">127.0.0.1:") &&
              Contains(page, ": did not answer in time</li>"))
      << page;
  EXPECT_FALSE(Contains(page, kRedLine));
  EXPECT_TRUE(Contains(page, "http://magazine.example/")) << "the answering node's results";
  EXPECT_FALSE(Contains(page, "http://www.riverton.example/"));
  EXPECT_LT(took, std::chrono::milliseconds(3500)) << "the page waited for the slow node";
  EXPECT_TRUE(Contains(LastLogLine(), "\"garden\", Matches = ")) << LastLogLine();
  EXPECT_TRUE(Contains(LastLogLine(), ", QUERY, OR, PerPage = 10, PageNum = 1")) << LastLogLine();
  EXPECT_EQ(stack_.NodeRequests(0).size(), 1u) << "the slow node was asked";
}

TEST_P(SearchFlow, NodeAnsweringSomethingElseThanRssIsReported) {
  StartStack({{Kind::kVexa, 0, true, "", ""}, {Kind::kOpenSearch, 0, false, "", ""}});
  std::string page = Page("/quorix.cgi?vexa_query=garden");

  EXPECT_TRUE(Contains(page, "<li class=\"source_failed\">127.0.0.1:") &&
              Contains(page, ": failed</li>"))
      << page;
  EXPECT_FALSE(Contains(page, kRedLine));
  EXPECT_FALSE(Contains(page, "Bad Gateway")) << "the broken node's page leaked into ours";
  EXPECT_TRUE(Contains(page, "http://magazine.example/"));
  EXPECT_TRUE(Contains(LastLogLine(), "\"garden\", Matches = ")) << LastLogLine();
  EXPECT_TRUE(Contains(LastLogLine(), ", QUERY, OR, PerPage = 10, PageNum = 1")) << LastLogLine();
}

TEST_P(SearchFlow, QueryIsEscapedInThePageAndItsLinks) {
  StartStack(BothDemoNodes());
  std::string page = Page("/quorix.cgi?vexa_query=%3Cscript%3Ealert(1)%3C%2Fscript%3E+garden");

  EXPECT_FALSE(Contains(page, "<script>alert(1)")) << "the query reached the page unescaped";
  EXPECT_TRUE(Contains(page, "Search results for: &lt;script&gt;alert(1)&lt;/script&gt; garden"));
  std::vector<std::string> pageLinks = LinksWithText(page, "2");
  ASSERT_FALSE(pageLinks.empty()) << "no link to page 2";
  for (const std::string& href : pageLinks)
    EXPECT_TRUE(Contains(href, "vexa_query=%3Cscript%3Ealert%281%29%3C%2Fscript%3E%20garden"))
        << href;
}

TEST_P(SearchFlow, SettingsCategoriesLogsAndCacheAreNotServed) {
  StartStack(BothDemoNodes());
  Page("/quorix.cgi?vexa_query=garden");  // fills the cache
  std::vector<std::string> cached;
  for (const auto& entry :
       std::filesystem::directory_iterator(stack_.folder() + "/site/www/cache")) {
    std::string name = entry.path().filename().string();
    for (size_t at = name.find('%'); at != std::string::npos; at = name.find('%', at + 3))
      name.replace(at, 1, "%25");
    cached.push_back("/cache/" + name);
  }
  ASSERT_FALSE(cached.empty()) << "the search left no cache file";
  // The demo keeps its logs outside the served folder; a generated site has them inside.
  std::string www = stack_.folder() + "/site/www";
  std::filesystem::create_directories(www + "/logs");
  for (const char* log : {"/logs/searchwords.log", "/Quorix.log"})
    std::ofstream(www + log) << "private log line\n";

  for (const std::string& target :
       {std::string("/settings.qxdat"), std::string("/vexa_cats.qxdat"), std::string("/cache/"),
        cached.front(), std::string("/logs/"), std::string("/logs/searchwords.log"),
        std::string("/Quorix.log")}) {
    std::string body;
    long status = 0;
    ASSERT_TRUE(stack_.Get(target, &body, &status)) << target;
    EXPECT_EQ(status, 403) << target;
    EXPECT_FALSE(Contains(body, "NODE0_")) << target;
    EXPECT_FALSE(Contains(body, "private log line")) << target;
  }
}

// A persistent process must answer from the files as they are now.
TEST_P(SearchFlow, AnEditedSiteFileShowsOnTheNextRequest) {
  StartStack(BothDemoNodes());
  // Each edit follows a request within the same second; the template's keeps its size.
  struct Case {
    const char* file;
    const char* pattern;
    const char* replacement;
    const char* before;
    const char* after;
  } cases[] = {
      {"settings.qxdat", "STR_FORM_SEARCHFOR = \"[^\"]*\"", "STR_FORM_SEARCHFOR = \"Look for:\"",
       "Search for:", "Look for:"},
      {"search_template.html", "<h1>Site search</h1>", "<h1>Town search</h1>",
       "<h1>Site search</h1>", "<h1>Town search</h1>"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(Contains(Page("/quorix.cgi?vexa_query=garden"), c.before)) << c.file;
    std::string path = stack_.folder() + "/site/www/" + c.file;
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    std::ofstream(path, std::ios::trunc)
        << std::regex_replace(text.str(), std::regex(c.pattern), c.replacement);

    std::string page = Page("/quorix.cgi?vexa_query=garden");
    EXPECT_TRUE(Contains(page, c.after)) << c.file;
    EXPECT_FALSE(Contains(page, c.before)) << c.file;
  }
}

// Two fresh searches against a broken and an answering node, two from the
// cache: the metrics count each outcome exactly, for 127.0.0.1 alone.
TEST_P(SearchFlow, MetricsCountEveryNodeAndCacheOutcome) {
  StartStack({{Kind::kVexa, 0, true, "", ""}, {Kind::kOpenSearch, 0, false, "", ""}});
  int items = 0;
  for (const char* sort : {"0", "1"}) {
    auto answer = nlohmann::json::parse(
        Page(std::string("/quorix.cgi?vexa_query=garden&vexa_format=json&vexa_sort=") + sort));
    items += answer["nodes"][1]["items"].get<int>();
  }
  ASSERT_GT(items, 0);
  Page("/quorix.cgi?vexa_query=garden&vexa_page=2");
  Page("/quorix.cgi?vexa_query=garden&vexa_format=rss");

  // The nodes are named by their hosts, which carry the demo's changing ports.
  const std::string metrics = std::regex_replace(Page("/quorix.cgi?vexa_format=metrics"),
                                                 std::regex(",name=\"127\\.0\\.0\\.1:\\d+\""), "");
  const std::string node0 = "{node=\"0\"";
  const std::string node1 = "{node=\"1\"";
  const std::string kLines[] = {
      "quorix_node_requests_total" + node0 + "} 2",
      "quorix_node_answers_total" + node0 + "} 0",
      "quorix_node_failures_total" + node0 + ",kind=\"unreadable\"} 2",
      "quorix_node_failures_total" + node0 + ",kind=\"connection\"} 0",
      "quorix_node_latency_seconds_count" + node0 + "} 2",
      "quorix_node_requests_total" + node1 + "} 2",
      "quorix_node_answers_total" + node1 + "} 2",
      "quorix_node_failures_total" + node1 + ",kind=\"timeout\"} 0",
      "quorix_node_items_received_total" + node1 + "} " + std::to_string(items),
      "quorix_node_latency_seconds_bucket" + node1 + ",le=\"+Inf\"} 2",
      "quorix_searches_total{format=\"html\"} 1",
      "quorix_searches_total{format=\"rss\"} 1",
      "quorix_searches_total{format=\"json\"} 2",
      "quorix_cache_hits_total 2",
      "quorix_cache_misses_total 2",
      "quorix_cache_writes_total 2",
  };
  for (const std::string& line : kLines)
    EXPECT_TRUE(Contains(metrics, "\n" + line + "\n")) << line << "\n" << metrics;
  EXPECT_TRUE(metrics.ends_with("\n# EOF\n")) << metrics;

  std::ofstream(stack_.folder() + "/site/www/settings.qxdat", std::ios::app)
      << "MetricsAllowFrom = \"192.0.2.1\"\n";
  std::string body;
  long status = 0;
  ASSERT_TRUE(stack_.Get("/quorix.cgi?vexa_format=metrics", &body, &status));
  EXPECT_EQ(status, 404);
  EXPECT_FALSE(Contains(body, "quorix_")) << body;
}

INSTANTIATE_TEST_SUITE_P(Modes, SearchFlow, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "FastCgi" : "Cgi";
                         });

}  // namespace
}  // namespace quorix::e2e
