// The shared state in files beside the program, for a site on one web server:
// one cache file per entry in the cache directory, a record as a small text
// file replaced whole under an exclusive lock, counters in a table file.
#pragma once

#include <string>

#include "platform/shared_store.h"

namespace quorix {

class FileStore : public SharedStore {
 public:
  // `programDir` holds the directory `dir` (the cache directory), which is
  // created when first written.
  FileStore(std::string programDir, std::string dir);

  Status OpenEntry(const std::string& name, int32_t validMins, std::unique_ptr<EntrySource>* entry,
                   LogSink& log) override;
  Status WriteEntry(const std::string& name, int32_t validMins, const EntryProducer& produce,
                    LogSink& log) override;
  Status DeleteEntry(const std::string& name, LogSink& log) override;
  // Record `name` is the file "<name>.state", locked through "<name>.lock".
  Status UpdateRecord(const std::string& name, const std::function<bool(std::string&)>& change,
                      LogSink& log) override;
  // Counters share the file "window_counters.table": a fixed table of slots
  // chosen by the name's fingerprint; a name that meets another's slot
  // starts it afresh, which only ever counts too little.
  Status CountInWindow(const std::string& name, int32_t windowSecs, int64_t now, int64_t* count,
                       LogSink& log) override;

  const std::string& directory() const { return dir_; }

 private:
  std::string programDir_;
  std::string dir_;
};

}  // namespace quorix
