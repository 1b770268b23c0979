// What the results heading shows about the search as the engines understood
// it. When every enabled node is a Vexa node, the node settings check copies
// these from the first valid node; otherwise they stay empty.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorix {

struct DisplayValues {
  std::string searchQuery;     // the query text the node echoed
  std::string searchCategory;  // its category text (categories in use only)
  int32_t numCats = 0;         // the node's NumCats setting
  std::vector<std::string> categoryNames;
};

}  // namespace quorix
