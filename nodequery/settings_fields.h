// The settings a Vexa node reports in its vexa:setting elements: names, kinds
// and where each lives in SettingsBlock, in the order in which they are read
// and compared.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "nodequery/records.h"

namespace quorix {

enum class SettingKind { kText, kFlag, kNumber };

struct SettingField {
  const char* name;
  SettingKind kind;
  std::string SettingsBlock::*text = nullptr;
  bool SettingsBlock::*flag = nullptr;
  int32_t SettingsBlock::*number = nullptr;
};

inline constexpr int kSettingCount = 34;
inline constexpr size_t kSettingTextUnits = 255;  // 256 including the terminator

// All settings in block order.
const std::array<SettingField, kSettingCount>& SettingFields();

// True when both blocks hold the same value for `field`.
bool SameSetting(const SettingField& field, const SettingsBlock& a, const SettingsBlock& b);

}  // namespace quorix
