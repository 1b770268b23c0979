#include "panel/core/os_name.h"

namespace quorix::panel {

std::string OsName(const OsVersion& version, bool& isWin9x) {
  isWin9x = version.platform == OsPlatform::kWin9x;
  switch (version.platform) {
    case OsPlatform::kWin9x:
      if (version.minor == 0) return "Windows 95";
      if (version.minor > 89) return "Windows ME";
      return "Windows 98";
    case OsPlatform::kNt:
      if (version.major < 4) return "NT3";
      if (version.major == 4) return "NT4";
      if (version.major == 5 && version.minor == 0) return "Windows 2000";
      return "Windows XP";
    case OsPlatform::kOther:
      break;
  }
  return "Unknown";
}

OsVersion CurrentOsVersion() { return OsVersion{}; }

}  // namespace quorix::panel
