// The values a search request hands from step to step: the result set that
// the nodes gave and the merge ordered, the page cut out of it (or read from
// the cache), and what the request did, for the search log.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "nodequery/records.h"
#include "nodequery/settings_check.h"
#include "platform/status.h"

namespace quorix {

using ItemList = std::vector<std::unique_ptr<Item>>;
using ChannelTable = std::array<Channel, kMaxNodes>;

// A Vexa node's texts are HTML by contract and written as they are; everything
// an OpenSearch node sends is untrusted text.
inline bool IsTrustedNode(const Channel& channel) { return !IsOpenSearchNode(channel); }

// What the nodes answered to one search, and the merged list of their items.
struct ResultSet {
  // Every node's record, run, status and time, and the nodes' own totals.
  // Shared with the pages cut from the set, whose items refer to the records.
  std::shared_ptr<NodeResults> nodes = std::make_shared<NodeResults>();
  DisplayValues display;  // what the first valid node echoed (all-Vexa configurations)
  ItemList items;         // the merged items in the order shown (no null entry)
  int32_t itemCount = 0;  // the merged items counted: the nodes' count less folded duplicates
  int32_t available = 0;  // results available from all nodes, less folded duplicates
};

// What one node did in this request, as the answers and the sources line tell it.
struct NodeOutcome {
  Status status = kNodeNotRun;
  int32_t elapsedMs = 0;      // until it answered or was given up
  int32_t itemsReceived = 0;  // items of its answer; 0 unless the answer was valid
};
using NodeOutcomes = std::array<NodeOutcome, kMaxNodes>;

// The outcome of every node of `results`.
NodeOutcomes NodeOutcomesOf(const NodeResults& results);

// The page a visitor asked for. Page and size are as received: they may be
// zero or negative, which makes the page invalid.
struct PageSpec {
  int32_t page = 1;
  int32_t perPage = 10;
  int32_t nodeFilter = -1;  // 0 or more: that node's results alone (see ItemsOfNode)
};

enum class PageSource { kNodes, kCache };

// One page of results, ready to be written: its items are cut out and
// numbered, its counts are those the page shows.
struct ResultPage {
  PageSource source = PageSource::kNodes;
  // The node records that items[i].node refers to; null for a page without
  // results (the search never ran).
  std::shared_ptr<const ChannelTable> channels;
  NodeOutcomes nodes;         // every node kNodeNotRun for a page from the cache
  DisplayValues display;      // empty for a page from the cache
  bool resultsValid = false;  // some node answered, or the cache held the set
  std::vector<Item> items;    // the page's items in order
  int64_t firstNumber = 1;    // the number of items[0] in the whole (filtered) set
  int64_t itemCount = 0;      // items held of the whole (filtered) set
  int64_t available = 0;      // results available: the summary's count
  bool invalid = false;       // the page lies before the first or beyond the last result
};

// What the request did, for the search log.
struct RequestOutcome {
  int32_t matches = 0;         // items the nodes returned, or the cache held
  bool readFromCache = false;  // the page came from the cache
  double searchSeconds = 0;    // the search time the page showed; 0 when it showed none
};

// The sources still answering for node `node` when the page was written: 1
// when it was marked kNodePending, else the sources of its own it named as
// still answering in its answer (Channel::pendingSources).
int32_t PendingSourcesOf(const ResultPage& page, int node);
// The same over every node; 0 for a complete page.
int32_t PendingSourceCount(const ResultPage& page);

// Bit n: node n's answer came with sources still answering.
uint64_t NodesAnsweredInPart(const NodeResults& results);

// A page number below 1 (or a size below 1) would start before the first item;
// a page past the end of the held items is invalid unless more results are
// available than held. The first page is never invalid for being empty: the
// search simply found nothing.
bool IsInvalidPage(const PageSpec& spec, int64_t available, int64_t itemCount);

// Copies of the items that node `node` found (as the item's own node or in
// its alsoFoundAt).
ItemList ItemsOfNode(const ItemList& items, int32_t node);

// Cuts page `spec` out of `set`: with a node filter, that node's items alone,
// counted by themselves and with the node's own total as available. No item
// for a page below 1 or a size below 1. The page shares the set's node records.
ResultPage CutPage(const ResultSet& set, const PageSpec& spec);

}  // namespace quorix
