// The search driver: runs one search request's steps in order, from the search
// form to the page tail.
#pragma once

#include <cstdint>
#include <functional>

#include "config/settings.h"
#include "nodequery/records.h"
#include "platform/log.h"
#include "search/query.h"
#include "search/search_steps.h"

namespace quorix {

// The collaborators of one request. None is owned.
struct SearchSteps {
  SearchFormStep& form;
  ResultCacheStep& cache;
  NodeQueryStep& nodes;
  ResultsStep& results;
  PageTailStep& tail;
  // Calendar time in seconds; about one request in a hundred (when it is 50
  // modulo 100) starts the purge of expired cache files.
  std::function<int64_t()> calendarSeconds;
};

// Runs the search: form, cache check, node queries, per-node failure lines,
// merging, display, cache write and page tail. Writes query.readFromCache and
// query.matches on a cache hit. Returns -1 when the form step refused the
// request, kMergeAllocationFailed (without page tail), or else the value of
// DisplayResults (0 on the paths that show no fresh results).
int32_t PerformSearchRequest(VexaQuery& query, const Config& config, SearchSteps& steps,
                             NodeResults& results, LogSink& log);

// The line logged for a failed node and its level; false when the status
// needs no line (1 not run, 0 success).
bool NodeStatusLine(int node, Status status, std::string& line, int& level);

}  // namespace quorix
