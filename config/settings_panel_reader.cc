#include "config/settings_panel_reader.h"

#include <cerrno>
#include <cstdint>
#include <fstream>
#include <system_error>

#include "config/character_references.h"
#include "config/settings_keys.h"
#include "config/url_split.h"
#include "platform/text.h"

namespace quorix {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Splits "KEY = value" into the first word and what follows it.
void SplitKey(std::string_view line, std::string_view& key, std::string_view& rest) {
  size_t start = 0;
  while (start < line.size() && IsBlank(line[start])) ++start;
  size_t end = start;
  while (end < line.size() && !IsBlank(line[end])) ++end;
  key = line.substr(start, end - start);
  rest = line.substr(end);
}

// Moves past blanks and the "=" with its blanks; false when there is no "=".
bool SkipEquals(std::string_view& rest) {
  size_t at = 0;
  while (at < rest.size() && IsBlank(rest[at])) ++at;
  if (at == rest.size() || rest[at] != '=') return false;
  ++at;
  while (at < rest.size() && IsBlank(rest[at])) ++at;
  rest.remove_prefix(at);
  return true;
}

// " = <decimal>"; see ParseIntSetting.
bool ParseInt(std::string_view rest, int32_t& value) {
  return SkipEquals(rest) && ParseIntSetting(rest, value);
}

// " = \"<text>\"": the text runs to the first double quote not escaped by a
// backslash (or to the line end). False for an empty text.
bool ParseText(std::string_view rest, std::string& value) {
  if (!SkipEquals(rest) || rest.empty() || rest[0] != '"') return false;
  rest.remove_prefix(1);
  size_t end = 0;
  while (end < rest.size() && rest[end] != '"') end += rest[end] == '\\' ? 2 : 1;
  std::string_view raw = rest.substr(0, std::min(end, rest.size()));
  while (!raw.empty() && (raw.back() == '\r' || raw.back() == '\n')) raw.remove_suffix(1);
  if (raw.empty()) return false;
  value = UnescapeSettingsValue(raw);
  return true;
}

// True when the line names a setting ("KEY = value" with a known key).
bool ReadSettingLine(std::string_view key, std::string_view rest, Config& config) {
  std::string_view value = rest;
  if (!SkipEquals(value)) return false;
  const SettingKey* setting = FindSettingKey(key, kPanelReads);
  if (setting == nullptr) return false;
  std::string text;
  if (setting->number)
    ParseInt(rest, config.*setting->number);
  else if (ParseText(rest, text) && Utf16Length(text) <= kSettingTextMaxUnits)
    config.*setting->text = text;
  return true;
}

// Reads a quoted node URL into the three parts given. False when the URL is
// missing or invalid.
bool ReadNodeUrl(std::string_view rest, NodeRecord& node, std::string& scheme, std::string& host,
                 std::string& path) {
  std::string text;
  SplitUrl parts;
  if (!ParseText(rest, text) || !CanonicaliseAndSplitUrl(text, parts)) return false;
  scheme = parts.scheme;
  host = HostWithPort(parts);
  path = parts.path;
  node.nodeUrl = parts.canonical;
  node.port = parts.port;
  return true;
}

// Handles a key that begins with "NODE". Returns false only for an invalid URL;
// `known` tells whether the key names a node setting.
bool ReadNodeLine(std::string_view key, std::string_view rest, Config& config, bool& known) {
  int slot = 0;
  const NodeSettingKey* setting = FindNodeSettingKey(key, kPanelReads, slot);
  std::string_view afterKey = rest;
  known = setting != nullptr && SkipEquals(afterKey);
  if (setting == nullptr) return true;
  NodeRecord& node = config.nodes[slot];
  int32_t value;
  std::string text;
  switch (setting->kind) {
    case NodeSettingKind::kDisabled:
      ++config.nodeCount;
      if (ParseInt(rest, value)) node.disabled = value != 0;
      break;
    case NodeSettingKind::kInt:
      ParseInt(rest, node.*setting->number);
      break;
    case NodeSettingKind::kName:
      if (ParseText(rest, text) && Utf16Length(text) <= kNodeNameMaxUnits) node.name = text;
      break;
    case NodeSettingKind::kVexaUrl:
      return ReadNodeUrl(rest, node, node.vexaScheme, node.vexaHost, node.vexaPath);
    case NodeSettingKind::kOsDescUrl:
      return ReadNodeUrl(rest, node, node.osDescScheme, node.osDescHost, node.osDescPath);
    case NodeSettingKind::kOsUrl:  // written for the search program only
      break;
  }
  return true;
}

void AppendUtf8(std::string& out, char32_t codePoint) {
  std::u16string unit(1, static_cast<char16_t>(codePoint));
  out += Utf16ToUtf8(unit);
}

}  // namespace

