#include "search/driver.h"

#include <gtest/gtest.h>

#include "tests/support/recording_log.h"

namespace quorix {
namespace {

using Calls = std::vector<std::string>;

struct FakeForm : SearchFormStep {
  Calls& calls;
  int answer = 0;
  explicit FakeForm(Calls& c) : calls(c) {}
  int DisplaySearchForm(const Config&, const VexaQuery&) override {
    calls.push_back("form");
    return answer;
  }
};

struct FakeCache : ResultCacheStep {
  Calls& calls;
  CacheDirState dirState = CacheDirState::kMissing;
  Status checkStatus = kCacheNotFound;
  bool hit = false;
  int64_t items = 0, available = 0;
  int32_t written = -1;
  explicit FakeCache(Calls& c) : calls(c) {}
  void StartExpiredPurge() override { calls.push_back("purge"); }
  CacheDirState CacheDirectoryState() override {
    calls.push_back("dirstate");
    return dirState;
  }
  Status DeleteCacheByQueryString() override {
    calls.push_back("delete");
    return kOk;
  }
  Status CheckCacheByQueryString(const VexaQuery&) override {
    calls.push_back("check");
    return checkStatus;
  }
  bool cacheHit() const override { return hit; }
  int64_t cachedItems() const override { return items; }
  int64_t cachedAvailable() const override { return available; }
  Status DisplayResultsFromCache() override {
    calls.push_back("fromcache");
    return kOk;
  }
  Status WriteCacheByQueryString(const ItemList& list, int32_t count) override {
    calls.push_back("write");
    EXPECT_EQ(list.size(), static_cast<size_t>(count));
    written = count;
    return kOk;
  }
};

struct FakeNodes : NodeQueryStep {
  Calls& calls;
  int32_t requested = -1;
  std::function<void(NodeResults&)> fill;
  explicit FakeNodes(Calls& c) : calls(c) {}
  void PerformVexaQuery(const Config&, int32_t count, NodeResults& results) override {
    calls.push_back("query");
    requested = count;
    if (fill) fill(results);
  }
  int CheckVexaNodeSettings(const Config&, NodeResults&) override {
    calls.push_back("settings");
    return 0;
  }
};

struct FakeResults : ResultsStep {
  Calls& calls;
  Status displayAnswer = 0;
  explicit FakeResults(Calls& c) : calls(c) {}
  int ConsolidateResults(NodeResults& results, bool, ItemList& merged) override {
    calls.push_back("consolidate");
    for (auto& channel : results.channels)
      for (auto& item : channel.items) merged.push_back(std::move(item));
    return 0;
  }
  Status DisplayResults(int32_t, const ChannelTable&, const ItemList& items, int64_t, int64_t count,
                        bool fromCache) override {
    calls.push_back("display");
    EXPECT_FALSE(fromCache);
    EXPECT_EQ(static_cast<int64_t>(items.size()), count);
    return displayAnswer;
  }
};

struct FakeTail : PageTailStep {
  Calls& calls;
  explicit FakeTail(Calls& c) : calls(c) {}
  void WritePageTail() override { calls.push_back("tail"); }
};

// Nodes that answer with `items` items each and the given statuses.
std::function<void(NodeResults&)> Answer(std::vector<Status> statuses, int items) {
  return [statuses, items](NodeResults& results) {
    for (size_t node = 0; node < statuses.size(); ++node) {
      results.status[node] = statuses[node];
      if (statuses[node] == kOk)
        for (int i = 0; i < items; ++i)
          results.channels[node].items.push_back(std::make_unique<Item>());
      if (statuses[node] == kOk) {
        results.totals.queriedItems += items;
        results.totals.availableItems += 100;
        results.totals.resultsValid = true;
      }
    }
    results.startedWorkers = static_cast<int32_t>(statuses.size());
  };
}

class DriverTest : public ::testing::Test {
 protected:
  DriverTest() {
    query.rawQuery = "cat";
    query.query_out = "cat";
    query.currentPageNum = 3;
    query.itemsPerPage = 10;
    config.nodeCount = 2;
    config.nodes[0].disabled = false;
    config.nodes[1].disabled = false;
  }
  int32_t Run(int64_t seconds = 1) {
    SearchSteps steps{form, cache, nodes, results, tail, [seconds] { return seconds; }};
    return PerformSearchRequest(query, config, steps, nodeResults, log);
  }
  // The timer labels in the order they were logged.
  Calls Timers() const {
    Calls labels;
    for (const auto& line : log.Lines()) {
      if (line.level != kLogTiming) continue;
      labels.push_back(line.text.substr(line.text.find(" - ") + 3));
    }
    return labels;
  }

