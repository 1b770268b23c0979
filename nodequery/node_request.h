// What the node querying component needs to know about the visitor's request.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "config/settings.h"

namespace quorix {

struct NodeQueryRequest {
  std::string escapedQuery;  // URL-escaped query, at most 255 x 12 bytes
  bool wordMatchAll = false;
  bool sortDate = false;
  std::vector<int32_t>
      cat;  // selected categories; first entry -1 means all; empty without categories
  std::array<int32_t, kMaxNodes> nodeStartPage;
  // The hop count every query carries (X-Quorix-Hops): one more than the
  // request that caused them arrived with.
  int32_t hops = 1;
  // Where this search itself is reached (HTTP_HOST with any port, SCRIPT_NAME),
  // so that no node leads a query back to it; empty when unknown.
  std::string selfHost;
  std::string selfPath;

  NodeQueryRequest() { nodeStartPage.fill(1); }
};

}  // namespace quorix