std::string UnescapeSettingsValue(std::string_view value) {
  std::string out;
  for (size_t at = 0; at < value.size();) {
    if (value[at] == '\\' && at + 1 < value.size() &&
        (value[at + 1] == '"' || value[at + 1] == '\\')) {
      out += value[at + 1];
      at += 2;
      continue;
    }
    bool replaced = false;
    if (value[at] == '&')
      for (const CharacterReference& entry : kSettingsReferences) {
        std::string_view text = entry.text;
        if (value.substr(at, text.size()) == text) {
          AppendUtf8(out, entry.codePoint);
          at += text.size();
          replaced = true;
          break;
        }
      }
    if (!replaced) out += value[at++];
  }
  return out;
}

bool LoadPanelSettings(const std::string& path, Config& config, LogSink& log, std::string& reason) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    reason = path + ": " + std::generic_category().message(errno);
    return false;
  }
  config.nodeCount = 0;
  for (NodeRecord& node : config.nodes) node = NodeRecord{};
  // Files written before the key existed leave visitors without a debug switch,
  // whatever the settings loaded earlier said.
  config.allowRequestDebug = 0;
  config.mergeDuplicates = 0;
  config.showSources = 0;
  config.pageMarkup = 0;
  config.nodeBackoffFailures = 3;
  config.nodeBackoffSecs = 0;
  const Config defaults;
  config.sharedStore = defaults.sharedStore;
  config.sharedStorePrefix = defaults.sharedStorePrefix;
  config.sharedStorePasswordFile = defaults.sharedStorePasswordFile;
  config.sharedStoreTimeoutMs = defaults.sharedStoreTimeoutMs;
  config.rateLimitPerMinute = defaults.rateLimitPerMinute;
  config.pageDeadlineMs = defaults.pageDeadlineMs;
  config.trustedProxies = defaults.trustedProxies;

  std::string line;
  int lineNumber = 0;
  int settings = 0;
  while (std::getline(file, line)) {
    ++lineNumber;
    std::string_view key, rest;
    SplitKey(line, key, rest);
    bool known = false;
    if (key.starts_with("NODE")) {
      if (!ReadNodeLine(key, rest, config, known)) {
        reason = "invalid node URL on line " + std::to_string(lineNumber) + " of " + path;
        return false;
      }
    } else {
      known = ReadSettingLine(key, rest, config);
    }
    if (known) ++settings;
  }
  if (file.bad()) {
    reason = path + ": " + std::generic_category().message(errno != 0 ? errno : EIO);
    return false;
  }
  if (settings == 0) {
    reason = "no settings found in " + path;
    return false;
  }

  ClampReadSettings(config);
  config.allVexaNodes = true;
  for (const NodeRecord& node : config.nodes)
    if (!node.disabled && IsOpenSearchNode(node)) config.allVexaNodes = false;
  log.Logf(kLogInfo, "oCfg->debugMode: %d", config.debugMode);
  log.Logf(kLogInfo, "oCfg->cacheValidPeriodMins: %d", config.cacheValidPeriodMins);
  log.Logf(kLogInfo, "oCfg->overRequestFactor: %d", config.overRequestFactor);
  return true;
}

}  // namespace quorix
