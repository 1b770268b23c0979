// What the cache file's encoder and decoder share about its layout (see
// cache_file_format.h). Private to the cache.
#pragma once

#include <cstddef>
#include <cstdint>

#include "search/cache/cache_file_format.h"

namespace quorix::cache_layout {

// The shortest item record: length, node, four empty counted strings, score
// and date-time.
inline constexpr size_t kItemRecordMinBytes = 4 + 4 + 4 * 4 + 4 + 8;
// The available count is the nodes' totals summed in 32 bits.
inline constexpr int64_t kMaxAvailable = INT32_MAX;

// The thirteen display settings of a node block, in file order.
inline constexpr bool SettingsBlock::*kDisplayFlags[] = {
    &SettingsBlock::Highlighting,      &SettingsBlock::DisplayMetaDesc,
    &SettingsBlock::DisplayDate,       &SettingsBlock::DisplayContext,
    &SettingsBlock::DisplayTitle,      &SettingsBlock::DisplayTerms,
    &SettingsBlock::DisplayScore,      &SettingsBlock::DisplayURL,
    &SettingsBlock::DisplayFilesize,   &SettingsBlock::UseVexaImage,
    &SettingsBlock::SearchAsSubstring, &SettingsBlock::ToLowerSearchWords,
    &SettingsBlock::UseCats,
};

// Whether an item of `node` carries the Vexa-only fields: decided by the type
// of the node's block, and a node without a block counts as a Vexa node.
inline bool HasVexaFields(const ChannelTable& channels, const std::array<bool, kMaxNodes>& present,
                          int32_t node) {
  return !present[node] || !IsOpenSearchNode(channels[node]);
}

// True when every bit of `mask` names a node below `nodeCount`.
inline bool NodesBelow(uint64_t mask, int32_t nodeCount) {
  return nodeCount >= kMaxNodes || (mask >> nodeCount) == 0;
}

}  // namespace quorix::cache_layout
