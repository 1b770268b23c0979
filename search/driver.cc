#include "search/driver.h"

#include <algorithm>
#include <ctime>
#include <new>

#include "platform/text.h"

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

// Sets `requested` and `cachingOn`, purging or checking the cache. Returns the
// cache check's status (0 when caching is off).
Status PrepareCache(const VexaQuery& query, const Config& config, ResultCacheStep& cache,
                    LogSink& log, int32_t& requested, bool& cachingOn) {
  if (config.cacheValidPeriodMins == 0) {
    requested = ClampedProduct(1, query.currentPageNum, query.itemsPerPage);
    cachingOn = false;
    switch (cache.CacheDirectoryState()) {
      case CacheDirState::kWritable:
        cache.DeleteCacheByQueryString();
        break;
      case CacheDirState::kNotWritable:
        log.Logf(kLogInfo,
                 "Caching is off but we have no permission to delete files from directory \"%s\"",
                 kCacheDirectory);
        break;
      case CacheDirState::kMissing:
        break;
    }
    return kOk;
  }
  requested = ClampedProduct(config.overRequestFactor, query.currentPageNum, query.itemsPerPage);
  cachingOn = true;
  log.TimerStart(kMainThreadTimerSlot);
  Status status = cache.CheckCacheByQueryString(query);
  log.TimerStop(kMainThreadTimerSlot, "Main thread: CheckCacheByQueryString");
  if (status == kCacheTooSmall)
    log.Logf(kLogInfo, "Not enough items in cache file to display current page");
  else if (status == kInvalidPage)
    log.Logf(kLogInfo, "There are not enough items to display the requested page.");
  return status;
}

int32_t ShowFromCache(VexaQuery& query, SearchSteps& steps, LogSink& log) {
  log.Logf(kLogInfo, "Num cached items = %lld, available items from all nodes = %lld",
           static_cast<long long>(steps.cache.cachedItems()),
           static_cast<long long>(steps.cache.cachedAvailable()));
  query.readFromCache = true;
  query.matches =
      static_cast<int32_t>(std::clamp<int64_t>(steps.cache.cachedItems(), INT32_MIN, INT32_MAX));
  log.TimerStart(kMainThreadTimerSlot);
  steps.cache.DisplayResultsFromCache();
  log.TimerStop(kMainThreadTimerSlot, "Main thread: DisplayResultsFromCache");
  steps.tail.WritePageTail();
  return 0;
}

void WriteCacheIfUseful(const VexaQuery& query, SearchSteps& steps, const ItemList& merged,
                        const RequestTotals& totals, bool cacheTooSmall, LogSink& log) {
  if (steps.cache.cachedItems() < totals.queriedItems) {
    log.Logf(kLogInfo, "Writing to cache for \"%s\", number of items being cached = %d",
             query.rawQuery.c_str(), totals.queriedItems);
    log.TimerStart(kMainThreadTimerSlot);
    steps.cache.WriteCacheByQueryString(merged, totals.queriedItems);
    log.TimerStop(kMainThreadTimerSlot, "Main thread: WriteCacheByQueryString");
  } else if (cacheTooSmall) {
    log.Logf(kLogWarning,
             "Cache file for \"%s\" contains more items than current query.  Items in cache = "
             "%lld, items queried = %d, No caching done.",
             query.rawQuery.c_str(), static_cast<long long>(steps.cache.cachedItems()),
             totals.queriedItems);
  }
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

int32_t PerformSearchRequest(VexaQuery& query, const Config& config, SearchSteps& steps,
                             NodeResults& results, LogSink& log) {
  int64_t now = steps.calendarSeconds ? steps.calendarSeconds() : std::time(nullptr);
  if (now % 100 == 50) steps.cache.StartExpiredPurge();

  int formStatus = steps.form.DisplaySearchForm(config, query);
  if (formStatus != 0) {
    steps.tail.WritePageTail();
    return formStatus;
  }
  if (query.escapeFailed || ArrivedAtHopLimit(query, log)) {
    steps.tail.WritePageTail();
    return 0;
  }

  log.Logf(kLogInfo, "Checking cache for \"%s\"", query.rawQuery.c_str());
  int32_t requested = 0;
  bool cachingOn = false;
  Status cacheStatus = PrepareCache(query, config, steps.cache, log, requested, cachingOn);
  bool cacheTooSmall = cachingOn && cacheStatus == kCacheTooSmall;
  if (cachingOn && steps.cache.cacheHit()) return ShowFromCache(query, steps, log);

  if (config.nodeCount == 0) {
    steps.tail.WritePageTail();
    return 0;
  }

  log.TimerStart(kMainThreadTimerSlot);
  steps.nodes.PerformVexaQuery(config, requested, results);
  log.TimerStop(kMainThreadTimerSlot, "Main thread: PerformVexaQuery");
  const RequestTotals& totals = results.totals;
  log.Logf(kLogInfo, "Number of items being queried = %d, available items from all nodes = %d",
           totals.queriedItems, totals.availableItems);
  if (results.startedWorkers == 0) {
    LogSkippedNodes(config, results, log);
    log.Logf(kLogInfo, "No slaves enabled.");
    steps.tail.WritePageTail();
    return 0;
  }

  log.TimerStart(kMainThreadTimerSlot);
  steps.nodes.CheckVexaNodeSettings(config, results);
  log.TimerStop(kMainThreadTimerSlot, "Main thread: CheckVexaNodeSettings");
  LogNodeFailures(config, results, log);

  ItemList merged;
  if (totals.queriedItems > 0) {
    try {
      merged.reserve(static_cast<size_t>(totals.queriedItems));
    } catch (const std::bad_alloc&) {
      log.Logf(kLogInfo, "Error allocating memory in %s(%d)\n", "Quorix::PerformSearchRequest",
               1578);
      return kMergeAllocationFailed;
    }
  }

  log.TimerStart(kMainThreadTimerSlot);
  steps.results.ConsolidateResults(results, query.sortDate, merged);
  log.TimerStop(kMainThreadTimerSlot, "Main thread: ConsolidateResults");

  log.TimerStart(kMainThreadTimerSlot);
  int32_t displayed =
      steps.results.DisplayResults(config.nodeCount, results.channels, merged,
                                   totals.availableItems, totals.queriedItems, false);
  log.TimerStop(kMainThreadTimerSlot, "Main thread: DisplayResults");

  if (cachingOn && totals.resultsValid)
    WriteCacheIfUseful(query, steps, merged, totals, cacheTooSmall, log);

  merged.clear();
  steps.tail.WritePageTail();
  return displayed;
}

}  // namespace quorix
