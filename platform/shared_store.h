// The state that every search process of a site shares: cached result sets,
// the nodes' back-off record and the visitors' request counters. One web
// server keeps them in files beside the program; several web servers keep them
// in one Redis-protocol store (search/store has both).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/log.h"
#include "platform/status.h"

namespace quorix {

// The bytes of one stored entry, read one range at a time.
class EntrySource {
 public:
  virtual ~EntrySource() = default;
  virtual size_t size() const = 0;
  // Points `bytes` at the `count` bytes from `offset`, valid until the next
  // call. `readAhead` is how many more bytes are worth fetching with them
  // when they have to be read. Returns 0, or kCacheReadFailed when the range
  // passes the end of the entry or cannot be read.
  virtual Status View(size_t offset, size_t count, size_t readAhead, std::string_view* bytes) = 0;
};

// Hands the bytes of an entry being written to the store, piece by piece;
// false when they could not be taken.
using EntryBytesSink = std::function<bool(std::string_view)>;
using EntryProducer = std::function<Status(const EntryBytesSink&)>;

class SharedStore {
 public:
  virtual ~SharedStore() = default;

  // Opens entry `name` when it exists and is younger than `validMins`
  // minutes. Returns 0; kCacheNotFound; kCacheExpired; kCacheOpenFailed or
  // kCacheReadFailed; or kStoreUnavailable.
  virtual Status OpenEntry(const std::string& name, int32_t validMins,
                           std::unique_ptr<EntrySource>* entry, LogSink& log) = 0;
  // Replaces entry `name` whole with what `produce` hands its sink: a reader
  // sees the old entry or the whole new one, never a part. It expires after
  // `validMins` minutes. Returns 0, what `produce` returned, or a failure code.
  virtual Status WriteEntry(const std::string& name, int32_t validMins,
                            const EntryProducer& produce, LogSink& log) = 0;
  virtual Status DeleteEntry(const std::string& name, LogSink& log) = 0;

  // Runs `change` on the text of record `name` (empty when there is none)
  // and stores the text it leaves when it returns true, as one atomic step
  // against every other process. Returns 0 or a failure code, with a warning
  // logged; `change` may have run on a text that was not stored then.
  virtual Status UpdateRecord(const std::string& name,
                              const std::function<bool(std::string&)>& change, LogSink& log) = 0;

  // Counts one more event for `name` in the current window of `windowSecs`
  // seconds (windows start at multiples of it) and gives the window's count.
  // Counters go away on their own after their window.
  virtual Status CountInWindow(const std::string& name, int32_t windowSecs, int64_t now,
                               int64_t* count, LogSink& log) = 0;
};

}  // namespace quorix
