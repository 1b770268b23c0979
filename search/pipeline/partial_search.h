// The page deadline: a search that writes its page from the nodes that have
// answered by then, and a partial cache entry that stands for the set until
// the late answers complete it. Private to the pipeline.
#pragma once

#include <cstdint>

#include "config/settings.h"
#include "platform/log.h"
#include "search/pipeline/query.h"
#include "search/pipeline/search_steps.h"

namespace quorix {

// The request's page deadline in NowTicks, counted from its start; 0 when it
// waits for every node (no PageDeadlineMs, or caching off: late answers are
// kept in the cache alone).
int64_t PageDeadlineTicks(const VexaQuery& query, const Config& config, bool cachingOn);

// The mark of a partial entry whose `pending` nodes are still answering: it
// is due when the slowest of them has used its time-out twice (a description
// document, then the query) and a second more.
PartialMark PartialMarkOf(const Config& config, uint64_t pending, int64_t nowEpochMs);

// Looks for the query's partial entry. When it is there and not yet due,
// waits up to `deadlineTicks` for the complete entry, and fills `lookup` with
// the complete entry's page when it came, else the partial page with its
// pending nodes marked kNodePending. False, with nothing waited for, when no
// usable partial entry answers the request.
bool LookUpPartialEntry(const VexaQuery& query, int64_t deadlineTicks, ResultCacheStep& cache,
                        LogSink& log, CacheLookup* lookup);

// Marks the nodes of `pending` as still answering on `page`.
void MarkPending(uint64_t pending, ResultPage& page);

}  // namespace quorix
