#include <algorithm>
#include <ctime>

#include "platform/clock.h"
#include "platform/text.h"
#include "search/pipeline/consolidate.h"
#include "search/pipeline/node_query_log.h"
#include "search/pipeline/partial_search.h"
#include "search/pipeline/pipeline.h"

namespace quorix {
namespace {

constexpr const char* kCacheDirectory = "cache";

struct NodeMessage {
  Status status;
  const char* format;
  int level;
};

constexpr NodeMessage kNodeMessages[] = {
    {kDescUrlEmpty, "Node #%d's OpenSearch Description file URL is empty", kLogError},
    {kDescConnectFailed, "Error connecting to node #%d's OpenSearch Description file server",
     kLogError},
    {kDescSendFailed,
     "Error sending HTTP GET request to node #%d's OpenSearch Description file server", kLogError},
    {kDescNoResponse, "Error getting HTTP response from node #%d's OpenSearch Description file",
     kLogError},
    {kQuerySyntaxUnsupported, "Node #%d's OpenSearch query syntax is unsupported", kLogError},
    {kDescNotRecognised,
     "Node #%d's OpenSearch Description did not return a recognised OpenSearch Description file "
     "format",
     kLogError},
    {kQueryUrlEmpty, "Node #%d's query server's URL is empty", kLogError},
    {kQueryConnectFailed, "Error connecting to node #%d's query server", kLogError},
    {kQueryUrlTooLong, "Node #%d could not be asked: the query makes its URL too long", kLogError},
    {kQuerySendFailed, "Error sending HTTP GET request to node #%d's query  server", kLogError},
    {kQueryNoResponse, "Error getting  HTTP response from node #%d's query server", kLogError},
    {kResponseNotRecognised,
     "Node #%d's query server did not return a recognised VexaSearchResponse/OpenSearchResponse "
     "format",
     kLogError},
    {kNodeLeadsToSelf, "Node #%d leads back to this search", kLogError},
    {kNodeTimeoutZero, "Node #%d's timeout value is zero", kLogError},
    {kNodeTimeoutExceeded, "Node #%d timeout exceeded", kLogError},
    {kWorkerStartFailed, "Node #%d could not be asked: no thread for its query", kLogError},
    {kNodeBackedOff, "Node #%d skipped after repeated failures", kLogWarning},
    {kNodePending, "Node #%d is still answering: its results are kept for the next pages",
     kLogInfo},
    {kFewerItemsThanRequested, "Node #%d: Did not returned the requested number of items.",
     kLogWarning},
};

// a x b x c, clamped to the 32-bit range (settings and request values are
// not bounded, so the product may not fit).
int32_t ClampedProduct(int64_t a, int64_t b, int64_t c) {
  __int128 product = static_cast<__int128>(a) * b * c;
  if (product > INT32_MAX) return INT32_MAX;
  if (product < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(product);
}

void LogNodeFailures(const Config& config, const NodeResults& results, LogSink& log) {
  int count = std::min(config.nodeCount, kMaxNodes);
  for (int node = 0; node < count; ++node) {
    if (config.nodes[node].disabled) continue;
    std::string line;
    int level = kLogError;
    if (NodeStatusLine(node, results.status[node], line, level)) log.Write(level, line);
  }
}

// The skip lines of paused nodes, when no node was asked at all.
void LogSkippedNodes(const Config& config, const NodeResults& results, LogSink& log) {
  for (int node = 0; node < std::min(config.nodeCount, kMaxNodes); ++node) {
    std::string line;
    int level = kLogError;
    if (results.status[node] == kNodeBackedOff && NodeStatusLine(node, kNodeBackedOff, line, level))
      log.Write(level, line);
  }
}

// Whether this request uses the cache, and how many items each node is asked for.
struct CachePlan {
  bool cachingOn = false;
  int32_t requested = 0;
};

CachePlan PlanCache(const VexaQuery& query, const Config& config) {
  if (config.cacheValidPeriodMins == 0)
    return {false, ClampedProduct(1, query.currentPageNum, query.itemsPerPage)};
  return {true, ClampedProduct(config.overRequestFactor, query.currentPageNum, query.itemsPerPage)};
}

// Caching is off: no file may outlive the setting.
void ClearCache(ResultCacheStep& cache, LogSink& log) {
  switch (cache.CacheDirectoryState()) {
    case CacheDirState::kWritable:
      if (Status status = cache.DeleteCacheByQueryString(); status != kOk)
        log.Logf(kLogFileOnly, "Main thread: the cache files were not all deleted (status %d)",
                 status);
      break;
    case CacheDirState::kNotWritable:
      log.Logf(kLogInfo,
               "Caching is off but we have no permission to delete files from directory \"%s\"",
               kCacheDirectory);
      break;
    case CacheDirState::kMissing:
      break;
  }
}

// Clears the cache when caching is off, else looks the request up. Returns the
// look-up's status (kOk when caching is off).
Status UseCache(const VexaQuery& query, const CachePlan& plan, ResultCacheStep& cache, LogSink& log,
                CacheLookup* lookup) {
  if (!plan.cachingOn) {
    ClearCache(cache, log);
    return kOk;
  }
  Status status = kOk;
  {
    ScopedTimer timer(log, kMainThreadTimerSlot, "Main thread: CheckCacheByQueryString");
    status = cache.CheckCacheByQueryString(query, lookup);
  }
  if (status == kCacheTooSmall)
    log.Logf(kLogInfo, "Not enough items in cache file to display current page");
  else if (status == kInvalidPage)
    log.Logf(kLogInfo, "There are not enough items to display the requested page.");
  return status;
}

ResultPage TakeCachedPage(CacheLookup& cached, LogSink& log, RequestOutcome* outcome) {
  log.Logf(kLogInfo, "Num cached items = %lld, available items from all nodes = %lld",
           static_cast<long long>(cached.cachedItems),
           static_cast<long long>(cached.cachedAvailable));
  outcome->readFromCache = true;
  outcome->matches =
      static_cast<int32_t>(std::clamp<int64_t>(cached.cachedItems, INT32_MIN, INT32_MAX));
  return std::move(cached.page);
}

// Asks the nodes (until `deadlineTicks` when it is not 0, leaving the nodes
// still answering in `late`) and compares the settings they report. False,
// after the lines that say why, when no node could be asked.
bool AskNodes(const Config& config, int32_t requested, int64_t deadlineTicks, NodeQueryStep& nodes,
              LogSink& requestLog, ResultSet* set, std::unique_ptr<LateAnswers>* late) {
  NodeResults& results = *set->nodes;
  NodeQueryLog log(requestLog, config);
  {
    ScopedTimer timer(log, kMainThreadTimerSlot, "Main thread: PerformVexaQuery");
    if (deadlineTicks != 0)
      *late = nodes.PerformVexaQueryBy(deadlineTicks, config, requested, results);
    else
      nodes.PerformVexaQuery(config, requested, results);
  }
  log.Logf(kLogInfo, "Number of items being queried = %d, available items from all nodes = %d",
           results.totals.queriedItems, results.totals.availableItems);
  if (results.startedWorkers == 0) {
    LogSkippedNodes(config, results, log);
    log.Logf(kLogInfo, "No slaves enabled.");
    return false;
  }
  {
    ScopedTimer timer(log, kMainThreadTimerSlot, "Main thread: CheckVexaNodeSettings");
    // A mismatch is logged by the check itself, as an error line.
    nodes.CheckVexaNodeSettings(config, results, set->display);
  }
  LogNodeFailures(config, results, log);
  return true;
}

Status Merge(const VexaQuery& query, const Config& config, const OutputRules& rules, ResultSet* set,
             LogSink& log, bool keepNodeItems = false) {
  ScopedTimer timer(log, kMainThreadTimerSlot, "Main thread: ConsolidateResults");
  MergeOptions options{query.sortDate, rules.foldDuplicates && config.mergeDuplicates == 1,
                       keepNodeItems};
  return MergeResults(config, options, set, log);
}

Status TimedCacheWrite(ResultCacheStep& cache, const ResultSet& set, LogSink& log) {
  ScopedTimer timer(log, kMainThreadTimerSlot, "Main thread: WriteCacheByQueryString");
  return cache.WriteCacheByQueryString(set);
}

// Writes the set to the cache unless its file already holds as many items.
void Store(const VexaQuery& query, const ResultSet& set, const CacheLookup& cached,
           Status lookupStatus, ResultCacheStep& cache, LogSink& log) {
  if (cached.cachedItems < set.itemCount) {
    log.Logf(kLogInfo, "Writing to cache for \"%s\", number of items being cached = %d",
             query.rawQuery.c_str(), set.itemCount);
    Status status = TimedCacheWrite(cache, set, log);
    if (status != kOk)
      log.Logf(kLogFileOnly, "Main thread: the results were not cached (status %d)", status);
  } else if (lookupStatus == kCacheTooSmall) {
    log.Logf(kLogWarning,
             "Cache file for \"%s\" contains more items than current query.  Items in cache = "
             "%lld, items queried = %d, No caching done.",
             query.rawQuery.c_str(), static_cast<long long>(cached.cachedItems), set.itemCount);
  }
}

// A set with a node's partial answer (a federating node whose own sources
// were still answering) is kept as a partial entry for about the page
// deadline: a later request asks that node again for its complete answer.
void StorePartialAnswers(const Config& config, const ResultSet& set, uint64_t inPart,
                         ResultCacheStep& cache, LogSink& log) {
  const PartialMark mark{inPart, EpochMs() + std::max(config.pageDeadlineMs, 1000)};
  if (Status status = cache.WritePartialEntry(set, mark); status != kOk)
    log.Logf(kLogFileOnly, "Main thread: the partial results were not cached (status %d)", status);
}

PageSpec PageSpecOf(const VexaQuery& query, const OutputRules& rules) {
  return {query.currentPageNum, query.itemsPerPage, rules.filterByNode ? query.nodeFilter : -1};
}

Status WritePage(const ResultPage& page, const char* timerLabel, ResultsStep& results, LogSink& log,
                 RequestOutcome* outcome) {
  ScopedTimer timer(log, kMainThreadTimerSlot, timerLabel);
  return results.WriteResults(page, outcome);
}

// The page of a search some of whose nodes are still answering: merged from
// copies of the answers so far, written, and kept as the query's partial
// entry; the search goes to `steps.handOff` to be completed.
Status WritePartialSearch(const VexaQuery& query, const Config& config, SearchSteps& steps,
                          LogSink& log, PendingSearch pending, ResultPage* page,
                          RequestOutcome* outcome) {
  ResultSet set;
  set.nodes = pending.nodes;
  Status status = Merge(query, config, steps.rules, &set, log, true);
  if (status != kOk) return status;
  *page = CutPage(set, PageSpecOf(query, steps.rules));
  status = WritePage(*page, "Main thread: DisplayResults", steps.results, log, outcome);
  const uint64_t pendingNodes = pending.late->PendingMask();
  Status written =
      steps.cache.WritePartialEntry(set, PartialMarkOf(config, pendingNodes, EpochMs()));
  if (written != kOk)
    log.Logf(kLogFileOnly, "Main thread: the partial results were not cached (status %d)", written);
  if (steps.handOff)
    steps.handOff(std::move(pending));
  else
    pending.late->Drop(*pending.nodes, log);
  return status;
}

// Looks the query up in the cache or asks the nodes, merges their answers,
// cuts the page out of the set, writes it and stores the set. `page` is left
// holding what the page tail is to see.
Status Search(const VexaQuery& query, const Config& config, SearchSteps& steps, LogSink& log,
              ResultPage* page, RequestOutcome* outcome) {
  log.Logf(kLogInfo, "Checking cache for \"%s\"", query.rawQuery.c_str());
  const CachePlan plan = PlanCache(query, config);
  CacheLookup cached;
  const Status lookupStatus = UseCache(query, plan, steps.cache, log, &cached);
  const int64_t deadline = PageDeadlineTicks(query, config, plan.cachingOn);
  if (!cached.hit && deadline != 0 && config.nodeCount != 0)
    LookUpPartialEntry(query, deadline, steps.cache, log, &cached);
  if (cached.hit) {
    *page = TakeCachedPage(cached, log, outcome);
    return WritePage(*page, "Main thread: DisplayResultsFromCache", steps.results, log, outcome);
  }
  if (config.nodeCount == 0) return kOk;

  ResultSet set;
  std::unique_ptr<LateAnswers> late;
  if (!AskNodes(config, plan.requested, deadline, steps.nodes, log, &set, &late)) {
    page->nodes = NodeOutcomesOf(*set.nodes);  // the machine answers list the skipped nodes
    return kOk;
  }
  outcome->matches = set.nodes->totals.queriedItems;
  if (late)
    return WritePartialSearch(query, config, steps, log, {set.nodes, std::move(late)}, page,
                              outcome);
  Status status = Merge(query, config, steps.rules, &set, log);
  if (status != kOk) return status;
  *page = CutPage(set, PageSpecOf(query, steps.rules));
  status = WritePage(*page, "Main thread: DisplayResults", steps.results, log, outcome);
  // Stored once the page is out, so that the visitor never waits for the disk
  // and the cache's lines follow the results.
  if (!plan.cachingOn || !set.nodes->totals.resultsValid) return status;
  if (uint64_t inPart = NodesAnsweredInPart(*set.nodes); inPart != 0)
    StorePartialAnswers(config, set, inPart, steps.cache, log);
  else
    Store(query, set, cached, lookupStatus, steps.cache, log);
  return status;
}

bool ArrivedAtHopLimit(const VexaQuery& query, LogSink& log) {
  if (query.arrivedHops < kHopLimit) return false;
  log.Logf(kLogWarning,
           "The request arrived through %d or more Quorix instances: answered with no results, "
           "as a search node list that leads back here would never end",
           kHopLimit);
  return true;
}

}  // namespace

bool NodeStatusLine(int node, Status status, std::string& line, int& level) {
  if (status == kOk || status == kNodeNotRun) return false;
  for (const NodeMessage& message : kNodeMessages) {
    if (message.status == status) {
      line = Format(message.format, node);
      level = message.level;
      return true;
    }
  }
  line = Format("Node #%d error.  Error code: %d", node, status);
  level = kLogError;
  return true;
}

Status CompleteSearch(PendingSearch& pending, const VexaQuery& query, const Config& config,
                      const OutputRules& rules, ResultCacheStep& cache, LogSink& log) {
  pending.late->Collect(*pending.nodes, log);
  LogNodeFailures(config, *pending.nodes, log);
  ResultSet set;
  set.nodes = pending.nodes;
  Status status = Merge(query, config, rules, &set, log);
  if (status == kOk && set.nodes->totals.resultsValid) {
    log.Logf(kLogInfo, "Completing the cache for \"%s\", number of items being cached = %d",
             query.rawQuery.c_str(), set.itemCount);
    status = TimedCacheWrite(cache, set, log);
  }
  // Also when the complete set could not be written: the partial one must
  // not stand for it.
  cache.DeletePartialEntry();
  return status;
}

Status PerformSearchRequest(const VexaQuery& query, const Config& config, SearchSteps& steps,
                            LogSink& log) {
  int64_t now = steps.calendarSeconds ? steps.calendarSeconds() : std::time(nullptr);
  if (now % 100 == 50) steps.cache.StartExpiredPurge();

  ResultPage page;  // no results until the search makes its page
  RequestOutcome outcome;
  Status status = steps.form.DisplaySearchForm(config, query);
  if (status == kOk && !query.escapeFailed && !ArrivedAtHopLimit(query, log))
    status = Search(query, config, steps, log, &page, &outcome);
  // Results that could not even be merged get no page tail.
  if (status != kMergeAllocationFailed) steps.tail.WritePageTail(page, outcome);
  return status;
}

}  // namespace quorix
