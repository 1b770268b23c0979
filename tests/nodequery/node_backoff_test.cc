#include "nodequery/node_backoff.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>
#include <vector>

#include "nodequery/backoff_state.h"
#include "platform/text.h"
#include "search/cache/file_store.h"
#include "tests/support/recording_log.h"

namespace quorix {
namespace {

using testing::RecordingLog;

constexpr const char* kBackoffStateFile = "node_backoff.state";
constexpr const char* kBackoffLockFile = "node_backoff.lock";

class NodeBackoffTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quorix-backoff-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = pattern;
    files = std::make_unique<FileStore>(dir, dir);
    config.nodeCount = 2;
    for (int n = 0; n < 2; ++n) {
      config.nodes[n].disabled = false;
      config.nodes[n].vexaScheme = "http";
      config.nodes[n].vexaHost = "node" + std::to_string(n) + ".test";
      config.nodes[n].timeoutMs = 3000;
    }
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  // One request for `query` at the fake clock's time: node 0 gets `status`
  // unless it is skipped, node 1 always answers. Returns 'S' skipped, 'P'
  // tried after a pause, 'A' asked.
  char Request(NodeBackoff& backoff, Status status, const char* query = "q",
               Status expected = kOk) {
    BackoffDecision decision;
    EXPECT_EQ(backoff.Decide(config, decision, log), expected);
    std::array<Status, kMaxNodes> statuses;
    statuses.fill(kNodeNotRun);
    char seen = decision.skip[0] ? 'S' : decision.probe[0] ? 'P' : 'A';
    if (!decision.skip[0]) {
      statuses[0] = status;
      decision.asked[0] = true;
    }
    statuses[1] = kOk;
    decision.asked[1] = true;
    EXPECT_EQ(backoff.Record(config, query, statuses, decision, log), expected);
    return seen;
  }

  std::string Path(const char* name) const { return dir + "/" + name; }
  std::string ReadAll(const std::string& path) const {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }

