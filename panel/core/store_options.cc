#include "panel/core/store_options.h"

#include "config/store_settings.h"
#include "platform/ip_ranges.h"

namespace quorix::panel {

std::string StoreOptionsProblem(const Config& config) {
  std::string why;
  StoreAddress address;
  if (!config.sharedStore.empty() && !ParseStoreAddress(config.sharedStore, &address, &why))
    return "Shared store: " + why + ".";
  if (config.sharedStorePrefix.empty() ||
      config.sharedStorePrefix.find_first_of(" \t\r\n") != std::string::npos)
    return "Key prefix: give a prefix without spaces, such as quorix:.";
  if (config.sharedStoreTimeoutMs < 1 || config.sharedStoreTimeoutMs > 10000)
    return "Store time-out: give 1 to 10000 milliseconds.";
  if (config.rateLimitPerMinute < 0) return "Searches per minute: give 0 (no limit) or more.";
  if (!ValidAddressRanges(config.trustedProxies, &why)) return "Trusted proxies: " + why + ".";
  return "";
}

std::string StorePingLine(const Config& config, const std::string& siteFolder) {
  if (config.sharedStore.empty()) return "";
  const std::string name = "Shared store " + config.sharedStore;
  StoreSettings settings;
  std::string why;
  if (!StoreSettingsOf(config, siteFolder, &settings, &why)) return name + ": not asked: " + why;
  StoreConnection connection;
  connection.BeginRequest(settings);
  if (!connection.Ping(&why)) return name + ": does not answer PING: " + why;
  return name + ": answers PING";
}

}  // namespace quorix::panel
