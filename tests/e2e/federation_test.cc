// Quorix instances federated under lighttpd: a front end over regional
// searches, and searches whose nodes lead back to them.
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
