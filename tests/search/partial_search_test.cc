// The page deadline in the search driver, with fake steps: the page of the
// nodes that answered in time, the partial entry, and the completion.
#include <gtest/gtest.h>

#include "platform/clock.h"
#include "search/pipeline/pipeline.h"
#include "tests/search/driver_fakes.h"
#include "tests/support/recording_log.h"

namespace quorix {
namespace {

// Node 1 answering late with `items` items titled "1.i".
void LateAnswerOfNode1(NodeResults& results, int items) {
  NodeResults answer;
  Answer({kOk, kOk}, items)(answer);
  results.channels[1] = std::move(answer.channels[1]);
  results.status[1] = kOk;
  results.totals.queriedItems += items;
  results.totals.availableItems += 100;
}

struct FakeLate : LateAnswers {
  uint64_t PendingMask() const override { return 0b10; }
  void Collect(NodeResults& results, LogSink&) override { LateAnswerOfNode1(results, 2); }
  void Drop(const NodeResults&, LogSink&) override {}
};

class PartialSearchTest : public ::testing::Test, protected FakeSteps {
 protected:
  PartialSearchTest() {
    config.nodeCount = 2;
    config.allVexaNodes = true;
    config.cacheValidPeriodMins = 60;
    config.overRequestFactor = 1;
    config.pageDeadlineMs = 500;
    for (int n = 0; n < 2; ++n) {
      config.nodes[n].disabled = false;
      config.nodes[n].timeoutMs = 3000;
    }
    query.rawQuery = "cat";
    query.itemsPerPage = 10;
  }
  Status Run() {
    SearchSteps steps{form,  cache,
                      nodes, results,
                      tail,  [] { return int64_t{1}; },
                      rules, [this](PendingSearch&& pending) { handed = std::move(pending); }};
    return PerformSearchRequest(query, config, steps, log);
  }

  Config config;
  VexaQuery query;
  PendingSearch handed;
  testing::RecordingLog log;
};

TEST_F(PartialSearchTest, ThePageGoesOutAtTheDeadlineAndTheCompletionStoresEveryAnswer) {
  nodes.late = [](NodeResults& results) -> std::unique_ptr<LateAnswers> {
    Answer({kOk}, 3)(results);
    results.status[1] = kNodePending;
    return std::make_unique<FakeLate>();
  };
  ASSERT_EQ(Run(), kOk);
  EXPECT_EQ(Titles(results.page.items), (Calls{"0.0", "0.1", "0.2"}));
  EXPECT_EQ(results.page.nodes[1].status, kNodePending);
  EXPECT_EQ(PendingSourceCount(results.page), 1);
  EXPECT_EQ(cache.partialMark.pendingNodes, 0b10u);
  EXPECT_GT(cache.partialMark.dueEpochMs, EpochMs() + 6000) << "due before two time-outs";
  EXPECT_EQ(cache.partialTitles, (Calls{"0.0", "0.1", "0.2"}));
  EXPECT_EQ(cache.written, -1) << "a partial set stored as the complete one";
  ASSERT_TRUE(handed.late);

  ASSERT_EQ(CompleteSearch(handed, query, config, rules, cache, log), kOk);
  EXPECT_EQ(cache.writtenTitles, (Calls{"0.0", "1.0", "0.1", "1.1", "0.2"}));
  EXPECT_EQ(cache.writtenAvailable, 200);
  EXPECT_EQ(calls.back(), "delete partial");
}

// A request that finds the partial entry shows it with the pending nodes
// marked, unless the completion is overdue: then it asks the nodes again.
TEST_F(PartialSearchTest, APartialEntryAnswersUntilItIsDue) {
  struct Case {
    int64_t dueInMs;
    bool asksNodes;
  };
  for (const Case& c : {Case{60000, false}, Case{-1, true}}) {
    calls.clear();
    query.startTicks = NowTicks() - 1000 * TicksPerMs();  // its own deadline has passed
    cache.partialFound.hit = true;
    cache.partialFound.partial = {0b10, EpochMs() + c.dueInMs};
    cache.partialFound.page.resultsValid = true;
    nodes.fill = Answer({kOk, kOk}, 1);
    ASSERT_EQ(Run(), kOk);
    const bool asked = std::find(calls.begin(), calls.end(), "query") != calls.end();
    EXPECT_EQ(asked, c.asksNodes) << c.dueInMs;
    EXPECT_EQ(results.page.nodes[1].status == kNodePending, !c.asksNodes) << c.dueInMs;
  }
}

}  // namespace
}  // namespace quorix
