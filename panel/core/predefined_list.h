// The predefined OpenSearch description list: OpenSearchDescURLs.xml beside the
// control panel, an RSS-style file whose items carry a title and a link.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "panel/core/desktop.h"
#include "platform/log.h"
#include "platform/status.h"

namespace quorix::panel {

struct PredefinedEntry {
  std::string title;  // "Item title blank" when the item has none
  std::string url;    // "Item url blank" when the item has none
};

inline constexpr char kPredefinedFileName[] = "OpenSearchDescURLs.xml";

// Parses the file's text into `entries`; on failure returns one of the codes
// above without showing anything.
Status ParsePredefinedDescriptions(std::string_view text, std::vector<PredefinedEntry>& entries,
                                   LogSink& log);

// Reads installDir/OpenSearchDescURLs.xml into `entries` (emptied first).
// Returns 0, or a failure code after showing its message box.
Status LoadPredefinedDescriptions(const std::string& installDir, Desktop& desktop, LogSink& log,
                                  std::vector<PredefinedEntry>& entries);

}  // namespace quorix::panel
