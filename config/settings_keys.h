// The keys of settings files (settings.qxdat, the control panel's .cpdat) with
// the field each one sets: the search program's reader, the control panel's
// reader and the writer all take them from here. The page texts (STR_...) are
// in lang_keys.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "config/settings.h"

namespace quorix {

enum class SettingKind {
  kInt,       // KEY = 123
  kFlag,      // KEY = 123, written as 1 for any value but 0
  kText,      // KEY = "text", written when not empty
  kFileName,  // KEY = "text", written when it holds 2 characters or more
};

// Which reader takes the key; the writer writes every key.
enum SettingReader : uint8_t {
  kSearchReads = 1,
  kPanelReads = 2,
  kBothRead = kSearchReads | kPanelReads,
};

struct SettingKey {
  std::string_view name;
  SettingKind kind;
  int32_t Config::*number;    // kInt, kFlag
  std::string Config::*text;  // kText, kFileName
  uint8_t readers;
};

// A longer text value (counted in UTF-16 code units) leaves its setting unchanged.
inline constexpr size_t kSettingTextMaxUnits = 259;

// The writer's order; the node lines follow the first kKeysBeforeNodes keys.
inline constexpr size_t kKeysBeforeNodes = 4;

inline constexpr SettingKey kSettingKeys[] = {
    {"DEBUG", SettingKind::kInt, &Config::debugMode, nullptr, kBothRead},
    {"AllowRequestDebug", SettingKind::kInt, &Config::allowRequestDebug, nullptr, kBothRead},
    {"INT_OVER_REQUEST_FACTOR", SettingKind::kInt, &Config::overRequestFactor, nullptr, kBothRead},
    {"INT_CACHE_VALID_PERIOD_MINS", SettingKind::kInt, &Config::cacheValidPeriodMins, nullptr,
     kBothRead},
    {"LanguageFileName", SettingKind::kFileName, nullptr, &Config::languageFileName, kBothRead},
    {"TemplateFilename", SettingKind::kFileName, nullptr, &Config::templateFilename, kPanelReads},
    {"FormFormat", SettingKind::kInt, &Config::formFormat, nullptr, kBothRead},
    {"Logging", SettingKind::kInt, &Config::logging, nullptr, kBothRead},
    {"LogFileName", SettingKind::kFileName, nullptr, &Config::logFileName, kBothRead},
    {"DebugLogging", SettingKind::kInt, &Config::debugLogging, nullptr, kBothRead},
    {"DebugFileName", SettingKind::kFileName, nullptr, &Config::debugFileName, kBothRead},
    {"DefaultToAnd", SettingKind::kFlag, &Config::defaultToAnd, nullptr, kBothRead},
    {"VexaInfo", SettingKind::kInt, &Config::showVexaInfo, nullptr, kBothRead},
    {"Timing", SettingKind::kInt, &Config::showSearchTime, nullptr, kBothRead},
    {"UseCats", SettingKind::kInt, &Config::useCats, nullptr, kBothRead},
    {"SearchMultiCats", SettingKind::kInt, &Config::searchMultiCats, nullptr, kBothRead},
    {"Spelling", SettingKind::kInt, &Config::spelling, nullptr, kBothRead},
    {"SpellingWhenLessThan", SettingKind::kInt, &Config::spellingWhenLessThan, nullptr, kBothRead},
    {"RecommendedMax", SettingKind::kInt, &Config::recommendedMax, nullptr, kBothRead},
    {"Recommended", SettingKind::kInt, &Config::recommended, nullptr, kBothRead},
    {"UseDateTime", SettingKind::kInt, &Config::useDateTime, nullptr, kBothRead},
    {"MergeDuplicates", SettingKind::kInt, &Config::mergeDuplicates, nullptr, kBothRead},
    {"ShowSources", SettingKind::kInt, &Config::showSources, nullptr, kBothRead},
    {"PageMarkup", SettingKind::kInt, &Config::pageMarkup, nullptr, kBothRead},
    {"NodeBackoffFailures", SettingKind::kInt, &Config::nodeBackoffFailures, nullptr, kBothRead},
    {"NodeBackoffSecs", SettingKind::kInt, &Config::nodeBackoffSecs, nullptr, kBothRead},
    {"PageDeadlineMs", SettingKind::kInt, &Config::pageDeadlineMs, nullptr, kBothRead},
    {"OpenSearchShortName", SettingKind::kFileName, nullptr, &Config::openSearchShortName,
     kBothRead},
    {"OpenSearchDescription", SettingKind::kFileName, nullptr, &Config::openSearchDescription,
     kBothRead},
    {"PublicBaseUrl", SettingKind::kFileName, nullptr, &Config::publicBaseUrl, kBothRead},
    {"MetricsAllowFrom", SettingKind::kText, nullptr, &Config::metricsAllowFrom, kBothRead},
    {"SharedStore", SettingKind::kText, nullptr, &Config::sharedStore, kBothRead},
    {"SharedStorePrefix", SettingKind::kText, nullptr, &Config::sharedStorePrefix, kBothRead},
    {"SharedStorePasswordFile", SettingKind::kText, nullptr, &Config::sharedStorePasswordFile,
     kBothRead},
    {"SharedStoreTimeoutMs", SettingKind::kInt, &Config::sharedStoreTimeoutMs, nullptr, kBothRead},
    {"RateLimitPerMinute", SettingKind::kInt, &Config::rateLimitPerMinute, nullptr, kBothRead},
    {"TrustedProxies", SettingKind::kText, nullptr, &Config::trustedProxies, kBothRead},
    {"ControlPanelInstallDirectory", SettingKind::kText, nullptr,
     &Config::controlPanelInstallDirectory, kPanelReads},
    {"ControlPanelSiteFolder", SettingKind::kText, nullptr, &Config::controlPanelSiteFolder,
     kPanelReads},
    {"ControlPanelLogging", SettingKind::kInt, &Config::controlPanelLogging, nullptr, kPanelReads},
    {"ControlPanelDebugMode", SettingKind::kInt, &Config::controlPanelDebugMode, nullptr,
     kPanelReads},
    {"ControlPanelWarnWord", SettingKind::kInt, &Config::controlPanelWarnWord, nullptr,
     kPanelReads},
};

// Node settings: "NODE<n>" and a suffix, n the node's slot (0 to 63, written
// without leading zeros).
enum class NodeSettingKind {
  kDisabled,  // NODE<n>_DISABLED = 0 or 1; each such line counts one node
  kInt,       // NODE<n>_... = 123
  kVexaUrl,   // the URLs are quoted texts
  kOsDescUrl,
  kOsUrl,
  kName,  // at most kNodeNameMaxUnits
};

struct NodeSettingKey {
  std::string_view suffix;
  NodeSettingKind kind;
  int32_t NodeRecord::*number;  // kInt
  bool prefixOnly;              // URL keys match when they begin with the suffix
  uint8_t readers;
};

// In the writer's order.
inline constexpr NodeSettingKey kNodeSettingKeys[] = {
    {"_DISABLED", NodeSettingKind::kDisabled, nullptr, false, kBothRead},
    {"_TYPE", NodeSettingKind::kInt, &NodeRecord::type, false, kBothRead},
    {"_STRICT_QUERY_SYNTAX", NodeSettingKind::kInt, &NodeRecord::strictQuerySyntax, false,
     kBothRead},
    {"_TIMEOUT_MS", NodeSettingKind::kInt, &NodeRecord::timeoutMs, false, kBothRead},
    {"_VEXA_URL", NodeSettingKind::kVexaUrl, nullptr, true, kBothRead},
    {"_OS_DESC_URL", NodeSettingKind::kOsDescUrl, nullptr, true, kBothRead},
    {"_OS_URL", NodeSettingKind::kOsUrl, nullptr, true, kSearchReads},
    {"_NAME", NodeSettingKind::kName, nullptr, false, kBothRead},
};

// The node key that `key` names and `reader` takes, with its slot; null for none.
const NodeSettingKey* FindNodeSettingKey(std::string_view key, SettingReader reader, int& slot);

// The key named `name` that `reader` takes; null for none.
const SettingKey* FindSettingKey(std::string_view name, SettingReader reader);

// What both readers do after the last line: a value that means nothing as
// written is replaced by the one it is taken as (PageDeadlineMs below 0 is 0).
void ClampReadSettings(Config& config);

// Reads the number of a "KEY = 123" line from what follows the "=" and its
// blanks: an optional sign and at least one digit, anything after the digits
// ignored. False, leaving `value` unchanged, when there is no number or it is
// outside the 32-bit range that every number setting takes.
bool ParseIntSetting(std::string_view text, int32_t& value);

}  // namespace quorix
