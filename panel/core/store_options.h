// The shared-store and visitor-limit options of the search options dialog:
// the checks shown as the administrator types, and the store's PING for the
// verification and the test search.
#pragma once

#include <string>

#include "config/settings.h"

namespace quorix::panel {

// What is wrong with the options, in a sentence for the dialog; empty when
// they can be saved.
std::string StoreOptionsProblem(const Config& config);

// One line for the verification and the test search: empty when no store is
// set; else whether the store answers PING, and why not. The password file
// is read on this machine (an absolute path, or relative to `siteFolder`).
std::string StorePingLine(const Config& config, const std::string& siteFolder);

}  // namespace quorix::panel
