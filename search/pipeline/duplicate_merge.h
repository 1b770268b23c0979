// Merging result items of different nodes that lead to the same page.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "search/pipeline/result_set.h"

namespace quorix {

// The form of `link` that two links to the same page share: scheme and host
// in lower case, the scheme's default port dropped, no fragment, a trailing
// "/" or "/index.html" dropped from the path, escapes of unreserved characters
// decoded and every other escape in upper case. Empty for an empty link.
std::string NormaliseLink(std::string_view link);

// Walks the sorted `items` in order; an item whose normalised link matches an
// earlier item of another node is folded into that earlier one (which is
// shown first, so it has the higher score or the newer date): it fills the
// earlier item's empty title or description and sets its node's bit in
// alsoFoundAt. Items of one node are never folded together. Keeps the order of
// the remaining items and returns how many were folded.
size_t MergeDuplicateItems(ItemList& items, const ChannelTable& channels);

}  // namespace quorix
