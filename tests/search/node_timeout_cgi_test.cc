// A node that does not answer in time, with the built program: it is reported,
// the other node's results are shown, and the search does not wait for it.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/search/cgi_test_support.h"
#include "tests/support/cgi_runner.h"
#include "tests/support/test_http_server.h"

namespace quorix {
namespace {

using namespace std::chrono_literals;
using testing::CgiBody;
using testing::CgiSandbox;
using testing::HttpAnswer;
using testing::NumberedItems;
using testing::QuorixBinary;
using testing::SettingsText;
using testing::TestHttpServer;
using testing::TitlesInOrder;
using testing::VexaRss;

constexpr int kTimeoutMs = 700;

TEST(NodeTimeoutCgiTest, SlowNodeIsReportedAndTheOtherShown) {
  struct Case {
    const char* name;
    bool openSearch;    // the slow node is an OpenSearch node
    HttpAnswer answer;  // what the slow node's server does
    std::chrono::milliseconds goodDelay{0};
  } cases[] = {
      {"query never answered", false, HttpAnswer().Never()},
      {"answer long after the time-out", false,
       HttpAnswer(VexaRss(NumberedItems("Late", 3), 3)).Delay(8000ms)},
      // The late answer arrives while the search still waits for the other
      // node: it must not reach the page or the counts.
      {"answer while the search still runs", false,
       HttpAnswer(VexaRss(NumberedItems("Late", 3), 3)).Delay(1000ms), 2000ms},
      {"description never answered", true, HttpAnswer().Never()},
  };
  for (auto& c : cases) {
    TestHttpServer slow;
    TestHttpServer good;
    CgiSandbox sandbox(QuorixBinary());
    SettingsText settings;
    settings.Option("INT_CACHE_VALID_PERIOD_MINS", 0);
    if (c.openSearch) {
      settings.OpenSearchNode(slow.Url("/os.xml"), kTimeoutMs);
      slow.Answer("/os.xml", c.answer);
    } else {
      settings.VexaNode(slow.Url("/search.cgi"), kTimeoutMs);
      slow.Answer("/search.cgi", c.answer);
    }
    settings.VexaNode(good.Url("/search.cgi"), 20000);
    good.Answer("/search.cgi", HttpAnswer(VexaRss(NumberedItems("Good", 3), 3)).Delay(c.goodDelay));
    sandbox.WriteFile("settings.qxdat", settings.str());

    auto start = std::chrono::steady_clock::now();
    auto run =
        sandbox.Run({{"REQUEST_METHOD", "GET"}, {"QUERY_STRING", "vexa_query=test"}}, {}, 30000);
    auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    ASSERT_FALSE(run.timedOut) << c.name;
    EXPECT_EQ(run.exitStatus, 0) << c.name;
    // Ended without waiting for the slow node: well before its 8 s answer or
    // the test servers' end.
    EXPECT_LT(seconds, 6.0) << c.name;
    const std::string page = CgiBody(run.output);
    EXPECT_NE(page.find("<div><font size=\"2\" color=\"red\"><i>Node #0 timeout exceeded</i>"
                        "</font></div>"),
              std::string::npos)
        << c.name << ": " << page;
    EXPECT_NE(page.find("Node #0: timeout waiting for response.  Timeout period = 700 ms"),
              std::string::npos)
        << c.name;
    EXPECT_EQ(TitlesInOrder(page), (std::vector<std::string>{"Good 1", "Good 2", "Good 3"}))
        << c.name << ": " << page;
    EXPECT_NE(page.find("<div class=\"summary\">3 results found."), std::string::npos) << c.name;
    EXPECT_EQ(page.find("Late"), std::string::npos) << c.name;
    EXPECT_EQ(good.RequestCount(), 1u) << c.name;
  }
}

// A node that times out is not paused by one query asked again and again.
// Once its failures come from three queries over 30 seconds (the first two
// planted in the shared state file) it is skipped without waiting until its
// pause ends; the request after the pause tries it again, and as that time-out
// may be its own query's doing, the node is asked again.
TEST(NodeTimeoutCgiTest, DeadNodeIsSkippedAfterRepeatedFailures) {
  TestHttpServer dead;
  TestHttpServer good;
  dead.Answer("/search.cgi", HttpAnswer().Never());
  good.Answer("/search.cgi", HttpAnswer(VexaRss(NumberedItems("Good", 3), 3)));
  CgiSandbox sandbox(QuorixBinary());
  SettingsText settings;
  settings.Option("INT_CACHE_VALID_PERIOD_MINS", 0)
      .Option("AllowRequestDebug", 1)
      .Option("ShowSources", 1)
      .Option("NodeBackoffFailures", 3)
      .Option("NodeBackoffSecs", 2);
  settings.VexaNode(dead.Url("/search.cgi"), 300).Text("NODE0_NAME", "Dead");
  settings.VexaNode(good.Url("/search.cgi"), 20000);
  sandbox.WriteFile("settings.qxdat", settings.str());
  sandbox.WriteFile("cache/.htaccess", "");

  struct Step {
    std::chrono::milliseconds sleepBefore;
    bool plantEarlierFailures;
    size_t deadAsked;  // requests the dead node has had after this one
    const char* source;
  } steps[] = {
      {0ms, false, 1, "<div class=\"source source_timeout\">Dead: did not answer in time</div>"},
      {0ms, false, 2, "source_timeout"},
      {0ms, false, 3, "source_timeout"},
      {0ms, false, 4, "source_timeout"},  // the same query each time: no pause
      {0ms, true, 5, "source_timeout"},
      {0ms, false, 5,
       "<div class=\"source source_skipped\">Dead: skipped after repeated failures</div>"},
      {2100ms, false, 6, "source_timeout"},  // the pause is over: tried once more
      {0ms, false, 7, "source_timeout"},
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    SCOPED_TRACE("request " + std::to_string(i + 1));
    std::this_thread::sleep_for(steps[i].sleepBefore);
    if (steps[i].plantEarlierFailures) {
      const auto minuteAgo = std::chrono::duration_cast<std::chrono::seconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count() -
                             60;
      sandbox.WriteFile("cache/node_backoff.state",
                        "0 2 0 0 since=" + std::to_string(minuteAgo) +
                            " unreachable=0 queries=00000001,00000002 " + dead.Url("/search.cgi") +
                            "\n");
    }
    auto start = std::chrono::steady_clock::now();
    auto run = sandbox.Get("vexa_query=test&vexa_debug=1");
    auto elapsed = std::chrono::steady_clock::now() - start;
    const std::string page = CgiBody(run.output);
    EXPECT_EQ(dead.RequestCount(), steps[i].deadAsked);
    EXPECT_NE(page.find(steps[i].source), std::string::npos) << page;
    EXPECT_EQ(TitlesInOrder(page), (std::vector<std::string>{"Good 1", "Good 2", "Good 3"}));
    bool skipped = std::string(steps[i].source).find("skipped") != std::string::npos;
    EXPECT_EQ(page.find("<i>Node #0 skipped after repeated failures</i>") != std::string::npos,
              skipped);
    if (!skipped) {
      EXPECT_GE(elapsed, 300ms) << "the time-out was waited for";
    }
  }
}

// Visitors learn which node failed and how, never where it is; debug mode
// shows the address.
TEST(NodeFailureCgiTest, TheNodeAddressIsShownOnlyInDebugMode) {
  uint16_t closedPort;
  {
    TestHttpServer closed;
    closedPort = closed.port();
  }
  TestHttpServer node;
  node.Answer("/search.cgi", HttpAnswer(""));
  struct Case {
    std::string host, publicLine, fullLine;
  } cases[] = {
      {"127.0.0.1:" + std::to_string(closedPort), "Node #0: Failed to send HTTP request",
       "Node #0: Failed to send HTTP request to &quot;127.0.0.1:" + std::to_string(closedPort) +
           "/search.cgi?vexa_query=test"},
      {node.HostPort(), "Node #0: No response",
       "Node #0: No response from &quot;" + node.HostPort() + "/search.cgi?vexa_query=test"},
  };
  for (const Case& c : cases) {
    CgiSandbox sandbox(QuorixBinary());
    SettingsText settings;
    settings.Option("INT_CACHE_VALID_PERIOD_MINS", 0).Option("AllowRequestDebug", 1);
    settings.VexaNode("http://" + c.host + "/search.cgi", 2000);
    sandbox.WriteFile("settings.qxdat", settings.str());
    for (const char* query : {"vexa_query=test", "vexa_query=test&vexa_debug=1"}) {
      bool debug = std::string(query).find("vexa_debug") != std::string::npos;
      auto run = sandbox.Run({{"REQUEST_METHOD", "GET"}, {"QUERY_STRING", query}}, {}, 30000);
      ASSERT_FALSE(run.timedOut) << query;
      const std::string page = CgiBody(run.output);
      EXPECT_NE(page.find("<i>" + c.publicLine + (debug ? " " : "</i>")), std::string::npos)
          << query << ": " << page;
      EXPECT_EQ(page.find(c.host) != std::string::npos, debug) << query << ": " << page;
      if (debug) {
        EXPECT_NE(page.find(c.fullLine), std::string::npos) << page;
      }
    }
  }
}

}  // namespace
}  // namespace quorix
