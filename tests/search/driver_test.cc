// The search driver with fake steps: what a request makes of the nodes' or the
// cache's answers (the result set stored, the page written, the tail's record).
#include <gtest/gtest.h>

#include "search/pipeline/pipeline.h"
#include "tests/search/driver_fakes.h"
#include "tests/support/recording_log.h"

namespace quorix {
namespace {

class DriverTest : public ::testing::Test, protected FakeSteps {
 protected:
  DriverTest() {
    query.rawQuery = "cat";
    query.query_out = "cat";
    query.currentPageNum = 3;
    query.itemsPerPage = 10;
    config.nodeCount = 2;
    config.allVexaNodes = true;
    config.nodes[0].disabled = false;
    config.nodes[1].disabled = false;
  }
  Status Run(int64_t seconds = 1) {
    SearchSteps steps{form, cache, nodes, results, tail, [seconds] { return seconds; }, rules, {}};
    return PerformSearchRequest(query, config, steps, log);
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

  VexaQuery query;
  Config config;
  testing::RecordingLog log;
};

TEST_F(DriverTest, SearchMergesCutsWritesAndStoresTheRequestedPage) {
  nodes.fill = Answer({kOk, kOk}, 3);
  query.currentPageNum = 2;
  query.itemsPerPage = 2;
  EXPECT_EQ(Run(), kOk);
  EXPECT_EQ(nodes.requested, 8);  // factor 2 x page 2 x 2 per page
  EXPECT_EQ(cache.written, 6);
  EXPECT_EQ(cache.writtenAvailable, 200);
  EXPECT_EQ(cache.writtenTitles, (Calls{"0.0", "1.0", "0.1", "1.1", "0.2", "1.2"}));

  ASSERT_EQ(results.writes, 1);
  const ResultPage& page = results.page;
  EXPECT_EQ(page.source, PageSource::kNodes);
  EXPECT_EQ(Titles(page.items), (Calls{"0.1", "1.1"}));
  EXPECT_EQ(page.firstNumber, 3);
  EXPECT_EQ(page.itemCount, 6);
  EXPECT_EQ(page.available, 200);
  EXPECT_TRUE(page.resultsValid);
  EXPECT_FALSE(page.invalid);
  EXPECT_EQ(page.display.searchQuery, "echoed");
  ASSERT_TRUE(page.channels);
  EXPECT_TRUE(page.channels->at(1).valid);
  EXPECT_EQ(page.nodes[1].status, kOk);
  EXPECT_EQ(page.nodes[1].elapsedMs, 11);
  EXPECT_EQ(page.nodes[1].itemsReceived, 3);

  ASSERT_EQ(tail.writes, 1);
  EXPECT_EQ(Titles(tail.page.items), (Calls{"0.1", "1.1"}));
  EXPECT_EQ(tail.outcome.matches, 6);
  EXPECT_FALSE(tail.outcome.readFromCache);
  EXPECT_EQ(tail.outcome.searchSeconds, 0.5) << "the time the page showed";

  EXPECT_EQ(Timers(),
            (Calls{"Main thread: CheckCacheByQueryString", "Main thread: PerformVexaQuery",
                   "Main thread: CheckVexaNodeSettings", "Main thread: ConsolidateResults",
                   "Main thread: DisplayResults", "Main thread: WriteCacheByQueryString"}))
      << "the set is stored once the page is written";
  EXPECT_TRUE(log.Has(kLogInfo, "Checking cache for \"cat\""));
  EXPECT_TRUE(
      log.Has(kLogInfo, "Number of items being queried = 6, available items from all nodes = 200"));
  EXPECT_TRUE(log.Has(kLogInfo, "Writing to cache for \"cat\", number of items being cached = 6"));
}

TEST_F(DriverTest, CacheHitGivesThePageFromTheCacheAndAsksNoNode) {
  cache.found.hit = true;
  cache.found.cachedItems = 40;
  cache.found.cachedAvailable = 123;
  cache.found.page.source = PageSource::kCache;
  cache.found.page.firstNumber = 21;
  for (const char* title : {"a", "b"}) cache.found.page.items.emplace_back().title = title;
  cache.checkStatus = kOk;
  EXPECT_EQ(Run(), kOk);
  EXPECT_EQ(calls, (Calls{"form", "check"}));
  ASSERT_EQ(results.writes, 1);
  EXPECT_EQ(results.page.source, PageSource::kCache);
  EXPECT_EQ(Titles(results.page.items), (Calls{"a", "b"}));
  EXPECT_EQ(results.page.firstNumber, 21);
  EXPECT_EQ(cache.written, -1);
  EXPECT_TRUE(tail.outcome.readFromCache);
  EXPECT_EQ(tail.outcome.matches, 40);
  EXPECT_EQ(Titles(tail.page.items), (Calls{"a", "b"}));
  EXPECT_TRUE(log.Has(kLogInfo, "Num cached items = 40, available items from all nodes = 123"));
  EXPECT_EQ(Timers(), (Calls{"Main thread: CheckCacheByQueryString",
                             "Main thread: DisplayResultsFromCache"}));

  // An invalid page from the cache is written all the same, and its status returned.
  cache.found.hit = true;
  cache.found.page.invalid = true;
  cache.checkStatus = kInvalidPage;
  EXPECT_EQ(Run(), kInvalidPage);
  EXPECT_TRUE(log.Has(kLogInfo, "There are not enough items to display the requested page."));
  EXPECT_EQ(results.writes, 2);
}

TEST_F(DriverTest, PurgeStartsWhenTheSecondsEndIn50) {
  form.answer = kNothingToSearch;
  Run(1234550);
  EXPECT_EQ(calls, (Calls{"purge", "form"}));
  calls.clear();
  Run(1234551);
  EXPECT_EQ(calls, (Calls{"form"}));
}

TEST_F(DriverTest, RefusedFormUnescapedQueryOrHopLimitGiveTheTailAnEmptyPage) {
  form.answer = kNothingToSearch;
  EXPECT_EQ(Run(), kNothingToSearch);
  EXPECT_TRUE(log.Lines().empty());

  // A query that could not be escaped must not reach the cache (its key would
  // be empty and shared) nor the nodes (they would be asked for nothing).
  form.answer = kOk;
  query.escapeFailed = true;
  nodes.fill = Answer({kOk, kOk}, 5);
  EXPECT_EQ(Run(), kOk);
  query.escapeFailed = false;
  query.arrivedHops = kHopLimit;
  EXPECT_EQ(Run(), kOk);
  EXPECT_TRUE(log.Contains("4 or more Quorix instances"));

  EXPECT_EQ(calls, (Calls{"form", "form", "form"}));
  EXPECT_EQ(results.writes, 0);
  EXPECT_EQ(tail.writes, 3);
  EXPECT_TRUE(tail.page.items.empty());
  EXPECT_FALSE(tail.page.channels);
  EXPECT_EQ(tail.outcome.matches, 0);
}

TEST_F(DriverTest, CachingOffAsksForExactlyThePageAndDeletesTheFiles) {
  struct Case {
    CacheDirState state;
    Calls calls;
    bool warned;
  } cases[] = {
      {CacheDirState::kMissing, {"form", "query"}, false},
      {CacheDirState::kWritable, {"form", "delete", "query"}, false},
      {CacheDirState::kNotWritable, {"form", "query"}, true},
  };
  config.cacheValidPeriodMins = 0;
  nodes.fill = Answer({kOk}, 4);
  for (const auto& c : cases) {
    calls.clear();
    cache.dirState = c.state;
    testing::RecordingLog caseLog;
    SearchSteps steps{form, cache, nodes, results, tail, [] { return int64_t{1}; }, rules, {}};
    PerformSearchRequest(query, config, steps, caseLog);
    EXPECT_EQ(calls, c.calls) << static_cast<int>(c.state);
    EXPECT_EQ(nodes.requested, 30);
    EXPECT_EQ(caseLog.Has(kLogInfo,
                          "Caching is off but we have no permission to delete files "
                          "from directory \"cache\""),
              c.warned);
    // The failed deletion's status is kept in the debug file.
    EXPECT_EQ(caseLog.Has(kLogFileOnly,
                          "Main thread: the cache files were not all deleted (status -6010)"),
              c.state == CacheDirState::kWritable);
    EXPECT_EQ(cache.written, -1) << "nothing is cached";
  }
}

TEST_F(DriverTest, CacheCheckStatusesAreReported) {
  cache.checkStatus = kInvalidPage;
  config.nodeCount = 0;
  EXPECT_EQ(Run(), kOk);
  EXPECT_TRUE(log.Has(kLogInfo, "There are not enough items to display the requested page."));
  EXPECT_EQ(calls, (Calls{"form", "check"}));  // no nodes at all
  EXPECT_EQ(results.writes, 0);
  EXPECT_EQ(tail.writes, 1);
}

TEST_F(DriverTest, CacheWithMoreItemsIsNotRewritten) {
  cache.checkStatus = kCacheTooSmall;
  cache.found.cachedItems = 30;
  nodes.fill = Answer({kOk, kOk}, 15);
  Run();
  EXPECT_TRUE(log.Has(kLogInfo, "Not enough items in cache file to display current page"));
  EXPECT_TRUE(log.Has(kLogWarning,
                      "Cache file for \"cat\" contains more items than current query.  Items in "
                      "cache = 30, items queried = 30, No caching done."));
  EXPECT_EQ(cache.written, -1);
  EXPECT_EQ(results.writes, 1);
}

TEST_F(DriverTest, SmallerCacheWithoutTooSmallStatusIsSilentlyKept) {
  cache.found.cachedItems = 30;
  nodes.fill = Answer({kOk}, 10);
  Run();
  EXPECT_EQ(cache.written, -1);
  EXPECT_FALSE(log.Contains("No caching done"));
}

TEST_F(DriverTest, FailedCacheWriteIsKeptInTheDebugFile) {
  cache.writeStatus = kCacheWriteFailed;
  nodes.fill = Answer({kOk}, 10);
  EXPECT_EQ(Run(), kOk);
  EXPECT_TRUE(log.Has(kLogFileOnly, "Main thread: the results were not cached (status -6003)"));
  EXPECT_EQ(results.writes, 1);
}

TEST_F(DriverTest, InvalidResultsAreNotCachedButShown) {
  nodes.fill = Answer({kNodeTimeoutExceeded, kQueryConnectFailed}, 0);
  query.currentPageNum = 1;
  EXPECT_EQ(Run(), kOk);
  EXPECT_EQ(cache.written, -1);
  ASSERT_EQ(results.writes, 1);
  EXPECT_FALSE(results.page.resultsValid);
  EXPECT_EQ(results.page.nodes[0].status, kNodeTimeoutExceeded);
  EXPECT_EQ(results.page.nodes[1].status, kQueryConnectFailed);
}

TEST_F(DriverTest, NoNodeAskedGivesTheTailTheNodesStatuses) {
  config.nodes[1].disabled = true;
  nodes.fill = [](NodeResults& r) { r.status[0] = kNodeBackedOff; };
  EXPECT_EQ(Run(), kOk);
  EXPECT_TRUE(log.Has(kLogWarning, "Node #0 skipped after repeated failures"));
  EXPECT_TRUE(log.Has(kLogInfo, "No slaves enabled."));
  EXPECT_EQ(results.writes, 0);
  ASSERT_EQ(tail.writes, 1);
  EXPECT_EQ(tail.page.nodes[0].status, kNodeBackedOff);
  EXPECT_EQ(tail.page.nodes[1].status, kNodeNotRun);
}

// The results page folds duplicate links and cuts one node's results; the
// machine answers take the set whole.
TEST_F(DriverTest, OutputRulesDecideFoldingAndTheNodeFilter) {
  struct Case {
    const char* name;
    OutputRules rules;
    int32_t mergeDuplicates, nodeFilter;
    int32_t stored;
    Calls shown;
  } cases[] = {
      {"page, merging on", {true, true}, 1, -1, 3, {"0.0", "0.1", "0.2"}},
      {"page, merging off", {true, true}, 0, -1, 6, {"0.0", "1.0", "0.1"}},
      {"page, node 1", {true, true}, 0, 1, 6, {"1.0", "1.1", "1.2"}},
      {"answer", {false, false}, 1, 1, 6, {"0.0", "1.0", "0.1"}},
  };
  for (const auto& c : cases) {
    rules = c.rules;
    config.mergeDuplicates = c.mergeDuplicates;
    query.nodeFilter = c.nodeFilter;
    query.currentPageNum = 1;
    query.itemsPerPage = 3;
    nodes.fill = Answer({kOk, kOk}, 3, /*sameLinks=*/true);
    Run();
    EXPECT_EQ(cache.written, c.stored) << c.name;
    EXPECT_EQ(Titles(results.page.items), c.shown) << c.name;
  }
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
  nodes.fill = Answer({kOk, kQueryNoResponse, kNodeTimeoutExceeded, kFewerItemsThanRequested}, 4);
  Run();
  EXPECT_TRUE(log.Has(kLogError, "Error getting  HTTP response from node #1's query server"));
  EXPECT_FALSE(log.Contains("Node #2"));  // disabled slots are not reported
  EXPECT_TRUE(log.Has(kLogWarning, "Node #3: Did not returned the requested number of items."));
  EXPECT_EQ(cache.written, 8);
}

TEST_F(DriverTest, RequestedCountIsClampedWhenItWouldOverflow) {
  config.overRequestFactor = 1000000;
  query.currentPageNum = 100000;
  query.itemsPerPage = 9;
  Run();
  EXPECT_EQ(nodes.requested, INT32_MAX);
}

TEST_F(DriverTest, MixedConfigurationsScoreOpenSearchItemsInTheMerge) {
  config.allVexaNodes = false;
  nodes.fill = Answer({kOk}, 2);
  Run();
  EXPECT_TRUE(log.Has(kLogDetail, "Node #0, Item #1: vexaScore = 90"));
}

}  // namespace
}  // namespace quorix
