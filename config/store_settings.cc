#include "config/store_settings.h"

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

}  // namespace quorix
