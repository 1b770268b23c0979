// The pieces of the results page drawn from the nodes' channel records rather
// than from the result items: recommended links and spelling suggestions.
#pragma once

#include <cstdint>

#include "search/page/results_context.h"
#include "search/pipeline/pipeline.h"

namespace quorix {

// Writes the recommended links of the valid nodes up to and including the
// first valid Vexa node, at most RecommendedMax over all nodes, when the
// Recommended setting is on.
void DisplayRecommended(const ResultsContext& context, const ChannelTable& channels,
                        int32_t nodeCount);

// Writes one "did you mean" line with up to three suggestions, taken in node
// order from the valid nodes, when Spelling is on and fewer than
// SpellingWhenLessThan items were received.
void DisplaySpellingSuggestions(const ResultsContext& context, int64_t queriedItems,
                                const ChannelTable& channels, int32_t nodeCount);

}  // namespace quorix
