// Where the results came from: the sources line below the summary and the
// "also found at" line of a merged result.
#pragma once

#include <cstdint>
#include <string>

#include "search/page/results_context.h"
#include "search/pipeline/pipeline.h"

namespace quorix {

// The node's NODE%d_NAME, or else the host it is queried at.
std::string NodeDisplayName(const NodeRecord& node);

// The page text of `key`, or its English text when the settings have none.
std::string PageText(const ResultsContext& context, int key);

// One line per configured node that answered or failed: its name (linked to
// its results alone), its result count and time, or its failure. A page from
// the cache lists the nodes whose answers the cache holds, "from the cache".
void WriteSourcesLine(const ResultsContext& context, const ResultPage& page);

// For a fresh search, one plain line per enabled node that did not answer:
// its name and what went wrong, in a list; nothing when every node answered.
void WriteNodeFailures(const ResultsContext& context, const ResultPage& page);

// When some nodes are still answering: how many, a link that shows all
// results, and for the page's script the JSON answer, the count shown and
// the text that offers the rest.
void WritePendingNotice(const ResultsContext& context, const ResultPage& page);

// The names of the other nodes that had the item's link; nothing when none did.
void WriteAlsoFoundLine(const ResultsContext& context, const Item& item);

}  // namespace quorix
