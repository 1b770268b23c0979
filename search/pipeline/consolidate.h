// Merging the nodes' result items into one list and ordering it.
#pragma once

#include <memory>
#include <span>

#include "config/settings.h"
#include "nodequery/records.h"
#include "platform/log.h"
#include "search/pipeline/result_set.h"

namespace quorix {

// Orders two items: negative when `a` is shown before `b`, positive when after,
// 0 when equal.
using ItemCompare = int (*)(const Item& a, const Item& b);

// Higher vexaScore first; equal scores compare 0 (no secondary key).
int CompareByScore(const Item& a, const Item& b);

// Newer vexaDateTime first, and items without a date-time (0) after every
// dated one. Never returns 0: of two equal date-times each compares as
// "before" the other.
int CompareByDateTime(const Item& a, const Item& b);

// In-place, non-stable quicksort of the item pointers (no entry may be null):
// straight insertion for ranges of up to six records, otherwise the median of
// the three middle records as pivot, a three-way partition, the smaller side
// first and the larger on an explicit stack (no recursion, nothing allocated).
void SortItems(std::span<std::unique_ptr<Item>> items, ItemCompare compare);

// Moves the items of every valid node, node 0 first and each node's items in
// received order, into `merged` (cleared first), then sorts them by date-time
// when `sortDate`, else by score, logging which at information level. Nothing
// is moved when results.totals.queriedItems is 0, and nothing sorted unless
// results.totals.resultsValid is set. The channels' item lists keep empty
// pointers where items were moved out; with `copyItems` they keep their items
// and `merged` gets copies. Returns 0.
int ConsolidateResults(NodeResults& results, bool sortDate, ItemList& merged, LogSink& log,
                       bool copyItems = false);

// Gives every item of every valid OpenSearch node among the first
// config.nodeCount a vexaScore within the Vexa score range of results.totals,
// derived from its absolute position in the node's results and the node's
// place in the node list, so that a mixed configuration's items sort together.
// Logs each item's score at detail level.
void ScaleOpenSearchScores(const Config& config, NodeResults& results, LogSink& log);

struct MergeOptions {
  bool sortDate = false;        // newest first, else by score
  bool foldDuplicates = false;  // fold items of other nodes with the same link
  // The nodes keep their items, for a merge of every answer later (a set
  // merged before every node had answered).
  bool copyItems = false;
};

// The merge of a fresh search: scores OpenSearch items in a mixed
// configuration (config.allVexaNodes false), moves every valid node's items
// into set->items in order (ConsolidateResults), folds duplicates when asked
// and sets set->itemCount and set->available from the nodes' totals less the
// folded items. Returns kOk, or kMergeAllocationFailed (logged) when there is
// no room for the merged list.
Status MergeResults(const Config& config, const MergeOptions& options, ResultSet* set,
                    LogSink& log);

}  // namespace quorix
