#include "search/store/site_store.h"

#include "config/store_settings.h"

namespace quorix {

SiteStore::SiteStore(std::string programDir, const Config& config, LogSink& log)
    : programDir_(std::move(programDir)),
      config_(config),
      log_(log),
      files_(programDir_, CacheDirectoryPath(programDir_)) {}

void SiteStore::Choose() {
  if (chosen_) return;
  chosen_ = true;
  if (config_.sharedStore.empty()) return;
  StoreConnection& connection = ProcessStoreConnection();
  StoreSettings settings;
  std::string why;
  bool usable = StoreSettingsOf(config_, programDir_, &settings, &why);
  connection.BeginRequest(settings);
  if (!usable) {
    log_.Logf(kLogError, "The shared store is left out of this request: %s", why.c_str());
    connection.LeaveOut();
  }
  redis_ = std::make_unique<RedisStore>(connection, config_.sharedStorePrefix);
}

SharedStore& SiteStore::store() {
  Choose();
  return redis_ ? static_cast<SharedStore&>(*redis_) : files_;
}

SharedStore* SiteStore::shared() {
  Choose();
  return redis_.get();
}

}  // namespace quorix
