// The store the site's settings name for one request: the files beside the
// program, or the Redis-protocol store of SharedStore through this process's
// connection. A store that is set but cannot be used is left out of the
// request: its entries are not found, nothing is written to it.
#pragma once

#include <memory>
#include <string>

#include "config/settings.h"
#include "platform/log.h"
#include "search/store/file_store.h"
#include "search/store/redis_store.h"

namespace quorix {

// The settings of the SharedStore keys, checked. False with the reason in
// `why` when the address or the password file cannot be used.
bool StoreSettingsOf(const Config& config, const std::string& programDir, StoreSettings* settings,
                     std::string* why);

class SiteStore {
 public:
  // Borrows `config`, which must be read before the store is first used.
  SiteStore(std::string programDir, const Config& config, LogSink& log);

  SharedStore& store();
  bool shared();  // the settings name a Redis-protocol store

 private:
  void Choose();

  std::string programDir_;
  const Config& config_;
  LogSink& log_;
  FileStore files_;
  std::unique_ptr<RedisStore> redis_;
  bool chosen_ = false;
};

}  // namespace quorix
