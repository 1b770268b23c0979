// Naming the operating system from its version record.
#pragma once

#include <string>

namespace quorix::panel {

enum class OsPlatform { kWin9x, kNt, kOther };

struct OsVersion {
  OsPlatform platform = OsPlatform::kOther;
  int major = 0;
  int minor = 0;
};

// The display name of `version`; sets `isWin9x` for the 9x family, whose
// systems cannot edit UTF-16 language files.
std::string OsName(const OsVersion& version, bool& isWin9x);

// The version record of the running system (never of the 9x family here).
OsVersion CurrentOsVersion();

}  // namespace quorix::panel
