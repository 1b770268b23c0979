// The search program's reader of settings.qxdat.
//
// Lines are "KEY = 123" or "KEY = \"text\"". The writer escapes text values: a
// double quote and a backslash get a backslash in front, and a few characters
// are written as character references. Quoted values are read up to the first
// unescaped double quote and the backslash escapes undone; file names and node
// URLs also get their character references decoded (language strings keep
// them: they are HTML).
#include "config/settings_reader.h"

#include <array>
#include <cctype>
#include <fstream>
#include <string_view>

#include "config/lang_keys.h"
#include "config/loaded_files.h"
#include "config/settings_keys.h"
#include "platform/text.h"

namespace quorix {
namespace {

constexpr size_t kSchemeMaxUnits = 31;
constexpr size_t kHostMaxUnits = 255;
constexpr size_t kPathMaxUnits = 2047;
constexpr size_t kLangStringMaxUnits = 199;

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::string_view SkipSpaces(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size() && IsSpace(text[pos])) ++pos;
  return text.substr(pos);
}

// Splits a line into its first whitespace-delimited word and what follows it.
std::string_view TakeKey(std::string_view line, std::string_view& rest) {
  line = SkipSpaces(line);
  size_t end = 0;
  while (end < line.size() && !IsSpace(line[end])) ++end;
  rest = line.substr(end);
  return line.substr(0, end);
}

// Consumes optional spaces, "=" and optional spaces. False when there is no "=".
bool TakeEquals(std::string_view& rest) {
  rest = SkipSpaces(rest);
  if (rest.empty() || rest[0] != '=') return false;
  rest = SkipSpaces(rest.substr(1));
  return true;
}

// " = 123"; see ParseIntSetting.
bool ParseIntValue(std::string_view rest, int32_t& out) {
  return TakeEquals(rest) && ParseIntSetting(rest, out);
}

// " = \"text\"". With `escaped`, \" and \\ stand for " and \ and the value ends
// at the first unescaped quote; otherwise at the first quote. A value without
// its closing quote, or an empty one, does not parse.
bool ParseQuotedValue(std::string_view rest, bool escaped, std::string& out) {
  if (!TakeEquals(rest) || rest.empty() || rest[0] != '"') return false;
  std::string value;
  for (size_t pos = 1; pos < rest.size(); ++pos) {
    char c = rest[pos];
    if (c == '"') {
      if (value.empty()) return false;
      out = std::move(value);
      return true;
    }
    if (escaped && c == '\\' && pos + 1 < rest.size() &&
        (rest[pos + 1] == '"' || rest[pos + 1] == '\\'))
      c = rest[++pos];
    value += c;
  }
  return false;
}

struct CharacterReference {
  std::string_view reference;
  std::string_view utf8;
};

// The references the settings writer produces (&#128; stands for the euro sign).
constexpr std::array<CharacterReference, 12> kReferences = {{
    {"&#38;", "&"},
    {"&#60;", "<"},
    {"&#62;", ">"},
    {"&#162;", "\xC2\xA2"},
    {"&#163;", "\xC2\xA3"},
    {"&#165;", "\xC2\xA5"},
    {"&#169;", "\xC2\xA9"},
    {"&#174;", "\xC2\xAE"},
    {"&#8220;", "\xE2\x80\x9C"},
    {"&#8221;", "\xE2\x80\x9D"},
    {"&#128;", "\xE2\x82\xAC"},
    {"&#8482;", "\xE2\x84\xA2"},
}};

std::string DecodeReferences(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    bool replaced = false;
    if (text[pos] == '&') {
      for (const auto& ref : kReferences) {
        if (text.substr(pos, ref.reference.size()) == ref.reference) {
          out.append(ref.utf8);
          pos += ref.reference.size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out += text[pos++];
  }
  return out;
}

bool FitsUnits(std::string_view text, size_t maxUnits) { return Utf16Length(text) <= maxUnits; }

// Takes a non-empty run of `text` up to (not including) any character of
// `stops`, within `maxUnits`. False when the run is empty or too long.
bool TakePart(std::string_view& text, std::string_view stops, size_t maxUnits, std::string& part) {
  size_t end = text.find_first_of(stops);
  if (end == std::string_view::npos) end = text.size();
  if (end == 0 || !FitsUnits(text.substr(0, end), maxUnits)) return false;
  part = std::string(text.substr(0, end));
  text = text.substr(end);
  return true;
}

// Splits "scheme://host/path?query" into parts. Each part is stored only when
// it and every part before it parsed; a missing or too long part leaves it and
// the following ones as they were. `query` null: the path runs to the end.
void SplitUrl(std::string_view url, std::string& scheme, std::string& host, std::string& path,
              std::string* query) {
  std::string part;
  if (!TakePart(url, ":", kSchemeMaxUnits, part) || url.substr(0, 3) != "://") return;
  scheme = part;
  url = url.substr(3);
  if (!TakePart(url, "/", kHostMaxUnits, part)) return;
  host = part;
  if (!TakePart(url, query ? "?" : "", kPathMaxUnits, part)) return;
  path = part;
  if (query && TakePart(url, "", kPathMaxUnits, part)) *query = part;
}

void ReadNodeLine(std::string_view key, std::string_view rest, Config& config) {
  int slot = 0;
  const NodeSettingKey* setting = FindNodeSettingKey(key, kSearchReads, slot);
  if (setting == nullptr) return;
  NodeRecord& node = config.nodes[slot];
  int32_t number = 0;
  std::string text;
  switch (setting->kind) {
    case NodeSettingKind::kDisabled:
      ++config.nodeCount;
      if (ParseIntValue(rest, number)) node.disabled = number != 0;
      break;
    case NodeSettingKind::kInt:
      ParseIntValue(rest, node.*setting->number);
      break;
    case NodeSettingKind::kVexaUrl:
      if (ParseQuotedValue(rest, true, text))
        SplitUrl(DecodeReferences(text), node.vexaScheme, node.vexaHost, node.vexaPath, nullptr);
      break;
    case NodeSettingKind::kOsDescUrl:
      if (ParseQuotedValue(rest, true, text))
        SplitUrl(DecodeReferences(text), node.osDescScheme, node.osDescHost, node.osDescPath,
                 nullptr);
      break;
    case NodeSettingKind::kOsUrl:
      if (ParseQuotedValue(rest, true, text))
        SplitUrl(text, node.osScheme, node.osHost, node.osPath, &node.osQuery);
      break;
    case NodeSettingKind::kName:
      if (ParseQuotedValue(rest, true, text) && FitsUnits(text, kNodeNameMaxUnits))
        node.name = DecodeReferences(text);
      break;
  }
}

void ReadOtherLine(std::string_view key, std::string_view rest, Config& config) {
  std::string text;
  if (const SettingKey* setting = FindSettingKey(key, kSearchReads)) {
    if (setting->number) {
      ParseIntValue(rest, config.*setting->number);
    } else if (ParseQuotedValue(rest, true, text)) {
      text = DecodeReferences(text);
      if (FitsUnits(text, kSettingTextMaxUnits)) config.*setting->text = text;
    }
    return;
  }
  if (key.substr(0, 4) == "STR_") {
    int index = LangKeyIndex(key);
    if (index < 0 || index >= kLangStringCount || index == kStrCatSummary) return;
    if (ParseQuotedValue(rest, true, text) && FitsUnits(text, kLangStringMaxUnits))
      config.langStrings[index] = text;
  }
}

void ReadLine(std::string_view line, Config& config) {
  std::string_view rest;
  std::string_view key = TakeKey(line, rest);
  if (key.empty()) return;
  if (key.substr(0, 4) == "NODE")
    ReadNodeLine(key, rest, config);
  else
    ReadOtherLine(key, rest, config);
}

void LogDump(const Config& config, const QueryDump& dump, LogSink& log) {
  log.Logf(kLogInfo, "oCfg->debugMode: %d", config.debugMode);
  log.Logf(kLogInfo, "oCfg->cacheValidPeriodMins: %d", config.cacheValidPeriodMins);
  log.Logf(kLogInfo, "oCfg->overRequestFactor: %d", config.overRequestFactor);
  log.Logf(kLogInfo, "oCfg->spelling: %d", config.spelling);
  log.Logf(kLogInfo, "oCfg->spellingWhenLessThan: %d", config.spellingWhenLessThan);
  log.Logf(kLogInfo, "oCfg->recommended: %d", config.recommended);
  log.Logf(kLogInfo, "oCfg->recommendedMax: %d", config.recommendedMax);
  log.Logf(kLogInfo, "oCfg->useDateTime: %d", config.useDateTime);
  log.Logf(kLogInfo, "oCfg->logging: %d", config.logging);
  log.Logf(kLogInfo, "oCfg->showSearchTime: %d", config.showSearchTime);
  log.Logf(kLogInfo, "oCfg->showVexaInfo: %d", config.showVexaInfo);
  log.Logf(kLogInfo, "gVexaQuery.sortDate: %d", dump.sortDate);
  log.Logf(kLogInfo, "gVexaQuery.currentPageNum: %d", dump.currentPageNum);
  log.Logf(kLogInfo, "gVexaQuery.itemsPerPage: %d", dump.itemsPerPage);
  log.Logf(kLogInfo, "gVexaQuery.wordMatchAll: %d", dump.wordMatchAll);
  log.Logf(kLogInfo, "gVexaQuery.query_out: %s", dump.queryOut.c_str());
  for (size_t i = 0; i < dump.cat.size(); ++i)
    log.Logf(kLogInfo, "gVexaQuery.cat[%d]=%d", static_cast<int>(i), dump.cat[i]);
}

// Parses the settings file at `path` into `config`, which holds the defaults.
bool ReadSettingsFile(const std::string& path, Config& config) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::string line;
  while (std::getline(file, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    ReadLine(RepairUtf8(line), config);
  }
  ClampReadSettings(config);
  for (const NodeRecord& node : config.nodes)
    if (!node.disabled && IsOpenSearchNode(node)) config.allVexaNodes = false;
  return true;
}

}  // namespace

bool LoadConfig(const std::string& path, Config& config, LogSink& log, int32_t debugOverride,
                const QueryDump& dump) {
  static LoadedFile<Config> settingsFile;
  bool read = true;
  if (!LoadedFilesKept()) {
    read = ReadSettingsFile(path, config);
  } else if (std::shared_ptr<const Config> kept = settingsFile.Get(path, ReadSettingsFile)) {
    config = *kept;  // what a fresh Config read from the file holds
  } else {
    read = false;
  }
  if (!read) {
    log.WriteWithDetail(kLogError, "Quorix::LoadConfig[185]: Failed to open config file",
                        Format("%s[%d]: Failed to open config file \"%s\"", "Quorix::LoadConfig",
                               185, path.c_str()));
    return false;
  }
  if (debugOverride != -1 && config.allowRequestDebug == 1) config.debugMode = debugOverride;
  LogDump(config, dump, log);
  return true;
}

}  // namespace quorix
