#include <cinttypes>
#include <cstdio>

#include "search/metrics/metrics.h"

namespace quorix {
namespace {

constexpr const char* kFailureNames[kNodeFailureKinds] = {"timeout", "connection", "unreadable",
                                                          "skipped", "other"};
constexpr const char* kFormatNames[kSearchFormats] = {"html", "rss", "json"};
constexpr const char* kBucketNames[kLatencyBuckets] = {"0.05", "0.1", "0.25", "0.5", "1.0",
                                                       "2.5",  "5.0", "10.0", "+Inf"};

void Family(std::string& out, const char* name, const char* type, const char* help) {
  out += "# TYPE " + std::string(name) + " " + type + "\n";
  out += "# HELP " + std::string(name) + " " + help + "\n";
}

// name{labels} value
void Sample(std::string& out, const std::string& name, const std::string& labels, uint64_t value) {
  char number[24];
  std::snprintf(number, sizeof number, "%" PRIu64, value);
  out += name;
  if (!labels.empty()) out += "{" + labels + "}";
  out += " ";
  out += number;
  out += "\n";
}

std::string NodeLabels(const NodeLabel& node) {
  return "node=\"" + std::to_string(node.node) + "\",name=\"" + EscapeLabelValue(node.name) + "\"";
}

// One counter family with one sample per node.
void NodeCounter(std::string& out, const char* name, const char* help,
                 const std::vector<NodeLabel>& nodes, const CounterBlock& counters,
                 uint64_t NodeCounters::*field) {
  Family(out, name, "counter", help);
  for (const NodeLabel& node : nodes)
    Sample(out, std::string(name) + "_total", NodeLabels(node), counters.nodes[node.node].*field);
}

void NodeFailures(std::string& out, const std::vector<NodeLabel>& nodes,
                  const CounterBlock& counters) {
  Family(out, "quorix_node_failures", "counter",
         "Node queries that brought no answer, by kind (skipped: paused by the back-off).");
  for (const NodeLabel& node : nodes) {
    for (int kind = 0; kind < kNodeFailureKinds; ++kind) {
      Sample(out, "quorix_node_failures_total",
             NodeLabels(node) + ",kind=\"" + kFailureNames[kind] + "\"",
             counters.nodes[node.node].failures[kind]);
    }
  }
}

void NodeLatency(std::string& out, const std::vector<NodeLabel>& nodes,
                 const CounterBlock& counters) {
  Family(out, "quorix_node_latency_seconds", "histogram",
         "Time from a node's query until it answered or was given up.");
  for (const NodeLabel& node : nodes) {
    const NodeCounters& counted = counters.nodes[node.node];
    const std::string labels = NodeLabels(node);
    uint64_t cumulative = 0;
    for (int bucket = 0; bucket < kLatencyBuckets; ++bucket) {
      cumulative += counted.latency[bucket];
      Sample(out, "quorix_node_latency_seconds_bucket",
             labels + ",le=\"" + kBucketNames[bucket] + "\"", cumulative);
    }
    Sample(out, "quorix_node_latency_seconds_count", labels, cumulative);
    char sum[40];
    std::snprintf(sum, sizeof sum, "%" PRIu64 ".%03" PRIu64, counted.latencySumMs / 1000,
                  counted.latencySumMs % 1000);
    out += "quorix_node_latency_seconds_sum{" + labels + "} " + sum + "\n";
  }
}

void SiteFamilies(std::string& out, const CounterBlock& counters) {
  Family(out, "quorix_searches", "counter", "Search requests by answer format.");
  for (int format = 0; format < kSearchFormats; ++format)
    Sample(out, "quorix_searches_total", std::string("format=\"") + kFormatNames[format] + "\"",
           counters.searches[format]);
  Family(out, "quorix_cache_hits", "counter", "Searches answered from the cache.");
  Sample(out, "quorix_cache_hits_total", "", counters.cacheHits);
  Family(out, "quorix_cache_misses", "counter", "Cache look-ups that found no usable file.");
  Sample(out, "quorix_cache_misses_total", "", counters.cacheMisses);
  Family(out, "quorix_cache_writes", "counter", "Merged result sets written to the cache.");
  Sample(out, "quorix_cache_writes_total", "", counters.cacheWrites);
}

}  // namespace

std::string EscapeLabelValue(std::string_view value) {
  std::string escaped;
  escaped.reserve(value.size());
  for (char c : value) {
    if (c == '\\')
      escaped += "\\\\";
    else if (c == '"')
      escaped += "\\\"";
    else if (c == '\n')
      escaped += "\\n";
    else
      escaped += c;
  }
  return escaped;
}

std::string OpenMetricsText(const CounterBlock& counters, const std::vector<NodeLabel>& nodes,
                            std::string_view version) {
  std::string out;
  Family(out, "quorix_build", "info", "The search program's version.");
  Sample(out, "quorix_build_info", "version=\"" + EscapeLabelValue(version) + "\"", 1);
  NodeCounter(out, "quorix_node_requests", "Queries sent to a node.", nodes, counters,
              &NodeCounters::requests);
  NodeCounter(out, "quorix_node_answers", "Result lists a node answered with.", nodes, counters,
              &NodeCounters::answers);
  NodeFailures(out, nodes, counters);
  NodeCounter(out, "quorix_node_items_received", "Items a node sent.", nodes, counters,
              &NodeCounters::items);
  NodeLatency(out, nodes, counters);
  SiteFamilies(out, counters);
  out += "# EOF\n";
  return out;
}

}  // namespace quorix
