#include "nodequery/records.h"

#include <algorithm>

namespace quorix {

void RequestTotals::Merge(const NodeTotals& node) {
  std::lock_guard<std::mutex> lock(mutex_);
  queriedItems += node.queriedItems;
  availableItems += node.availableItems;
  if (node.valid) {
    resultsValid = true;
    ++validNodes;
  }
  if (node.vexaScoreSeen) {
    if (!vexaScoreSeen) {
      maxVexaScore = node.maxVexaScore;
      minVexaScore = node.minVexaScore;
      vexaScoreSeen = true;
    } else {
      maxVexaScore = std::max(maxVexaScore, node.maxVexaScore);
      minVexaScore = std::min(minVexaScore, node.minVexaScore);
    }
  }
}

}  // namespace quorix
