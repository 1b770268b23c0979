// Turns a node's RSS/OpenSearch/vexa answer into its CHANNEL and ITEM records.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "config/settings.h"
#include "nodequery/records.h"
#include "platform/log.h"
#include "platform/status.h"

namespace quorix {

// Behaviour that differs between the search program and the control panel's
// verification run. The defaults are the search program's.
struct ParseOptions {
  bool panelPlaceholders = false;        // "Item title blank" and the other placeholders
  bool logUnrecognisedBody = false;      // extra line with the first 200 bytes of an unknown body
  bool colonInSettingsMismatch = false;  // the control panel's form of the mismatch line
  bool panelAllocationLabel = false;     // allocation failures name "ProcessXMLTag" alone
};

// A node's body as it is kept in NodeRun::responseBody: without NUL bytes, with
// invalid UTF-8 repaired. Copies only a body that needs repairing.
std::string CleanResponseBody(std::string raw);

// Parses run.responseBody of node number `nodeIndex` (whose settings are
// `node`), asked for `requested` items, into `channel` (which must be fresh) and adds to `totals`. Runs on the
// node's worker thread and touches nothing else. Returns 0, -9000, -2005,
// -2003 (no body), -2006 (a "<" without ">", a CDATA section without "]]>") or
// -4000 (a tag of 512 UTF-16 units or more, a CDATA section over 4092).
//
// Only a node whose answer is valid (channel.valid: it reported totalResults)
// adds to `totals`: items of other nodes are never merged, so the request's
// item count (and the search log's matches, which the driver copies from it)
// stays the number of items on offer. The number of valid nodes is
// totals.valid summed over the nodes.
Status ParseResponse(int nodeIndex, int32_t requested, const NodeRecord& node, const NodeRun& run,
                     Channel& channel, NodeTotals& totals, LogSink& log,
                     const ParseOptions& options = {});

// Seconds since 1970-01-01 UTC of an RSS (RFC 822) date read as UTC: 0 for an
// empty text or one without ":", -1 for a date before 1970 or after 3000. An
// unknown month name counts as January.
int64_t ParseRssDate(std::string_view text);

}  // namespace quorix
