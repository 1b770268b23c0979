// The response parser's per-node state and the token it hands to the tag
// handlers; private to the response parser.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "config/settings.h"
#include "nodequery/records.h"
#include "nodequery/response_parser.h"
#include "platform/log.h"

namespace quorix {

// One tag and the element text that follows it.
struct Token {
  bool selfClosing = false;
  std::string_view tag;  // "<" through ">"
  std::string content;   // empty when self-closing or blank
};

enum ParseFlag : uint32_t {
  kInXmlDecl = 1,
  kInRss = 2,
  kInChannel = 4,
  kInItem = 8,
  kInRecommended = 16,
};

struct ParseState {
  int node;
  bool isVexa;
  const NodeRun& run;
  Channel& channel;
  NodeTotals& totals;
  LogSink& log;
  const ParseOptions& options;

  uint32_t flags = 0;
  Item* currentItem = nullptr;  // null outside an item, or when its record could not be made
  int currentItemIndex = 0;
  int categoryIndex = 0;      // within the current item
  int categoryNameIndex = 0;  // channel catNames
  int spellingIndex = 0;
  size_t recommendedCount = 0;  // finished recommended entries
  bool itemsDropped = false;    // the item limit was reached (logged once)

  bool Has(ParseFlag flag) const { return (flags & flag) != 0; }
  void Set(ParseFlag flag) { flags |= flag; }
  void Clear(ParseFlag flag) { flags &= ~static_cast<uint32_t>(flag); }
};

// Applies one token to the node's records (the first matching tag row wins).
void ProcessXmlTag(const Token& token, ParseState& state);

}  // namespace quorix
