// Where the results came from: the sources line below the summary and the
// "also found at" line of a merged result.
#pragma once

#include <cstdint>
#include <string>

#include "search/results_context.h"
#include "search/search_steps.h"

namespace quorix {

// The node's NODE%d_NAME, or else the host it is queried at.
std::string NodeDisplayName(const NodeRecord& node);

// The page text of `key`, or its English text when the settings have none.
std::string PageText(const ResultsContext& context, int key);

// One line per node that answered or failed: its name (linked to its results
// alone), its result count and time, or its failure. `fresh` holds the
// statuses and times of a fresh search; null for a page from the cache,
// which lists the nodes whose answers the cache holds.
void WriteSourcesLine(const ResultsContext& context, const ChannelTable& channels,
                      int32_t nodeCount, const NodeResults* fresh);

// The names of the other nodes that had the item's link; nothing when none did.
void WriteAlsoFoundLine(const ResultsContext& context, const Item& item);

// Copies of the items that node `node` found (as the item's own node or in
// its alsoFoundAt).
ItemList ItemsOfNode(const ItemList& items, int32_t node);

}  // namespace quorix
