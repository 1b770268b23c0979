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

std::string TestName() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  std::replace(name.begin(), name.end(), '/', '_');
  return name;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

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
  EXPECT_TRUE(Contains(second, "<b>11.</b>"));
  EXPECT_FALSE(Contains(second, "<b>1.</b>"));
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

  EXPECT_TRUE(Contains(page, "value=\"6\" checked=\"checked\">Waste and Recycling"));
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

  EXPECT_TRUE(Contains(page, std::string(kRedLine) + "Node #0 timeout exceeded</i></font></div>"));
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

  EXPECT_TRUE(Contains(page, std::string(kRedLine) +
                                 "Node #0's query server did not return a recognised "
                                 "VexaSearchResponse/OpenSearchResponse format</i></font></div>"));
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
TEST_P(SearchFlow, AnEditedSettingsFileShowsOnTheNextRequest) {
  StartStack(BothDemoNodes());
  ASSERT_TRUE(Contains(Page("/quorix.cgi?vexa_query=garden"), "Search for:"));
  std::string path = stack_.folder() + "/site/www/settings.qxdat";
  std::stringstream text;
  text << std::ifstream(path).rdbuf();
  std::string settings =
      std::regex_replace(text.str(), std::regex("STR_FORM_SEARCHFOR = \"[^\"]*\""),
                         "STR_FORM_SEARCHFOR = \"Look for:\"");
  std::ofstream(path, std::ios::trunc) << settings;

  std::string page = Page("/quorix.cgi?vexa_query=garden");
  EXPECT_TRUE(Contains(page, "Look for:"));
  EXPECT_FALSE(Contains(page, "Search for:"));
}

INSTANTIATE_TEST_SUITE_P(Modes, SearchFlow, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "FastCgi" : "Cgi";
                         });

using nlohmann::json;

// The JSON answer's shape: every key with the type its value must have.
void ExpectAnswerSchema(const json& answer) {
  const std::pair<const char*, json::value_t> kTop[] = {
      {"query", json::value_t::string},
      {"page", json::value_t::number_integer},
      {"per_page", json::value_t::number_integer},
      {"total", json::value_t::number_integer},
      {"sort", json::value_t::string},
      {"from_cache", json::value_t::boolean},
      {"search_time", json::value_t::number_float},
      {"items", json::value_t::array},
      {"nodes", json::value_t::array},
      {"errors", json::value_t::array}};
  const std::pair<const char*, json::value_t> kItem[] = {
      {"number", json::value_t::number_integer}, {"title", json::value_t::string},
      {"link", json::value_t::string},           {"description", json::value_t::string},
      {"context", json::value_t::string},        {"score", json::value_t::number_integer},
      {"category", json::value_t::array},        {"node", json::value_t::number_integer}};
  const std::pair<const char*, json::value_t> kNode[] = {{"node", json::value_t::number_integer},
                                                         {"status", json::value_t::number_integer},
                                                         {"message", json::value_t::string},
                                                         {"items", json::value_t::number_integer},
                                                         {"time_ms", json::value_t::number_float}};
  auto check = [](const json& object, const auto& keys) {
    ASSERT_TRUE(object.is_object()) << object;
    for (const auto& [key, type] : keys) {
      ASSERT_TRUE(object.contains(key)) << key << " missing in " << object;
      json::value_t actual = object[key].type();
      // Whole numbers may come as unsigned; fractions may happen to be whole.
      bool number =
          type == json::value_t::number_integer && actual == json::value_t::number_unsigned;
      bool fraction = type == json::value_t::number_float && object[key].is_number();
      EXPECT_TRUE(actual == type || number || fraction) << key << " in " << object;
    }
  };
  check(answer, kTop);
  for (const json& item : answer["items"]) {
    check(item, kItem);
    EXPECT_TRUE(item["date"].is_null() || item["date"].is_string()) << item;
  }
  for (const json& node : answer["nodes"]) check(node, kNode);
}

json JsonAnswer(const DemoStack& stack, const std::string& query) {
  std::string body;
  long status = 0;
  EXPECT_TRUE(stack.Get("/quorix.cgi?vexa_format=json&vexa_query=" + query, &body, &status));
  EXPECT_EQ(status, 200);
  json answer = json::parse(body, nullptr, false);
  EXPECT_FALSE(answer.is_discarded()) << body;
  ExpectAnswerSchema(answer);
  return answer;
}

size_t RequestsToNodes(const DemoStack& stack) {
  return stack.NodeRequests(0).size() + stack.NodeRequests(1).size();
}

// The warning and error lines of a page at DEBUG 2, with node numbers left out.
std::set<std::string> WarningKinds(const std::string& page) {
  static const std::regex kLine("<div><font size=\"2\" color=(?:#FFAA00|\"red\")><i>([^<]*)");
  static const std::regex kNode("Node #[0-9]+");
  std::set<std::string> kinds;
  for (auto it = std::sregex_iterator(page.begin(), page.end(), kLine);
       it != std::sregex_iterator(); ++it)
    kinds.insert(std::regex_replace((*it)[1].str(), kNode, "Node #N"));
  return kinds;
}

