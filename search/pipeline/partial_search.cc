#include "search/pipeline/partial_search.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/clock.h"

namespace quorix {
namespace {

// How often a request that found a partial entry looks for the complete one.
constexpr int64_t kCompletionPollMs = 50;

bool Due(const PartialMark& mark) { return mark.dueEpochMs <= EpochMs(); }

// Waits until `deadlineTicks` or the mark's due time for the complete entry.
bool WaitForCompleteEntry(const VexaQuery& query, int64_t deadlineTicks, const PartialMark& mark,
                          ResultCacheStep& cache) {
  while (NowTicks() < deadlineTicks && !Due(mark)) {
    int64_t leftMs = (deadlineTicks - NowTicks()) / TicksPerMs();
    std::this_thread::sleep_for(
        std::chrono::milliseconds(std::clamp<int64_t>(leftMs, 1, kCompletionPollMs)));
    if (cache.HoldsCompleteEntry(query)) return true;
  }
  return false;
}

}  // namespace

int64_t PageDeadlineTicks(const VexaQuery& query, const Config& config, bool cachingOn) {
  if (!cachingOn || config.pageDeadlineMs <= 0) return 0;
  const int64_t start = query.startTicks != 0 ? query.startTicks : NowTicks();
  return start + int64_t{config.pageDeadlineMs} * TicksPerMs();
}

PartialMark PartialMarkOf(const Config& config, uint64_t pending, int64_t nowEpochMs) {
  int64_t longest = 0;
  for (int n = 0; n < std::min(config.nodeCount, kMaxNodes); ++n)
    if ((pending >> n) & 1) longest = std::max<int64_t>(longest, config.nodes[n].timeoutMs);
  return {pending, nowEpochMs + 2 * longest + 1000};
}

bool LookUpPartialEntry(const VexaQuery& query, int64_t deadlineTicks, ResultCacheStep& cache,
                        LogSink& log, CacheLookup* lookup) {
  CacheLookup partial;
  Status status = cache.CheckPartialEntry(query, &partial);
  if (!partial.hit || (status != kOk && status != kInvalidPage) || Due(partial.partial))
    return false;
  if (WaitForCompleteEntry(query, deadlineTicks, partial.partial, cache)) {
    status = cache.CheckCacheByQueryString(query, lookup);
    if (lookup->hit) return true;
  }
  log.Logf(kLogInfo, "Showing the partial set of \"%s\": some nodes are still answering",
           query.rawQuery.c_str());
  MarkPending(partial.partial.pendingNodes, partial.page);
  *lookup = std::move(partial);
  return true;
}

void MarkPending(uint64_t pending, ResultPage& page) {
  for (int n = 0; n < kMaxNodes; ++n)
    if ((pending >> n) & 1) page.nodes[n].status = kNodePending;
}

}  // namespace quorix
