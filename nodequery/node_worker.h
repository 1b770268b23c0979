// One node's query: the work of a node worker, run on the worker's thread by
// the dispatch or directly by the control panel's verification.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "config/settings.h"
#include "nodequery/node_query_options.h"
#include "nodequery/node_request.h"
#include "nodequery/records.h"
#include "platform/log.h"
#include "platform/status.h"

namespace quorix {

// Everything a worker reads besides its node's settings. The dispatch gives each
// worker its own copy, so a worker never reaches back into its caller's data.
struct NodeJob {
  int node = 0;
  int32_t requested = 0;
  bool useCats = false;
  bool searchMultiCats = false;
  NodeQueryRequest request;
  NodeQueryOptions options;
  // Called once the query URL is known, just before the query itself is
  // built and sent: whoever watches the node's time-out measures it again
  // from here, so fetching a description document does not eat into the
  // query's time. May be empty.
  std::function<void()> onQueryStart;
};

// Queries node job.node, whose settings are `node`: resolves its query URL,
// sends one GET within the node's time-out, keeps what it finds out in `run`
// (which it starts afresh: query URL, requestPath, the answer's body, the
// template's capabilities) and parses the answer into `channel`
// (which must be fresh) and `totals`. Returns 0, -9000 (done, but
// fewer items than asked for) or a node error code. Once `cancel` is set the
// transfer in progress ends as soon as possible.
Status QuerySlaves(const NodeJob& job, const NodeRecord& node, NodeRun& run, Channel& channel,
                   NodeTotals& totals, LogSink& log, const std::atomic<bool>* cancel = nullptr);

}  // namespace quorix