  Calls calls;
  FakeForm form{calls};
  FakeCache cache{calls};
  FakeNodes nodes{calls};
  FakeResults results{calls};
  FakeTail tail{calls};
  VexaQuery query;
  Config config;
  NodeResults nodeResults;
  testing::RecordingLog log;
};

TEST_F(DriverTest, FreshSearchRunsEveryStepInOrder) {
  nodes.fill = Answer({kOk, kOk}, 5);
  results.displayAnswer = 7;
  EXPECT_EQ(Run(), 7);
  EXPECT_EQ(calls, (Calls{"form", "check", "query", "settings", "consolidate", "display", "write",
                          "tail"}));
  EXPECT_EQ(nodes.requested, 60);  // factor 2 x page 3 x 10 per page
  EXPECT_EQ(cache.written, 10);
  EXPECT_EQ(Timers(),
            (Calls{"Main thread: CheckCacheByQueryString", "Main thread: PerformVexaQuery",
                   "Main thread: CheckVexaNodeSettings", "Main thread: ConsolidateResults",
                   "Main thread: DisplayResults", "Main thread: WriteCacheByQueryString"}));
  EXPECT_TRUE(log.Has(kLogInfo, "Checking cache for \"cat\""));
  EXPECT_TRUE(log.Has(kLogInfo,
                      "Number of items being queried = 10, available items from all nodes = 200"));
  EXPECT_TRUE(log.Has(kLogInfo, "Writing to cache for \"cat\", number of items being cached = 10"));
  EXPECT_FALSE(query.readFromCache);
}

TEST_F(DriverTest, PurgeStartsWhenTheSecondsEndIn50) {
  form.answer = -1;
  Run(1234550);
  EXPECT_EQ(calls, (Calls{"purge", "form", "tail"}));
  calls.clear();
  Run(1234551);
  EXPECT_EQ(calls, (Calls{"form", "tail"}));
}

TEST_F(DriverTest, RefusedFormOrUnescapedQueryEndsWithTheTail) {
  form.answer = -1;
  EXPECT_EQ(Run(), -1);
  EXPECT_EQ(calls, (Calls{"form", "tail"}));
  EXPECT_TRUE(log.Lines().empty());

  // A query that could not be escaped must not reach the cache (its key would
  // be empty and shared) nor the nodes (they would be asked for nothing).
  calls.clear();
  form.answer = 0;
  query.escapeFailed = true;
  nodes.fill = Answer({kOk, kOk}, 5);
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(calls, (Calls{"form", "tail"}));
}

TEST_F(DriverTest, CachingOffAsksForExactlyThePageAndPurges) {
  struct Case {
    CacheDirState state;
    Calls calls;
    bool warned;
  } cases[] = {
      {CacheDirState::kMissing, {"form", "dirstate", "query", "tail"}, false},
      {CacheDirState::kWritable, {"form", "dirstate", "delete", "query", "tail"}, false},
      {CacheDirState::kNotWritable, {"form", "dirstate", "query", "tail"}, true},
  };
  config.cacheValidPeriodMins = 0;
  for (const auto& c : cases) {
    calls.clear();
    cache.dirState = c.state;
    testing::RecordingLog caseLog;
    NodeResults none;
    SearchSteps steps{form, cache, nodes, results, tail, [] { return int64_t{1}; }};
    PerformSearchRequest(query, config, steps, none, caseLog);
    EXPECT_EQ(calls, c.calls) << static_cast<int>(c.state);
    EXPECT_EQ(nodes.requested, 30);
    EXPECT_EQ(caseLog.Has(kLogInfo,
                          "Caching is off but we have no permission to delete files "
                          "from directory \"cache\""),
              c.warned);
    EXPECT_TRUE(caseLog.Has(kLogInfo, "No slaves enabled."));
  }
}

TEST_F(DriverTest, CacheHitShowsTheCacheAndQueriesNoNode) {
  cache.hit = true;
  cache.items = 40;
  cache.available = 123;
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(calls, (Calls{"form", "check", "fromcache", "tail"}));
  EXPECT_TRUE(query.readFromCache);
  EXPECT_EQ(query.matches, 40);
  EXPECT_TRUE(log.Has(kLogInfo, "Num cached items = 40, available items from all nodes = 123"));
  EXPECT_EQ(Timers(), (Calls{"Main thread: CheckCacheByQueryString",
                             "Main thread: DisplayResultsFromCache"}));
}

TEST_F(DriverTest, CacheCheckStatusesAreReported) {
  cache.checkStatus = kInvalidPage;
  config.nodeCount = 0;
  Run();
  EXPECT_TRUE(log.Has(kLogInfo, "There are not enough items to display the requested page."));
  EXPECT_EQ(calls, (Calls{"form", "check", "tail"}));  // no nodes at all
}

TEST_F(DriverTest, CacheWithMoreItemsIsNotRewritten) {
  cache.checkStatus = kCacheTooSmall;
  cache.items = 30;
  nodes.fill = Answer({kOk, kOk}, 15);
  Run();
  EXPECT_TRUE(log.Has(kLogInfo, "Not enough items in cache file to display current page"));
  EXPECT_TRUE(log.Has(kLogWarning,
                      "Cache file for \"cat\" contains more items than current query.  Items in "
                      "cache = 30, items queried = 30, No caching done."));
  EXPECT_EQ(cache.written, -1);
}

TEST_F(DriverTest, SmallerCacheWithoutTooSmallStatusIsSilentlyKept) {
  cache.items = 30;
  nodes.fill = Answer({kOk}, 10);
  Run();
  EXPECT_EQ(cache.written, -1);
  EXPECT_FALSE(log.Contains("No caching done"));
}

TEST_F(DriverTest, InvalidResultsAreNotCached) {
  nodes.fill = Answer({kNodeTimeoutExceeded, kQueryConnectFailed}, 0);
  Run();
  EXPECT_EQ(calls, (Calls{"form", "check", "query", "settings", "consolidate", "display", "tail"}));
}

TEST_F(DriverTest, NodeFailureLines) {
  struct Case {
    Status status;
    int level;  // -1: no line
    std::string line;
  } cases[] = {
      {kNodeNotRun, -1, ""},
      {kOk, -1, ""},
      {-1000, kLogError, "Node #3's OpenSearch Description file URL is empty"},
      {-1001, kLogError, "Error connecting to node #3's OpenSearch Description file server"},
      {-1002, kLogError,
       "Error sending HTTP GET request to node #3's OpenSearch Description file server"},
      {-1003, kLogError, "Error getting HTTP response from node #3's OpenSearch Description file"},
      {-1004, kLogError, "Node #3's OpenSearch query syntax is unsupported"},
      {-1005, kLogError,
       "Node #3's OpenSearch Description did not return a recognised OpenSearch Description file "
       "format"},
      {-2000, kLogError, "Node #3's query server's URL is empty"},
      {-2001, kLogError, "Error connecting to node #3's query server"},
      {-2002, kLogError, "Error sending HTTP GET request to node #3's query  server"},
      {-2003, kLogError, "Error getting  HTTP response from node #3's query server"},
      {-2005, kLogError,
       "Node #3's query server did not return a recognised VexaSearchResponse/OpenSearchResponse "
       "format"},
      {-5000, kLogError, "Node #3's timeout value is zero"},
      {-5001, kLogError, "Node #3 timeout exceeded"},
      {-7000, kLogError, "Node #3 could not be asked: no thread for its query"},
      {-9000, kLogWarning, "Node #3: Did not returned the requested number of items."},
      {kNodeLeadsToSelf, kLogError, "Node #3 leads back to this search"},
      {-2006, kLogError, "Node #3 error.  Error code: -2006"},
      {-4000, kLogError, "Node #3 error.  Error code: -4000"},
      {-1, kLogError, "Node #3 error.  Error code: -1"},
  };
  for (const auto& c : cases) {
    std::string line;
    int level = -1;
    bool logged = NodeStatusLine(3, c.status, line, level);
    EXPECT_EQ(logged, c.level != -1) << c.status;
    if (!logged) continue;
    EXPECT_EQ(line, c.line) << c.status;
    EXPECT_EQ(level, c.level) << c.status;
  }
}

TEST_F(DriverTest, FailedNodesAreReportedAndTheOthersShown) {
  config.nodeCount = 4;
  config.nodes[2].disabled = true;
  config.nodes[3].disabled = false;
  nodes.fill = [](NodeResults& r) {
    Answer({kOk, kQueryNoResponse, kNodeTimeoutExceeded, kFewerItemsThanRequested}, 4)(r);
  };
  Run();
  EXPECT_TRUE(log.Has(kLogError, "Error getting  HTTP response from node #1's query server"));
  EXPECT_FALSE(log.Contains("Node #2"));  // disabled slots are not reported
  EXPECT_TRUE(log.Has(kLogWarning, "Node #3: Did not returned the requested number of items."));
  EXPECT_EQ(cache.written, 4);
}

TEST_F(DriverTest, RequestedCountIsClampedWhenItWouldOverflow) {
  config.overRequestFactor = 1000000;
  query.currentPageNum = 100000;
  query.itemsPerPage = 9;
  Run();
  EXPECT_EQ(nodes.requested, INT32_MAX);
}

}  // namespace
}  // namespace quorix
