#include "config/settings_keys.h"

#include "platform/int_parse.h"

namespace quorix {

const SettingKey* FindSettingKey(std::string_view name, SettingReader reader) {
  for (const SettingKey& key : kSettingKeys)
    if (key.name == name && (key.readers & reader) != 0) return &key;
  return nullptr;
}

bool ParseIntSetting(std::string_view text, int32_t& value) {
  return ParseLeadingInt(text, value, {IntBlanks::kAny, IntOverflow::kReject});
}

}  // namespace quorix
