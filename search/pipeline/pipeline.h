// The search pipeline: what the rest of the program takes from search/pipeline.
// The driver runs one search request as a straight line over values: the
// query is looked up in the cache, or the nodes are asked and their answers
// merged, stored and cut into the requested page; the page is written, then
// the page tail. The steps it drives (search_steps.h) and the values they
// pass (result_set.h, query.h) come with this header.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "config/settings.h"
#include "platform/log.h"
#include "search/pipeline/node_query_log.h"
#include "search/pipeline/query.h"
#include "search/pipeline/search_steps.h"

namespace quorix {

// A search whose page went out before every node had answered: the nodes'
// results as the page deadline left them, and the nodes still answering.
struct PendingSearch {
  std::shared_ptr<NodeResults> nodes;
  std::unique_ptr<LateAnswers> late;
};

// The collaborators of one request. None is owned.
struct SearchSteps {
  SearchFormStep& form;
  ResultCacheStep& cache;
  NodeQueryStep& nodes;
  ResultsStep& results;
  PageTailStep& tail;
  // Calendar time in seconds; about one request in a hundred (when it is 50
  // modulo 100) starts the purge of expired cache files. Null: the clock.
  std::function<int64_t()> calendarSeconds;
  OutputRules rules;
  // Takes a search to be completed once the page is out (PageDeadlineMs);
  // without it the nodes still answering are dropped.
  std::function<void(PendingSearch&&)> handOff;
};

// Runs the search: form, cache look-up or node queries, per-node failure
// lines, merging, cache write, the page and the page tail. Returns the form's
// kNothingToSearch, kMergeAllocationFailed (without page tail), or else the
// page writer's status (kOk on the paths that write no page).
Status PerformSearchRequest(const VexaQuery& query, const Config& config, SearchSteps& steps,
                            LogSink& log);

// Completes a search handed off by PerformSearchRequest: waits for the nodes
// still answering, merges every answer as a fresh search would and replaces
// the query's partial cache entry with the complete set. Returns the merge's
// or the cache write's status.
Status CompleteSearch(PendingSearch& pending, const VexaQuery& query, const Config& config,
                      const OutputRules& rules, ResultCacheStep& cache, LogSink& log);

// The line logged for a failed node and its level; false when the status
// needs no line (1 not run, 0 success).
bool NodeStatusLine(int node, Status status, std::string& line, int& level);

}  // namespace quorix
