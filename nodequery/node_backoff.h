// Pausing nodes that keep failing. The record of consecutive failures and
// pauses is shared by every search process through a small state file, so a
// dead node costs its time-out only until the pause starts.
//
// State file: one line per paused or failing node,
//   "<slot> <failures> <pause seconds> <paused until> <node URL>",
// rewritten whole (temporary file, then rename) while holding an exclusive
// flock on the lock file beside it; readers take the same lock.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "config/settings.h"
#include "nodequery/records.h"
#include "platform/log.h"
#include "platform/status.h"

namespace quorix {

inline constexpr const char* kBackoffStateFile = "node_backoff.state";
inline constexpr const char* kBackoffLockFile = "node_backoff.lock";
inline constexpr int64_t kBackoffMaxPauseSecs = 15 * 60;

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
  // `directory` holds the state and lock files; `now` gives calendar seconds.
  NodeBackoff(std::string directory, BackoffPolicy policy, std::function<int64_t()> now);

  // Decides which of the nodes in slots 0 .. nodeCount - 1 are skipped. A node
  // whose pause has ended is tried by this request alone: until its answer is
  // recorded (or its time-out plus a second has passed) the others skip it.
  // Returns 0, or a failure code (with a warning logged) when the state files
  // cannot be used; nothing is skipped then.
  Status Decide(const Config& config, BackoffDecision& decision, LogSink& log);

  // Records the outcome of every node marked as asked: a success clears the node's record; a failure counts, starts the
  // first pause at the policy's count, and after a failed try doubles the
  // pause up to kBackoffMaxPauseSecs.
  Status Record(const Config& config, const std::array<Status, kMaxNodes>& status,
                const BackoffDecision& decision, LogSink& log);

 private:
  struct Entry {
    bool present = false;
    int32_t failures = 0;
    int64_t pauseSecs = 0;
    int64_t pausedUntil = 0;
    std::string url;
  };
  using Table = std::array<Entry, kMaxNodes>;

  // Runs `change` on the table under the lock; writes the file back when it
  // returns true.
  Status Update(const std::function<bool(Table&)>& change, LogSink& log);

  std::string directory_;
  BackoffPolicy policy_;
  std::function<int64_t()> now_;
};

// The URL a node is known by in the state file (a changed URL starts afresh).
std::string BackoffNodeUrl(const NodeRecord& node);

}  // namespace quorix