// Two regional searches over two demo nodes each, and a front end that uses
// both as Vexa nodes; then a search that has itself as its node.
TEST(Federation, FrontEndMergesRegionalSearchesWithCachesAtEveryLevel) {
  DemoStack regionA, regionB, front;
  std::string error;
  regionA.SetDebug(2);
  ASSERT_TRUE(regionA.Start(TestName() + ".A", BothDemoNodes(), 5000, &error)) << error;
  ASSERT_TRUE(regionB.Start(TestName() + ".B", BothDemoNodes(), 5000, &error)) << error;
  StackNode nodeA, nodeB;
  nodeA.vexaUrl = regionA.SearchUrl();
  nodeB.vexaUrl = regionB.SearchUrl();
  front.SetDebug(2);
  ASSERT_TRUE(front.Start(TestName() + ".front", {nodeA, nodeB}, 10000, &error)) << error;

  // At DEBUG 2 the front end warns of nothing that the regional search does
  // not warn of for its own nodes.
  std::string regionalPage, page;
  ASSERT_TRUE(regionA.Get("/quorix.cgi?vexa_query=garden", &regionalPage));
  ASSERT_TRUE(front.Get("/quorix.cgi?vexa_query=garden", &page));
  std::set<std::string> regionalWarnings = WarningKinds(regionalPage);
  for (const std::string& warning : WarningKinds(page))
    EXPECT_TRUE(regionalWarnings.count(warning)) << warning;
  EXPECT_TRUE(Contains(page, "http://www.riverton.example/"));
  EXPECT_TRUE(Contains(page, "http://magazine.example/"));

  json merged = JsonAnswer(front, "waste");
  json totalA = JsonAnswer(regionA, "waste")["total"];
  json totalB = JsonAnswer(regionB, "waste")["total"];
  EXPECT_GT(totalA.get<int>(), 10);
  EXPECT_EQ(merged["total"], totalA.get<int>() + totalB.get<int>());
  std::vector<int> scores;
  std::set<int> fromNodes;
  for (const json& item : merged["items"]) {
    scores.push_back(item["score"]);
    fromNodes.insert(item["node"].get<int>());
  }
  EXPECT_EQ(scores.size(), 10u);
  EXPECT_TRUE(std::is_sorted(scores.rbegin(), scores.rend())) << merged["items"];
  EXPECT_EQ(fromNodes, (std::set<int>{0, 1})) << merged["items"];
  for (const json& node : merged["nodes"]) {
    EXPECT_EQ(node["status"], 0) << node;
    EXPECT_GT(node["items"].get<int>(), 0) << node;
    EXPECT_GT(node["time_ms"].get<double>(), 0) << node;
  }

  // Page 2 at the front end, and at a regional search, come from their caches.
  size_t asked = RequestsToNodes(regionA) + RequestsToNodes(regionB);
  json second = JsonAnswer(front, "waste&vexa_page=2");
  EXPECT_TRUE(second["from_cache"].get<bool>());
  EXPECT_EQ(second["items"][0]["number"], 11);
  json regional = JsonAnswer(regionA, "waste&vexa_page=2");
  EXPECT_TRUE(regional["from_cache"].get<bool>());
  EXPECT_EQ(RequestsToNodes(regionA) + RequestsToNodes(regionB), asked);

  // A search that is its own node stops at the hop limit.
  DemoStack loop;
  StackNode self;
  self.vexaUrl = kSelf;
  loop.SetDebug(0);
  ASSERT_TRUE(loop.Start(TestName() + ".loop", {self}, 20000, &error)) << error;
  json none = JsonAnswer(loop, "garden");
  EXPECT_EQ(none["total"], 0);
  std::vector<std::string> debug = ReadLines(loop.debugLog());
  EXPECT_EQ(std::count_if(debug.begin(), debug.end(),
                          [](const std::string& line) {
                            return Contains(line, "arrived through 4 or more Quorix instances");
                          }),
            1);
}

// A node that sends every search back to the results page would start a chain
// of searches, each asking every node again; the hop count and the refusal of
// a redirect to the search's own address end it within the hop limit.
TEST(Federation, NodeRedirectingBackToTheResultsPageEndsWithinTheHopLimit) {
  DemoStack stack;
  StackNode loop{Kind::kOpenSearch, 0, false, "", ""};
  loop.redirectToSearch = "/quorix.cgi?vexa_query=garden";
  std::string error;
  ASSERT_TRUE(stack.Start(TestName(), {{Kind::kVexa, 0, false, "", ""}, loop}, 20000, &error))
      << error;
  std::string page;
  ASSERT_TRUE(stack.Get("/quorix.cgi?vexa_query=garden", &page));
  EXPECT_TRUE(Contains(page, "http://www.riverton.example/")) << page;
  size_t runs = stack.NodeRequests(0).size();
  EXPECT_GE(runs, 1u);
  EXPECT_LE(runs, 4u) << "the chain went past the hop limit";
  EXPECT_LE(stack.NodeRequests(1).size(), 2 * runs) << "a description and a query per run";
}

}  // namespace
}  // namespace quorix::e2e
