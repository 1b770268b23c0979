// The shared state in a Redis-protocol store, for a site on several web
// servers. Every key starts with the SharedStorePrefix.
//
// A cache entry is two keys: "<prefix>cache:<name>" names the version that
// "<prefix>cache:<name>#<version>" holds. A write fills a fresh version and
// then points the name at it, so a reader sees one whole version, which stays
// readable for a minute after it has been replaced. Records are replaced under
// WATCH/MULTI/EXEC; counters are "<prefix>count:<name>:<window>".
#pragma once

#include <string>

#include "platform/shared_store.h"
#include "platform/store_connection.h"

namespace quorix {

class RedisStore : public SharedStore {
 public:
  // `connection` is borrowed and must outlive the store.
  RedisStore(StoreConnection& connection, std::string prefix);

  Status OpenEntry(const std::string& name, int32_t validMins, std::unique_ptr<EntrySource>* entry,
                   LogSink& log) override;
  Status WriteEntry(const std::string& name, int32_t validMins, const EntryProducer& produce,
                    LogSink& log) override;
  Status DeleteEntry(const std::string& name, LogSink& log) override;
  Status UpdateRecord(const std::string& name, const std::function<bool(std::string&)>& change,
                      LogSink& log) override;
  Status CountInWindow(const std::string& name, int32_t windowSecs, int64_t now, int64_t* count,
                       LogSink& log) override;

 private:
  std::string EntryKey(const std::string& name) const { return prefix_ + "cache:" + name; }

  StoreConnection& connection_;
  std::string prefix_;
};

}  // namespace quorix
