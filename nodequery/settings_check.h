// After all node workers have ended, when every enabled node is a Vexa node:
// the request's display values and a comparison of the nodes' reported settings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/settings.h"
#include "nodequery/records.h"
#include "platform/log.h"

namespace quorix {

// What the results page shows about the search as the engine understood it
// (all-Vexa configurations only; empty otherwise). Texts are cut to 511 UTF-16 units.
struct DisplayValues {
  std::string searchQuery;
  std::string searchCategory;
  int32_t numCats = 0;                // the node's NumCats, within 0..64
  std::vector<std::string> catNames;  // numCats names
};

struct SettingsCheckOptions {
  bool colonInMismatchLine = false;  // the control panel's "Node #%d: Vexa Indexer ..." form
};

// Mixed configuration (config.allVexaNodes false): returns 0 and does nothing.
// All-Vexa configuration: fills `out` from the first valid node and compares
// the settings blocks of the valid Vexa nodes pairwise; the first difference
// is logged (one error line) and makes the result positive, else 0.
int CheckVexaNodeSettings(const Config& config, const NodeResults& results, LogSink& log,
                          DisplayValues& out, const SettingsCheckOptions& options = {});

}  // namespace quorix
