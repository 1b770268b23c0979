// The category names file (vexa_cats.qxdat): one name per line, in category
// number order, separated by line feeds.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "config/settings.h"
#include "platform/status.h"

namespace quorix {

inline constexpr std::string_view kCategoryNamesFileName = "vexa_cats.qxdat";
// Longest name kept, in UTF-16 units.
inline constexpr size_t kCategoryNameMaxUnits = 511;

// Reads `programDir`/vexa_cats.qxdat into config.categoryNames. Without a
// readable file categories are switched off for the request (useCats = 0) and
// kOk is returned; otherwise useCats = 1. Line n + 1 is
// category n; a line feed after the last name adds no name, and a carriage
// return before a line feed is not part of the name. At most
// kMaxWideCategoryNames names are kept, each cut to kCategoryNameMaxUnits;
// further lines are not stored. On kCategoryNamesOutOfMemory the names read
// so far stay.
int LoadCategoryNames(const std::string& programDir, Config& config);

// Control panel: writes `names` to `directory`/vexa_cats.qxdat with one line
// feed between two names and none after the last. A file that cannot be
// created is tried once more after `retryDelay`. Returns false when it still
// cannot be created or the write fails.
bool WriteCategoryNames(const std::string& directory, const std::vector<std::string>& names,
                        std::chrono::milliseconds retryDelay = std::chrono::milliseconds(2000));

}  // namespace quorix
