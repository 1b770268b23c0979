#include "nodequery/dispatch.h"

#include <gtest/gtest.h>

#include <chrono>

#include "nodequery/gated_log.h"
#include "tests/nodequery/dispatch_fixture.h"
#include "tests/support/recording_log.h"
#include "tests/support/test_http_server.h"

namespace quorix {
namespace {

using namespace std::chrono_literals;
using testing::HttpAnswer;
using testing::RecordingLog;
using testing::TestHttpServer;

TEST_F(DispatchFixture, NodesRefusedBeforeAnyWorkerStarts) {
  config.nodeCount = 5;
  config.nodes[0].disabled = true;
  OpenSearchNode(1, "").osDescHost.clear();
  config.nodes[1].osHost = server.HostPort();  // a query URL alone is not enough
  config.nodes[1].osPath = "/s";
  config.nodes[1].osQuery = "?q={searchTerms}";
  VexaNode(2, "").vexaHost.clear();
  VexaNode(3, "/search.cgi", 0);
  config.nodes[4].disabled = true;
  Run();
  EXPECT_EQ(results.startedWorkers, 0);
  EXPECT_EQ(results.status[0], kNodeNotRun);
  EXPECT_EQ(results.status[1], kDescUrlEmpty);
  EXPECT_EQ(results.status[2], kQueryUrlEmpty);
  EXPECT_EQ(results.status[3], kNodeTimeoutZero);
  EXPECT_EQ(results.status[4], kNodeNotRun);
  EXPECT_EQ(results.status[5], kNodeNotRun);  // beyond the node count: not looked at
  EXPECT_TRUE(log.Has(kLogFileOnly, "Node #0 is disabled"));
  EXPECT_TRUE(log.Has(kLogError, "Node #1's OpenSearch Description URL is empty"));
  EXPECT_TRUE(log.Has(kLogError, "Node #2's Node URL is empty"));
  EXPECT_TRUE(log.Has(kLogFileOnly, "Node #3's time-out is zero"));
  EXPECT_EQ(server.RequestCount(), 0u);
}

TEST_F(DispatchFixture, ASlowNodeTimesOutWhileTheOtherKeepsItsResults) {
  server.Answer("/fast.cgi", HttpAnswer(RssAnswer(2, 2)).Delay(100ms));
  server.Answer("/never.cgi", HttpAnswer().Never());
  VexaNode(0, "/fast.cgi", 1000);
  VexaNode(1, "/never.cgi", 1000);
  auto start = std::chrono::steady_clock::now();
  Run();
  auto elapsed = std::chrono::steady_clock::now() - start;

  EXPECT_EQ(results.startedWorkers, 2);
  EXPECT_EQ(results.status[0], kOk);
  EXPECT_EQ(results.channels[0].node, 0);
  EXPECT_FALSE(results.runs[0].requestPath.empty());
  EXPECT_TRUE(results.runs[0].responseBody.empty());  // let go once parsed
  EXPECT_EQ(results.totals.queriedItems, 2);
  EXPECT_EQ(results.status[1], kNodeTimeoutExceeded);
  EXPECT_TRUE(
      log.Has(kLogError, "Node #1: timeout waiting for response.  Timeout period = 1000 ms"));
  // Nothing of the abandoned worker reached the records.
  EXPECT_EQ(results.channels[1].node, -1);
  EXPECT_TRUE(results.runs[1].requestPath.empty());
  EXPECT_TRUE(results.runs[1].responseBody.empty());
  // Returned at the time-out, not at the transfer's own stall limit.
  EXPECT_GE(elapsed, 1000ms);
  EXPECT_LT(elapsed, 1900ms);
  // Each node's own time: the fast one's answer, the slow one's time-out.
  EXPECT_GE(results.elapsedMs[0], 100);
  EXPECT_LT(results.elapsedMs[0], 1000);
  EXPECT_GE(results.elapsedMs[1], 1000);
  EXPECT_EQ(results.elapsedMs[2], 0);
}

TEST_F(DispatchFixture, AnAbandonedWorkerNeverLogsAfterTheTimeOutLine) {
  server.Answer("/never.cgi", HttpAnswer().Never());
  VexaNode(0, "/never.cgi", 200);
  {
    RecordingLog scoped;
    PerformVexaQuery(config, request, 10, results, scoped, options);
    ASSERT_EQ(results.status[0], kNodeTimeoutExceeded);
    EXPECT_EQ(scoped.Lines().back().text,
              "Node #0: timeout waiting for response.  Timeout period = 200 ms");
    // `scoped` ends here while the abandoned worker is still unwinding.
  }
  std::this_thread::sleep_for(50ms);
}

TEST_F(DispatchFixture, WorkersRunInParallel) {
  // Every answer is held until all three requests have arrived, which happens
  // only when the three workers are in flight at once.
  server.HoldAnswersUntil(3, 4000ms);
  server.Answer("/search.cgi", HttpAnswer(RssAnswer(1, 1)));
  for (int n = 0; n < 3; ++n) VexaNode(n, "/search.cgi", 8000);
  Run();
  EXPECT_TRUE(server.HoldReleasedByCount());
  for (int n = 0; n < 3; ++n) EXPECT_EQ(results.status[n], kOk) << "node " << n;
  EXPECT_EQ(results.totals.queriedItems, 3);
  EXPECT_EQ(results.totals.validNodes, 3);
}

TEST_F(DispatchFixture, AnHtmlErrorPageIsLoggedAndParsed) {
  server.Answer("/search.cgi",
                HttpAnswer("<html><body>Not here</body></html>").Status(404).Type("text/html"));
  VexaNode(0, "/search.cgi");
  Run();
  EXPECT_TRUE(log.Has(kLogError, "Node #0: HTTP Status 404 returned (File not found)"));
  EXPECT_EQ(results.status[0], kResponseNotRecognised);
  EXPECT_EQ(results.runs[0].responseBody, "<html><body>Not here</body></html>");
}

TEST_F(DispatchFixture, StatusWithoutTextIsLoggedBare) {
  server.Answer("/search.cgi", HttpAnswer(RssAnswer(1, 1)).Status(503));
  VexaNode(0, "/search.cgi");
  Run();
  EXPECT_TRUE(log.Has(kLogError, "Node #0: HTTP Status 503 returned."));
  EXPECT_EQ(results.status[0], kOk);
}

TEST_F(DispatchFixture, RequestedCountIsCappedAndTheVexaQueryIsComplete) {
  server.Answer("/search.cgi", HttpAnswer(RssAnswer(1, 1)));
  VexaNode(0, "/search.cgi");
  config.useCats = 1;
  request.cat = {3};
  request.sortDate = true;
  Run(5000);
  ASSERT_EQ(server.RequestCount(), 1u);
  EXPECT_EQ(server.RequestTargets()[0],
            "/search.cgi?vexa_query=test&vexa_page=1&vexa_per_page=1000&vexa_and={searchAll?}"
            "&vexa_xml=1&quorix=1&vexa_xml=1&vexa_and=0&vexa_cat%5B%5D=3&vexa_sort=1");
  EXPECT_EQ(results.runs[0].requestPath, server.RequestTargets()[0]);
  EXPECT_TRUE(log.Contains("): End HTTP Query for node #0, time taken = "));
  EXPECT_TRUE(log.Contains("ms - Node [0]: RequestGet"));
}

TEST_F(DispatchFixture, FewerItemsThanAvailableIsAWarning) {
  server.Answer("/search.cgi", HttpAnswer(RssAnswer(2, 50)));
  VexaNode(0, "/search.cgi");
  Run(10);
  EXPECT_EQ(results.status[0], kFewerItemsThanRequested);
  EXPECT_TRUE(log.Has(kLogWarning,
                      "Node #0 failed to return the requested number of items.  Requested = 10, "
                      "Total = 50, Responded = 2"));
}

TEST_F(DispatchFixture, VexaNodeWithAnUnusableDescriptionSendsNoQuery) {
  server.Answer("/search.cgi", HttpAnswer(RssAnswer(1, 1)));
  NodeRecord& node = VexaNode(0, "/search.cgi");
  node.osDescScheme = "http";
  node.osDescHost = server.HostPort();
  node.osDescPath = "/description.xml";  // answered by the default 404 page
  Run();
  EXPECT_EQ(results.status[0], kDescNotRecognised);
  EXPECT_EQ(server.RequestTargets(), std::vector<std::string>{"/description.xml"});
  EXPECT_EQ(results.runs[0].osHost, server.HostPort());
  EXPECT_EQ(results.runs[0].osPath, "/search.cgi");
  EXPECT_EQ(results.runs[0].osQuery, kVexaQueryTemplate);
}

TEST_F(DispatchFixture, OpenSearchNodeQueriedThroughItsDescription) {
  server.Answer("/os.xml", HttpAnswer("<OpenSearchDescription><Url type=\"application/rss+xml\" "
                                      "template=\"http://" +
                                      server.HostPort() +
                                      "/rss?q={searchTerms}&amp;n={count}&amp;s={startIndex}\"/>"
                                      "</OpenSearchDescription>"));
  server.Answer("/rss", HttpAnswer(RssAnswer(1, 1)));
  OpenSearchNode(0, "/os.xml");
  Run(20);
  EXPECT_EQ(results.status[0], kOk);
  EXPECT_EQ(server.RequestTargets(), (std::vector<std::string>{"/os.xml", "/rss?q=test&n=20&s=1"}));
  EXPECT_TRUE(results.runs[0].descriptionResolved);
  // The settings are left as they were: the next request reads the description again.
  EXPECT_TRUE(config.nodes[0].osHost.empty());
}

// The description and the query are fetched alike, but only the query times
// each step, reports a status other than 200 and carries the request's hops.
TEST_F(DispatchFixture, DescriptionAndQueryFetchesDifferWhereTheirPlansDo) {
  server.Answer("/os.xml", HttpAnswer("<OpenSearchDescription><Url type=\"application/rss+xml\" "
                                      "template=\"/rss?q={searchTerms}\"/>"
                                      "</OpenSearchDescription>")
                               .Status(404));
  server.Answer("/rss", HttpAnswer(RssAnswer(1, 1)).Status(503));
  OpenSearchNode(0, "/os.xml");
  request.hops = 4;
  Run();
  EXPECT_EQ(results.status[0], kOk);
  std::vector<std::string> statusLines, timings;
  for (const auto& line : log.Lines()) {
    if (line.text.find("HTTP Status") != std::string::npos) statusLines.push_back(line.text);
    if (size_t at = line.text.find(" ms - "); line.level == kLogTiming && at != std::string::npos)
      timings.push_back(line.text.substr(at + 6));
  }
  EXPECT_EQ(statusLines, std::vector<std::string>{"Node #0: HTTP Status 503 returned."});
  EXPECT_EQ(timings,
            (std::vector<std::string>{"Node [0]: CheckOpenSearchDescriptionFileURL OpenSearch Node",
                                      "Node [0]: Connect", "Node [0]: RequestGet",
                                      "Node [0]: GetHttpResponseContentSize",
                                      "Node [0]: GetHttpResponseContentType", "Node [0]: Response",
                                      "Node [0]: ParseResponse"}));
  EXPECT_NE(server.LastRequestHead().find("X-Quorix-Hops: 4"), std::string::npos);
}

TEST_F(DispatchFixture, TheQueryGetsTheWholeTimeOutAfterTheDescription) {
  // Each answer alone fits the time-out; both together do not. The margins
  // are wide (1 s either way) so that a loaded machine cannot tip the result.
  server.Answer("/os.xml", HttpAnswer("<OpenSearchDescription><Url type=\"application/rss+xml\" "
                                      "template=\"/rss?q={searchTerms}&amp;n={count}\"/>"
                                      "</OpenSearchDescription>")
                               .Delay(2000ms));
  server.Answer("/rss", HttpAnswer(RssAnswer(1, 1)).Delay(2000ms));
  OpenSearchNode(0, "/os.xml").timeoutMs = 3000;
  Run();
  EXPECT_EQ(results.status[0], kOk);
  EXPECT_EQ(server.RequestTargets(), (std::vector<std::string>{"/os.xml", "/rss?q=test&n=10"}));
  EXPECT_FALSE(log.Contains("timeout waiting for response"));

  // A query that itself runs past the time-out is still stopped.
  NodeResults later;
  server.Answer("/rss", HttpAnswer().Never());
  config.nodes[0].osHost.clear();
  config.nodes[0].timeoutMs = 2500;
  auto start = std::chrono::steady_clock::now();
  PerformVexaQuery(config, request, 10, later, log, options);
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(later.status[0], kNodeTimeoutExceeded);
  EXPECT_GE(elapsed, 4500ms);  // 2000 ms for the description, then the query's 2500 ms
  EXPECT_LT(elapsed, 7500ms);
}

TEST_F(DispatchFixture, StrictNodeWithoutCountIsRefused) {
  server.Answer("/os.xml",
                HttpAnswer("<OpenSearchDescription><Url type=\"application/rss+xml\" "
                           "template=\"/rss?q={searchTerms}\"/></OpenSearchDescription>"));
  OpenSearchNode(0, "/os.xml").strictQuerySyntax = 1;
  OpenSearchNode(1, "/os.xml");
  server.Answer("/rss", HttpAnswer(RssAnswer(1, 1)));
  Run();
  EXPECT_EQ(results.status[0], kQuerySyntaxUnsupported);
  EXPECT_TRUE(log.Contains("Node #0: Failed to build query string for \""));
  EXPECT_EQ(results.status[1], kOk);
  EXPECT_FALSE(results.runs[1].countSupported);
}

TEST_F(DispatchFixture, UnreachableNodeIsASendFailure) {
  VexaNode(0, "/search.cgi").vexaHost = "127.0.0.1:1";
  Run();
  EXPECT_EQ(results.status[0], kQuerySendFailed);
  EXPECT_TRUE(log.Contains("Node #0: Failed to send HTTP request to \"127.0.0.1:1/search.cgi?"));
}

TEST_F(DispatchFixture, LocalAddressesFromTheNodeOnlyForLocalNodes) {
  server.Answer("/search.cgi", HttpAnswer().Status(302).Header("Location", server.Url("/moved")));
  server.Answer("/moved", HttpAnswer(RssAnswer(1, 1)));
  server.Answer("/rss", HttpAnswer(RssAnswer(1, 1)));
  // A node on 127.0.0.1 may redirect to 127.0.0.1.
  VexaNode(0, "/search.cgi");
  // A query URL on 127.0.0.1 in the settings of a node whose description is
  // on a public host is the administrator's own choice.
  NodeRecord& node = OpenSearchNode(1, "/os.xml");
  node.osDescHost = "search.example.org";
  node.osScheme = "http";
  node.osHost = server.HostPort();
  node.osPath = "/rss";
  node.osQuery = "?q={searchTerms}";
  // A node that sends the query back to this search itself is refused.
  server.Answer("/loop", HttpAnswer().Status(302).Header(
                             "Location", server.Url("/quorix.cgi?vexa_query=test")));
  VexaNode(2, "/loop");
  request.selfHost = server.HostPort();
  request.selfPath = "/quorix.cgi";
  Run();
  EXPECT_EQ(results.status[0], kOk);
  EXPECT_EQ(results.status[1], kOk);
  EXPECT_EQ(results.status[2], kNodeLeadsToSelf);
  EXPECT_TRUE(
      log.Contains("Node #2: Address leads back to this search \"" + server.HostPort() + "/loop?"));
  EXPECT_EQ(server.RequestCount(), 4u);
}

TEST_F(DispatchFixture, DirectQueryWithThePanelOptions) {
  server.Answer("/search.cgi", HttpAnswer(RssAnswer(1, 1)));
  VexaNode(0, "/search.cgi");
  request.escapedQuery = "test";
  Status status = QueryNode(config, 0, request, 1, results, log, NodeQueryOptions::ControlPanel());
  EXPECT_EQ(status, kOk);
  EXPECT_EQ(results.status[0], kOk);
  EXPECT_EQ(results.totals.queriedItems, 1);
  ASSERT_EQ(server.RequestCount(), 1u);
  EXPECT_EQ(server.RequestTargets()[0],
            "/search.cgi?vexa_query=test&vexa_page=1&vexa_per_page=1&quorix=1&vexa_xml=1&vexa_and="
            "0&vexa_sort=0");

  config.nodes[0].vexaHost = "127.0.0.1:1";
  config.nodes[0].osHost.clear();
  EXPECT_EQ(QueryNode(config, 0, request, 1, results, log, NodeQueryOptions::ControlPanel()),
            kQuerySendFailed);
  EXPECT_TRUE(log.Has(kLogError, "Node #0: Failed to send HTTP request to \"127.0.0.1:1\""));
  EXPECT_TRUE(log.Contains("(Error: "));
}

TEST(GatedLogTest, ForwardsUntilClosed) {
  RecordingLog target;
  GatedLog gate(target);
  gate.Logf(kLogError, "before %d", 1);
  gate.Close();
  gate.Logf(kLogError, "after %d", 2);
  ASSERT_EQ(target.Lines().size(), 1u);
  EXPECT_EQ(target.Lines()[0].text, "before 1");

  // What the gate says it keeps follows its target, level by level, until it is closed.
  struct ErrorsOnly : NullLog {
    bool Keeps(int level) const override { return level == kLogError; }
  } errors;
  GatedLog narrow(errors);
  EXPECT_TRUE(narrow.Keeps(kLogError));
  EXPECT_FALSE(narrow.Keeps(kLogDetail));
  narrow.Close();
  EXPECT_FALSE(narrow.Keeps(kLogError));
}

}  // namespace
}  // namespace quorix
