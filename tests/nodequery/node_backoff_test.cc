#include "nodequery/node_backoff.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "tests/support/recording_log.h"

namespace quorix {
namespace {

using testing::RecordingLog;

class NodeBackoffTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "quorix-backoff-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = pattern;
    config.nodeCount = 2;
    for (int n = 0; n < 2; ++n) {
      config.nodes[n].disabled = false;
      config.nodes[n].vexaScheme = "http";
      config.nodes[n].vexaHost = "node" + std::to_string(n) + ".test";
      config.nodes[n].timeoutMs = 3000;
    }
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  // One request at the fake clock's time: node 0 gets `status` unless it is
  // skipped, node 1 always answers. Returns 'S' skipped, 'P' tried after a
  // pause, 'A' asked.
  char Request(NodeBackoff& backoff, Status status) {
    BackoffDecision decision;
    EXPECT_EQ(backoff.Decide(config, decision, log), kOk);
    std::array<Status, kMaxNodes> statuses;
    statuses.fill(kNodeNotRun);
    char seen = decision.skip[0] ? 'S' : decision.probe[0] ? 'P' : 'A';
    if (!decision.skip[0]) {
      statuses[0] = status;
      decision.asked[0] = true;
    }
    statuses[1] = kOk;
    decision.asked[1] = true;
    EXPECT_EQ(backoff.Record(config, statuses, decision, log), kOk);
    return seen;
  }

  std::string dir;
  Config config;
  RecordingLog log;
  int64_t now = 1000000;
};

TEST_F(NodeBackoffTest, PausesDoubleUpToTheLimitAndASuccessClears) {
  NodeBackoff backoff(dir, {3, 60}, [this] { return now; });
  struct Step {
    int64_t at;  // seconds after the start
    Status status;
    char expected;
  } steps[] = {
      {0, kNodeTimeoutExceeded, 'A'},    {1, kQueryConnectFailed, 'A'},
      {2, kOk, 'A'},                     // a success starts the count again
      {3, kQueryNoResponse, 'A'},        {4, kResponseNotRecognised, 'A'},
      {5, kNodeTimeoutExceeded, 'A'},    // third in a row: paused for 60 s
      {6, kOk, 'S'},                     {64, kOk, 'S'},
      {65, kNodeTimeoutExceeded, 'P'},   // the try fails: 120 s
      {66, kOk, 'S'},                    {184, kOk, 'S'},
      {185, kQuerySendFailed, 'P'},      // 240 s
      {425, kNodeTimeoutExceeded, 'P'},  // 480 s
      {905, kNodeTimeoutExceeded, 'P'},  // 900 s, the longest pause
      {1805, kNodeTimeoutExceeded, 'P'}, // still 900 s
      {2704, kOk, 'S'},
      {2705, kFewerItemsThanRequested, 'P'},  // answered: the record goes
      {2706, kNodeTimeoutExceeded, 'A'},
  };
  for (const Step& step : steps) {
    now = 1000000 + step.at;
    EXPECT_EQ(Request(backoff, step.status), step.expected) << "at " << step.at;
  }
}

TEST_F(NodeBackoffTest, ATryInProgressKeepsOtherRequestsAway) {
  NodeBackoff backoff(dir, {1, 10}, [this] { return now; });
  Request(backoff, kNodeTimeoutExceeded);
  now += 10;
  BackoffDecision first, second;
  ASSERT_EQ(backoff.Decide(config, first, log), kOk);
  ASSERT_EQ(backoff.Decide(config, second, log), kOk);
  EXPECT_TRUE(first.probe[0]);
  EXPECT_TRUE(second.skip[0]) << "only one request tries the node";
  now += 3000 / 1000 + 2;  // the try's time-out has long passed without an answer
  EXPECT_EQ(Request(backoff, kNodeTimeoutExceeded), 'P');
}

TEST_F(NodeBackoffTest, AnotherNodeInTheSlotOrADamagedFileStartsAfresh) {
  NodeBackoff backoff(dir, {1, 60}, [this] { return now; });
  Request(backoff, kNodeTimeoutExceeded);
  EXPECT_EQ(Request(backoff, kOk), 'S');
  config.nodes[0].vexaHost = "replaced.test";
  EXPECT_EQ(Request(backoff, kNodeTimeoutExceeded), 'A');
  EXPECT_EQ(Request(backoff, kOk), 'S');

  // A pause from a clock that went back is cut to the node's own pause.
  std::ofstream(dir + "/" + kBackoffStateFile)
      << "0 3 60 " << now + 100000 << " http://replaced.test\n";
  EXPECT_EQ(Request(backoff, kOk), 'S');
  now += 60;
  EXPECT_EQ(Request(backoff, kOk), 'P');

  std::ofstream(dir + "/" + kBackoffStateFile) << "garbage line\n0 x\n\n";
  EXPECT_EQ(Request(backoff, kOk), 'A');
  EXPECT_TRUE(log.Contains("had unreadable lines"));
  NodeBackoff elsewhere(dir + "/missing", {1, 60}, [this] { return now; });
  BackoffDecision decision;
  EXPECT_NE(elsewhere.Decide(config, decision, log), kOk);
  EXPECT_FALSE(decision.skip[0]);
  EXPECT_TRUE(log.Contains("Node back-off is off for this request"));
}

// Many requests (threads here, processes in production: each takes its own
// lock) recording at once lose no failure and leave a whole file.
TEST_F(NodeBackoffTest, ConcurrentRecordsAreNeitherLostNorTorn) {
  constexpr int kRequests = 100;
  std::vector<std::thread> threads;
  for (int i = 0; i < kRequests; ++i)
    threads.emplace_back([this] {
      NodeBackoff backoff(dir, {1000000, 60}, [this] { return now; });
      RecordingLog own;
      BackoffDecision decision;
      decision.asked[0] = true;
      std::array<Status, kMaxNodes> statuses;
      statuses.fill(kNodeNotRun);
      statuses[0] = kNodeTimeoutExceeded;
      EXPECT_EQ(backoff.Record(config, statuses, decision, own), kOk);
    });
  for (std::thread& thread : threads) thread.join();
  std::ifstream file(dir + "/" + kBackoffStateFile);
  std::stringstream text;
  text << file.rdbuf();
  EXPECT_EQ(text.str(), "0 " + std::to_string(kRequests) + " 0 0 http://node0.test\n");
  EXPECT_FALSE(std::filesystem::exists(dir + "/" + kBackoffStateFile + ".tmp"));
}

}  // namespace
}  // namespace quorix
