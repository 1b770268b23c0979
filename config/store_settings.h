// The connection settings of the SharedStore keys.
#pragma once

#include <string>

#include "config/settings.h"
#include "platform/store_connection.h"

namespace quorix {

// The settings of the SharedStore keys, checked; the password file is taken
// from `programDir` unless its path is absolute. False with the reason in
// `why` when the address or the password file cannot be used.
bool StoreSettingsOf(const Config& config, const std::string& programDir, StoreSettings* settings,
                     std::string* why);

}  // namespace quorix
