// A dispatch against nodes on a test HTTP server, for the dispatch's tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "nodequery/dispatch.h"
#include "tests/support/recording_log.h"
#include "tests/support/test_http_server.h"

namespace quorix {

// An RSS answer with `items` items out of `total` matches.
inline std::string RssAnswer(int items, int total) {
  std::string rss =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<rss version=\"2.0\" xmlns:opensearch=\"http://a9.com/-/spec/opensearch/1.1/\">\n"
      "<channel>\n<title>Test node</title>\n<link>http://node.example/</link>\n"
      "<description>Results</description>\n"
      "<opensearch:totalResults>" +
      std::to_string(total) +
      "</opensearch:totalResults>\n"
      "<opensearch:startIndex>1</opensearch:startIndex>\n"
      "<opensearch:itemsPerPage>" +
      std::to_string(items) + "</opensearch:itemsPerPage>\n";
  for (int i = 0; i < items; ++i) {
    rss += "<item>\n<title>Result " + std::to_string(i) + "</title>\n<link>http://node.example/" +
           std::to_string(i) + "</link>\n<description>text</description>\n</item>\n";
  }
  return rss + "</channel>\n</rss>\n";
}

struct DispatchFixture : ::testing::Test {
  // Configures node `n` as a Vexa node on the test server at `path`.
  NodeRecord& VexaNode(int n, const std::string& path, int32_t timeoutMs = 5000) {
    config.nodeCount = std::max(config.nodeCount, n + 1);
    NodeRecord& node = config.nodes[n];
    node.disabled = false;
    node.type = 0;
    node.vexaScheme = "http";
    node.vexaHost = server.HostPort();
    node.vexaPath = path;
    node.timeoutMs = timeoutMs;
    return node;
  }
  // Configures node `n` as an OpenSearch node with the description at `path`.
  NodeRecord& OpenSearchNode(int n, const std::string& path) {
    NodeRecord& node = VexaNode(n, "");
    node.type = 1;
    node.vexaHost.clear();
    node.osDescScheme = "http";
    node.osDescHost = server.HostPort();
    node.osDescPath = path;
    return node;
  }
  void Run(int32_t requested = 10) {
    request.escapedQuery = "test";
    PerformVexaQuery(config, request, requested, results, log, options);
  }
  // A cancelled worker ends soon after its time-out; none may outlive the test.
  void TearDown() override { EXPECT_EQ(JoinAbandonedWorkers(std::chrono::seconds(3)), 0); }

  testing::TestHttpServer server;
  Config config;
  NodeQueryRequest request;
  NodeResults results;
  testing::RecordingLog log;
  DispatchOptions options;
};

}  // namespace quorix
