// The back-off's table of failing nodes and the files that hold it (see
// node_backoff.h for the line format). None of the files is opened through a
// link, and only regular files are used.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "config/settings.h"

namespace quorix {

// At most this many distinct query fingerprints are kept per node.
inline constexpr int kBackoffQueriesKept = 3;
// The longest line the back-off writes (node URLs are cut below it, see
// BackoffNodeUrl); a state file longer than a full table of them is refused.
inline constexpr size_t kBackoffMaxLineBytes = 2400;
inline constexpr size_t kBackoffMaxUrlBytes = 2048;
inline constexpr size_t kBackoffMaxStateBytes = kMaxNodes * kBackoffMaxLineBytes;

struct BackoffEntry {
  bool present = false;
  int32_t failures = 0;     // consecutive failures
  int64_t pauseSecs = 0;    // the current (or last) pause
  int64_t pausedUntil = 0;  // 0: not paused
  int64_t since = 0;        // when the failures counted now began; 0: not known
  int32_t unreachable = 0;  // of those, failures before the query was sent
  int32_t queryCount = 0;   // distinct query fingerprints among the failures
  std::array<uint32_t, kBackoffQueriesKept> queries{};
  std::string url;
};

struct BackoffTable {
  std::array<BackoffEntry, kMaxNodes> entries;
};

// Fills `table` from the state file's text; returns false when some line was
// unreadable (it is dropped).
bool ParseBackoffState(std::string_view text, BackoffTable& table);
std::string FormatBackoffState(const BackoffTable& table);

// Opens (creating) the lock file; returns the descriptor, or -1 with the
// reason in `why`.
int OpenBackoffLock(const std::string& path, std::string& why);

enum class StateFileRead {
  kRead,     // `text` holds the file (empty when there is none)
  kRefused,  // not a regular file, or too long: `why` says which
  kFailed,   // could not be read: `why` has the system's reason
};
StateFileRead ReadBackoffState(const std::string& path, std::string& text, std::string& why);

// Writes `text` to a new file of a fresh name beside `path`, then renames it
// over `path`. Returns false with the reason in `why`; the new file is gone then.
bool ReplaceBackoffState(const std::string& path, const std::string& text, std::string& why);

}  // namespace quorix
