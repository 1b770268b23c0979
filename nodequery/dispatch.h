// Asking every configured node at once: one worker thread per usable node,
// each bounded by its node's time-out.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include "config/settings.h"
#include "nodequery/node_query_options.h"
#include "nodequery/node_request.h"
#include "nodequery/records.h"
#include "platform/log.h"
#include "platform/status.h"

namespace quorix {

inline constexpr int32_t kMaxRequestedItems = 1000;

using DispatchOptions = NodeQueryOptions;

// Looks at node slots 0 .. nodeCount - 1 and starts a worker for every
// enabled node with a URL and a non-zero time-out, asking it for `requested`
// items (at most 1000). Returns once every worker has finished or passed its
// node's time-out; the calling thread sleeps meanwhile. Writes results.status
// for every slot looked at, results.startedWorkers, and, for workers that
// finished in time, results.channels, results.runs and results.totals. The time-out runs from the
// worker's start and once more from the start of its query (after a description document was read).
// A worker past its time-out gets -5001; it is cancelled and left to end on its own, and nothing it
// does afterwards reaches `results` or `log`; it works on its own copy of its node's settings.
void PerformVexaQuery(const Config& config, const NodeQueryRequest& request, int32_t requested,
                      NodeResults& results, LogSink& log, const DispatchOptions& options = {});

// Joins the workers given up at their time-out that have ended by now or end
// within `wait`; returns how many are still running. Each dispatch joins the
// ones that have ended; a program that wants none left behind waits here.
// The nodes still answering when a search's page deadline passed: their
// workers go on, and their answers are collected after the page is out.
class LateNodeAnswers {
 public:
  struct Pending;
  explicit LateNodeAnswers(std::unique_ptr<Pending> pending);
  // Cancels the workers not collected or dropped.
  ~LateNodeAnswers();
  LateNodeAnswers(const LateNodeAnswers&) = delete;
  LateNodeAnswers& operator=(const LateNodeAnswers&) = delete;

  // Bit n: node n is still answering.
  uint64_t PendingMask() const;
  // Waits for every pending node up to its own time-out and publishes the
  // answers that came in time into `results` (the request's results as the
  // deadline left them; the others get -5001), then records the outcome of
  // every node the request asked with `backoff` (null: none).
  void Collect(NodeResults& results, NodeBackoff* backoff, LogSink& log);
  // Gives the pending nodes up without waiting; records the outcome of the
  // nodes that answered by the deadline alone.
  void Drop(const NodeResults& results, NodeBackoff* backoff, LogSink& log);

 private:
  std::unique_ptr<Pending> pending_;
};

// PerformVexaQuery that returns at `pageDeadline` when nodes are still
// within their time-outs: they get kNodePending in results.status, and `late`
// holds them (left null when every node was done by then). The back-off of
// such a request is recorded when `late` is collected or dropped.
void PerformVexaQueryBy(std::chrono::steady_clock::time_point pageDeadline, const Config& config,
                        const NodeQueryRequest& request, int32_t requested, NodeResults& results,
                        LogSink& log, const DispatchOptions& options,
                        std::unique_ptr<LateNodeAnswers>* late);

int JoinAbandonedWorkers(std::chrono::milliseconds wait);

// Queries node `n` directly on the calling thread, bounded only by the
// transfer limits derived from its time-out (the control panel's
// verification). Resets results.channels[n] and results.runs[n], stores the
// result in results.status[n], merges the node's totals and returns the result.
Status QueryNode(const Config& config, int n, const NodeQueryRequest& request, int32_t requested,
                 NodeResults& results, LogSink& log, const DispatchOptions& options = {});

}  // namespace quorix
