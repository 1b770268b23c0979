// Node answers made up for tests of what is done with them.
#pragma once

#include <memory>

#include "nodequery/records.h"

namespace quorix::testing {

// Node `index` of kind `type` (0 Vexa, 1 OpenSearch) answered, or not
// (`valid`), with `items` empty items.
inline void AddNodeAnswer(NodeResults& results, int index, int type, bool valid, int items = 0) {
  Channel& channel = results.channels[index];
  channel.node = index;
  channel.nodeType = type;
  channel.valid = valid;
  for (int i = 0; i < items; ++i) channel.items.push_back(std::make_unique<Item>());
  channel.osTotalQueriedItems = items;
}

}  // namespace quorix::testing
