// Turns a node's RSS/OpenSearch/vexa answer into its CHANNEL and ITEM records.
#pragma once

#include <cstdint>
#include <string_view>

#include "config/settings.h"
#include "nodequery/records.h"
#include "platform/log.h"
#include "platform/status.h"

namespace quorix {

// Behaviour that differs between the search program and the control panel's
// verification run. The defaults are the search program's.
struct ParseOptions {
  bool panelPlaceholders = false;       // "Item title blank" and the other placeholders
  bool logUnrecognisedBody = false;     // extra line with the first 200 bytes of an unknown body
  bool colonInSettingsMismatch = false;  // the control panel's form of the mismatch line
};

// Parses node.responseBody for node number `nodeIndex`, asked for `requested`
// items, into `channel` (which must be fresh) and adds to `totals`. Runs on the
// node's worker thread and touches nothing else. Returns 0, -9000, -2005,
// -2003, -2006 or -4000.
Status ParseResponse(int nodeIndex, int32_t requested, const NodeRecord& node, Channel& channel,
                     NodeTotals& totals, LogSink& log, const ParseOptions& options = {});

// Seconds since 1970-01-01 UTC of an RSS (RFC 822) date, or 0.
int64_t ParseRssDate(std::string_view text);

}  // namespace quorix
