// Pausing nodes that keep failing. The record of consecutive failures and
// pauses is shared by every search process through a small state file, so a
// dead node costs its time-out only until the pause starts.
//
// A failure that the query itself may have caused (a time-out, an error or
// unusable answer, a transfer that broke off) counts toward a pause only once
// the run of failures holds kBackoffDistinctQueries distinct queries and spans
// kBackoffFailureSpanSecs: one visitor's expensive query, asked many times at
// once, pauses no node. Failures before the query is sent (the description
// document, a refused address) count alone.
//
// State file: one line per paused or failing node,
//   "<slot> <failures> <pause seconds> <paused until> since=<first failure>
//    unreachable=<failures before the query> queries=<hex>,... <node URL>",
// rewritten whole as one atomic step of the shared store (see
// platform/shared_store.h): in files, a temporary file of a fresh name renamed
// over the state file while holding an exclusive flock on the lock file beside it.
// Lines without the named fields (older files) are read too.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "config/settings.h"
#include "nodequery/records.h"
#include "platform/log.h"
#include "platform/shared_store.h"
#include "platform/status.h"

namespace quorix {

struct BackoffTable;

// The record's name in the shared store (the files node_backoff.state and
// node_backoff.lock in the file store).
inline constexpr const char* kBackoffRecord = "node_backoff";
inline constexpr int64_t kBackoffMaxPauseSecs = 15 * 60;
inline constexpr int kBackoffDistinctQueries = 3;
inline constexpr int64_t kBackoffFailureSpanSecs = 30;

struct BackoffPolicy {
  int32_t failures = 3;        // consecutive failures that start the first pause
  int64_t firstPauseSecs = 0;  // 0: never pause
};

// What the back-off decided for one request.
struct BackoffDecision {
  std::array<bool, kMaxNodes> skip{};   // the node is paused: not asked
  std::array<bool, kMaxNodes> probe{};  // the node's pause is over: this request tries it
  std::array<bool, kMaxNodes> asked{};  // set by the caller: the node got a worker
};

class NodeBackoff {
 public:
  // The record is kept in `store`; `now` gives calendar seconds.
  NodeBackoff(SharedStore& store, BackoffPolicy policy, std::function<int64_t()> now);

  // Decides which of the nodes in slots 0 .. nodeCount - 1 are skipped. A node
  // whose pause has ended is tried by this request alone: until its answer is
  // recorded (or its time-out plus a second has passed) the others skip it.
  // Returns 0, or a failure code (with a warning logged) when the state files
  // cannot be used; nothing is skipped then.
  Status Decide(const Config& config, BackoffDecision& decision, LogSink& log);

  // Records the outcome of every node marked as asked for the request's
  // `query`: a success clears the node's record; a failure counts, and starts
  // a pause once the policy's count and the rule above are met, doubling the
  // last one up to kBackoffMaxPauseSecs. A failed try after a pause doubles it
  // when the failure came before the query was sent; otherwise the node is
  // asked again until the rule is met anew.
  Status Record(const Config& config, std::string_view query,
                const std::array<Status, kMaxNodes>& status, const BackoffDecision& decision,
                LogSink& log);

 private:
  // Runs `change` on the table under the lock; writes the file back when it
  // returns true.
  Status Update(const std::function<bool(BackoffTable&)>& change, LogSink& log);

  SharedStore& store_;
  BackoffPolicy policy_;
  std::function<int64_t()> now_;
};

// The URL a node is known by in the state file (a changed URL starts afresh):
// spaces and control characters escaped, a very long one cut and marked with
// a fingerprint of the whole.
std::string BackoffNodeUrl(const NodeRecord& node);

}  // namespace quorix