  std::string dir;
  std::unique_ptr<FileStore> files;
  Config config;
  RecordingLog log;
  int64_t now = 1000000;
};

TEST_F(NodeBackoffTest, PausesDoubleUpToTheLimitAndASuccessClears) {
  NodeBackoff backoff(*files, {3, 60}, [this] { return now; });
  constexpr Status kTimeout = kNodeTimeoutExceeded;
  struct Step {
    int64_t at;  // seconds after the start
    const char* query;
    Status status;
    char expected;
  } steps[] = {
      {0, "a", kTimeout, 'A'},
      {1, "b", kQueryConnectFailed, 'A'},
      {2, "c", kOk, 'A'},  // a success starts the count again
      // Failures before the query was sent count alone, whatever the query.
      {3, "a", kDescConnectFailed, 'A'},
      {3, "a", kQueryConnectFailed, 'A'},
      {3, "a", kDescNoResponse, 'A'},  // third in a row: paused for 60 s
      {4, "a", kOk, 'S'},
      {62, "a", kOk, 'S'},
      {63, "a", kQueryConnectFailed, 'P'},  // the try fails: 120 s
      {64, "a", kOk, 'S'},
      {182, "a", kOk, 'S'},
      {183, "a", kDescSendFailed, 'P'},       // 240 s
      {423, "a", kDescNotRecognised, 'P'},    // 480 s
      {903, "a", kQueryConnectFailed, 'P'},   // 900 s, the longest pause
      {1803, "a", kQueryConnectFailed, 'P'},  // still 900 s
      {2702, "a", kOk, 'S'},
      {2703, "a", kFewerItemsThanRequested, 'P'},  // answered: the record goes
      // One visitor's slow query, many times at once and again later: no pause.
      {2704, "slow", kTimeout, 'A'},
      {2704, "slow", kTimeout, 'A'},
      {2704, "slow", kTimeout, 'A'},
      {2704, "slow", kTimeout, 'A'},
      {2800, "slow", kTimeout, 'A'},
      {2801, "slow", kResponseNotRecognised, 'A'},
      {2802, "x", kOk, 'A'},
      // Distinct queries that fail together wait until the failures span 30 s.
      {2803, "q1", kTimeout, 'A'},
      {2803, "q2", kQueryNoResponse, 'A'},
      {2803, "q3", kQuerySendFailed, 'A'},
      {2832, "q4", kTimeout, 'A'},
      {2833, "q1", kResponseMalformed, 'A'},  // 30 s: paused for 60 s
      {2834, "a", kOk, 'S'},
      {2892, "a", kOk, 'S'},
      // The try's own query may be what failed: the node is asked again, and
      // pauses once the rule is met anew, for twice as long.
      {2893, "q5", kTimeout, 'P'},
      {2894, "q6", kTimeout, 'A'},
      {2922, "q7", kTimeout, 'A'},
      {2923, "q5", kTimeout, 'A'},  // 120 s
      {2924, "a", kOk, 'S'},
      {3042, "a", kOk, 'S'},
      {3043, "q8", kQueryConnectFailed, 'P'},  // 240 s
      {3282, "a", kOk, 'S'},
      {3283, "a", kOk, 'P'},
      {3284, "slow", kTimeout, 'A'},
  };
  for (const Step& step : steps) {
    now = 1000000 + step.at;
    EXPECT_EQ(Request(backoff, step.status, step.query), step.expected) << "at " << step.at;
  }
}

TEST_F(NodeBackoffTest, ATryInProgressKeepsOtherRequestsAway) {
  NodeBackoff backoff(*files, {1, 10}, [this] { return now; });
  Request(backoff, kQueryConnectFailed);
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
  NodeBackoff backoff(*files, {1, 60}, [this] { return now; });
  Request(backoff, kQueryConnectFailed);
  EXPECT_EQ(Request(backoff, kOk), 'S');
  config.nodes[0].vexaHost = "replaced.test";
  EXPECT_EQ(Request(backoff, kQueryConnectFailed), 'A');
  EXPECT_EQ(Request(backoff, kOk), 'S');

  // A pause from a clock that went back is cut to the node's own pause.
  std::ofstream(dir + "/" + kBackoffStateFile)
      << "0 3 60 " << now + 100000 << " http://replaced.test\n";
  EXPECT_EQ(Request(backoff, kOk), 'S');
  now += 60;
  EXPECT_EQ(Request(backoff, kOk), 'P');

  // On a new site the first failure makes the folder and counts.
  FileStore fresh(dir, dir + "/new");
  NodeBackoff first(fresh, {1, 60}, [this] { return now; });
  EXPECT_EQ(Request(first, kQueryConnectFailed), 'A');
  EXPECT_EQ(Request(first, kOk), 'S');
  // A folder that cannot be made leaves the back-off off for the request.
  std::ofstream(dir + "/blocker") << "";
  FileStore blocked(dir, dir + "/blocker/sub");
  NodeBackoff elsewhere(blocked, {1, 60}, [this] { return now; });
  BackoffDecision decision;
  EXPECT_NE(elsewhere.Decide(config, decision, log), kOk);
  EXPECT_FALSE(decision.skip[0]);
  EXPECT_TRUE(log.Contains("is off for this request"));

  // Whatever is planted at the back-off's file names, a request goes on, and
  // nothing outside them is read, written or created.
  config.nodes[0].vexaHost = "node0.test";
  const std::string state = Path(kBackoffStateFile), lock = Path(kBackoffLockFile);
  const std::string outside = Path("outside"), paused = Format("0 3 60 %lld http://node0.test\n",
                                                               static_cast<long long>(now + 30));
  auto fill = [](const std::string& path, const std::string& text) { std::ofstream(path) << text; };
  struct Planted {
    const char* what;
    std::function<void()> plant;
    char expected;  // for node 0, which fails the request
    Status status;  // of Decide and Record
    std::string logged;
  } cases[] = {
      {"damaged lines", [&] { fill(state, "garbage line\n0 x\n1 2 3 4 since=x http://a\n\n"); },
       'A', kOk, "had unreadable lines"},
      {"older format", [&] { fill(state, paused); }, 'S', kOk, ""},
      {"state links to /dev/zero", [&] { symlink("/dev/zero", state.c_str()); }, 'A', kOk,
       "not read (it is a link, which is not followed)"},
      {"state is a FIFO", [&] { mkfifo(state.c_str(), 0600); }, 'A', kOk,
       "not read (it is not a regular file)"},
      {"state is a folder", [&] { std::filesystem::create_directory(state); }, 'A',
       kCacheWriteFailed, "not a regular file"},
      {"state at the longest",
       [&] { fill(state, paused + std::string(kBackoffMaxStateBytes - paused.size(), '\n')); }, 'S',
       kOk, ""},
      {"state too long", [&] { fill(state, paused + std::string(kBackoffMaxStateBytes, '\n')); },
       'A', kOk, Format("longer than %zu bytes", kBackoffMaxStateBytes)},
      {"lock links elsewhere", [&] { symlink(outside.c_str(), lock.c_str()); }, 'A',
       kCacheAccessError, "link, which is not followed"},
      {"lock is a FIFO", [&] { mkfifo(lock.c_str(), 0600); }, 'A', kCacheAccessError,
       "not a regular file"},
      {"stale temporary links elsewhere",
       [&] {
         fill(outside, "keep");
         symlink(outside.c_str(), (state + ".tmp").c_str());
       },
       'A', kOk, ""},
  };
  for (const Planted& planted : cases) {
    SCOPED_TRACE(planted.what);
    for (const auto& entry : std::filesystem::directory_iterator(dir))
      std::filesystem::remove_all(entry.path());
    planted.plant();
    const bool outsideThere = std::filesystem::exists(outside);
    const size_t logged = log.Lines().size();
    EXPECT_EQ(Request(backoff, kQueryConnectFailed, "q", planted.status), planted.expected);
    // The expected warning, or none at all when nothing is expected.
    const std::string warning = planted.logged.empty() ? "back-off" : planted.logged;
    const auto lines = log.Lines();
    EXPECT_EQ(
        std::any_of(lines.begin() + logged, lines.end(),
                    [&](const auto& line) { return line.text.find(warning) != std::string::npos; }),
        !planted.logged.empty());
    EXPECT_EQ(std::filesystem::exists(outside), outsideThere);
    if (outsideThere) {
      EXPECT_EQ(ReadAll(outside), "keep");
    }
    for (const auto& entry : std::filesystem::directory_iterator(dir))
      EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos);
  }
}

// Many requests (threads here, processes in production: each takes its own
// lock) recording at once lose no failure and leave a whole file.
TEST_F(NodeBackoffTest, ConcurrentRecordsAreNeitherLostNorTorn) {
  constexpr int kRequests = 100;
  std::vector<std::thread> threads;
  for (int i = 0; i < kRequests; ++i)
    threads.emplace_back([this] {
      NodeBackoff backoff(*files, {1000000, 60}, [this] { return now; });
      RecordingLog own;
      BackoffDecision decision;
      decision.asked[0] = true;
      std::array<Status, kMaxNodes> statuses;
      statuses.fill(kNodeNotRun);
      statuses[0] = kNodeTimeoutExceeded;
      EXPECT_EQ(backoff.Record(config, "", statuses, decision, own), kOk);
    });
  for (std::thread& thread : threads) thread.join();
  std::ifstream file(dir + "/" + kBackoffStateFile);
  std::stringstream text;
  text << file.rdbuf();
  EXPECT_EQ(text.str(),
            "0 " + std::to_string(kRequests) +
                " 0 0 since=1000000 unreachable=0 queries=811c9dc5 http://node0.test\n");
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos);
}

}  // namespace
}  // namespace quorix
