// The page deadline in the dispatch: nodes still answering are left to be
// collected after the page, and the back-off records them only then.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "nodequery/dispatch.h"
#include "nodequery/node_backoff.h"
#include "search/cache/file_store.h"
#include "tests/nodequery/dispatch_fixture.h"

namespace quorix {
namespace {

using namespace std::chrono_literals;
using testing::HttpAnswer;

TEST_F(DispatchFixture, APageDeadlineLeavesSlowNodesToBeCollectedAndRecordedLater) {
  server.Answer("/fast.cgi", HttpAnswer(RssAnswer(2, 2)));
  server.Answer("/late.cgi", HttpAnswer(RssAnswer(3, 3)).Delay(400ms));
  server.Answer("/never.cgi", HttpAnswer().Never());
  VexaNode(0, "/fast.cgi");
  VexaNode(1, "/late.cgi");
  VexaNode(2, "/never.cgi", 700);
  std::string dir = (std::filesystem::temp_directory_path() / "quorix-late-XXXXXX").string();
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  FileStore files(dir, dir);
  NodeBackoff backoff(files, {1, 60}, [] { return int64_t{1000000}; });
  options.backoff = &backoff;
  auto stateLines = [&] {
    std::ifstream state(dir + "/node_backoff.state");
    std::string text((std::istreambuf_iterator<char>(state)), {});
    return text;
  };

  std::unique_ptr<LateNodeAnswers> late;
  auto start = std::chrono::steady_clock::now();
  PerformVexaQueryBy(start + 150ms, config, request, 10, results, log, options, &late);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 400ms);
  ASSERT_NE(late, nullptr);
  EXPECT_EQ(late->PendingMask(), 0b110u);
  EXPECT_EQ(results.status[0], kOk);
  EXPECT_EQ(results.status[1], kNodePending);
  EXPECT_EQ(results.status[2], kNodePending);
  EXPECT_EQ(results.totals.queriedItems, 2);
  EXPECT_EQ(stateLines(), "") << "recorded before the late answers were in";

  late->Collect(results, &backoff, log);
  EXPECT_EQ(results.status[1], kOk);  // a late answer is an answer
  EXPECT_EQ(results.channels[1].node, 1);
  EXPECT_EQ(results.totals.queriedItems, 5);
  EXPECT_EQ(results.status[2], kNodeTimeoutExceeded);
  std::string state = stateLines();
  EXPECT_EQ(state.rfind("2 1 ", 0), 0u) << state;  // the background time-out counts as a failure
  EXPECT_EQ(state.find("\n1 "), std::string::npos) << state;
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace quorix
