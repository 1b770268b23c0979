#include "config/settings_keys.h"

#include "platform/int_parse.h"

namespace quorix {

const SettingKey* FindSettingKey(std::string_view name, SettingReader reader) {
  for (const SettingKey& key : kSettingKeys)
    if (key.name == name && (key.readers & reader) != 0) return &key;
  return nullptr;
}

const NodeSettingKey* FindNodeSettingKey(std::string_view key, SettingReader reader, int& slot) {
  constexpr std::string_view kPrefix = "NODE";
  if (!key.starts_with(kPrefix)) return nullptr;
  key.remove_prefix(kPrefix.size());
  size_t digits = 0;
  while (digits < key.size() && key[digits] >= '0' && key[digits] <= '9') ++digits;
  if (digits == 0 || digits > 2 || (digits > 1 && key[0] == '0')) return nullptr;
  slot = 0;
  for (size_t i = 0; i < digits; ++i) slot = slot * 10 + (key[i] - '0');
  if (slot >= kMaxNodes) return nullptr;
  key.remove_prefix(digits);
  for (const NodeSettingKey& setting : kNodeSettingKeys) {
    bool match = setting.prefixOnly ? key.starts_with(setting.suffix) : key == setting.suffix;
    if (match) return (setting.readers & reader) != 0 ? &setting : nullptr;
  }
  return nullptr;
}

void ClampReadSettings(Config& config) {
  if (config.pageDeadlineMs < 0) config.pageDeadlineMs = 0;
}

bool ParseIntSetting(std::string_view text, int32_t& value) {
  return ParseLeadingInt(text, value, {IntBlanks::kAny, IntOverflow::kReject});
}

}  // namespace quorix
