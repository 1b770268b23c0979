// The store the site's settings name for one request: the files beside the
// program, or the Redis-protocol store of SharedStore through this process's
// connection. A store that is set but cannot be used is left out of the
// request: its entries are not found, nothing is written to it.
#pragma once

#include <memory>
#include <string>

#include "config/settings.h"
#include "platform/log.h"
#include "search/cache/cache.h"
#include "search/store/redis_store.h"

namespace quorix {

class SiteStore {
 public:
  // Borrows `config`, which must be read before the store is first used.
  SiteStore(std::string programDir, const Config& config, LogSink& log);

  SharedStore& store();
  // The Redis-protocol store the settings name; null for the files.
  SharedStore* shared();

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
