// Searches whose page went out at the page deadline while some nodes were
// still answering: completed after the request, in the cache alone.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "config/settings.h"
#include "search/pipeline/pipeline.h"

namespace quorix {

// At most this many searches are completed at once in one FastCGI process.
inline constexpr int kMaxBackgroundCompletions = 4;

// A search to be completed, with what it needs of its request.
struct LateCompletion {
  Config config;
  VexaQuery query;
  OutputRules rules;
  std::string programDir;
  PendingSearch pending;
};

// Completes `job` on the calling thread: waits for its nodes, writes the
// complete set to the cache and removes the partial entry. Its lines go to
// the debug file alone.
void RunLateCompletion(LateCompletion& job);

// Gives `job` up: its nodes are cancelled and its partial entry is removed,
// so that the next request for the query asks the nodes again.
void DropLateCompletion(LateCompletion& job);

// Runs `job` on a thread of its own. False, with `job` left to the caller,
// when kMaxBackgroundCompletions are running already or no thread can start.
bool StartBackgroundCompletion(std::unique_ptr<LateCompletion>& job);

// Waits up to `wait` for the background completions to end; returns how
// many are still running.
int WaitForBackgroundCompletions(std::chrono::milliseconds wait);

}  // namespace quorix
