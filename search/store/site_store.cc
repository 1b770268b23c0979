#include "search/store/site_store.h"

#include "search/cache/cache_name.h"

namespace quorix {

bool StoreSettingsOf(const Config& config, const std::string& programDir, StoreSettings* settings,
                     std::string* why) {
  *settings = StoreSettings();
  settings->timeoutMs = config.sharedStoreTimeoutMs > 0 ? config.sharedStoreTimeoutMs : 100;
  if (!ParseStoreAddress(config.sharedStore, &settings->address, why)) {
    *why = "SharedStore \"" + config.sharedStore + "\": " + *why;
    return false;
  }
  const std::string& file = config.sharedStorePasswordFile;
  if (file.empty()) return true;
  std::string path = file.starts_with("/") || programDir.empty() ? file : programDir + "/" + file;
  if (ReadStorePassword(path, &settings->user, &settings->password, why)) return true;
  *why = "SharedStorePasswordFile " + *why;
  return false;
}

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

bool SiteStore::shared() {
  Choose();
  return redis_ != nullptr;
}

}  // namespace quorix
