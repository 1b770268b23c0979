// The site counters' OpenMetrics text and the failure kinds of node statuses.
#include "search/metrics/metrics.h"

#include <gtest/gtest.h>

namespace quorix {
namespace {

TEST(MetricsText, LabelValuesAreEscaped) {
  const std::pair<const char*, const char*> kCases[] = {
      {"plain name", "plain name"},  {"a\\b", "a\\\\b"}, {"say \"hi\"", "say \\\"hi\\\""},
      {"two\nlines", "two\\nlines"}, {"", ""},
  };
  for (const auto& [value, escaped] : kCases) EXPECT_EQ(EscapeLabelValue(value), escaped) << value;
}

TEST(MetricsText, FamiliesAndSamples) {
  CounterBlock counters{};
  NodeCounters& node = counters.nodes[3];
  node.requests = 4;
  node.answers = 3;
  node.failures[static_cast<int>(NodeFailure::kTimeout)] = 1;
  node.items = 57;
  node.latency = {1, 0, 2, 0, 0, 0, 0, 0, 1};
  node.latencySumMs = 10480;
  counters.searches[static_cast<int>(SearchFormat::kJson)] = 2;
  counters.cacheHits = 5;
  const std::string text = OpenMetricsText(counters, {{3, "Town \"Hall\""}}, "1.0.0");
  const char* kLines[] = {
      "# TYPE quorix_build info\n",
      "\nquorix_build_info{version=\"1.0.0\"} 1\n",
      "\n# TYPE quorix_node_requests counter\n",
      "\nquorix_node_requests_total{node=\"3\",name=\"Town \\\"Hall\\\"\"} 4\n",
      "\nquorix_node_answers_total{node=\"3\",name=\"Town \\\"Hall\\\"\"} 3\n",
      "\nquorix_node_failures_total{node=\"3\",name=\"Town \\\"Hall\\\"\",kind=\"timeout\"} 1\n",
      "\nquorix_node_failures_total{node=\"3\",name=\"Town \\\"Hall\\\"\",kind=\"skipped\"} 0\n",
      "\nquorix_node_items_received_total{node=\"3\",name=\"Town \\\"Hall\\\"\"} 57\n",
      "\n# TYPE quorix_node_latency_seconds histogram\n",
      "\nquorix_node_latency_seconds_bucket{node=\"3\",name=\"Town \\\"Hall\\\"\",le=\"0.1\"} 1\n",
      "\nquorix_node_latency_seconds_bucket{node=\"3\",name=\"Town \\\"Hall\\\"\",le=\"0.25\"} 3\n",
      "\nquorix_node_latency_seconds_bucket{node=\"3\",name=\"Town \\\"Hall\\\"\",le=\"+Inf\"} 4\n",
      "\nquorix_node_latency_seconds_count{node=\"3\",name=\"Town \\\"Hall\\\"\"} 4\n",
      "\nquorix_node_latency_seconds_sum{node=\"3\",name=\"Town \\\"Hall\\\"\"} 10.480\n",
      "\nquorix_searches_total{format=\"json\"} 2\n",
      "\nquorix_cache_hits_total 5\n",
  };
  for (const char* line : kLines) EXPECT_NE(text.find(line), std::string::npos) << line << text;
  EXPECT_TRUE(text.ends_with("\nquorix_cache_writes_total 0\n# EOF\n")) << text;
  EXPECT_EQ(text.find("node=\"0\""), std::string::npos) << "a node not listed";
}

TEST(MetricsText, FailureKindOfEveryNodeStatus) {
  const std::pair<Status, NodeFailure> kCases[] = {
      {kOk, NodeFailure::kNone},
      {kFewerItemsThanRequested, NodeFailure::kNone},
      {kNodeTimeoutExceeded, NodeFailure::kTimeout},
      {kQueryConnectFailed, NodeFailure::kConnection},
      {kDescNoResponse, NodeFailure::kConnection},
      {kHttpAddressRefused, NodeFailure::kConnection},
      {kResponseNotRecognised, NodeFailure::kUnreadable},
      {kDescNotRecognised, NodeFailure::kUnreadable},
      {kNodeBackedOff, NodeFailure::kSkipped},
      {kQueryUrlEmpty, NodeFailure::kOther},
      {kNodeLeadsToSelf, NodeFailure::kOther},
  };
  for (const auto& [status, kind] : kCases) EXPECT_EQ(NodeFailureOf(status), kind) << status;
}

}  // namespace
}  // namespace quorix
