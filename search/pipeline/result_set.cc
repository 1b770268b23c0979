#include "search/pipeline/result_set.h"

#include <algorithm>

namespace quorix {

NodeOutcomes NodeOutcomesOf(const NodeResults& results) {
  NodeOutcomes outcomes;
  for (int n = 0; n < kMaxNodes; ++n) {
    const Channel& channel = results.channels[n];
    outcomes[n] = {results.status[n], results.elapsedMs[n],
                   channel.valid ? channel.osTotalQueriedItems : 0};
  }
  return outcomes;
}

int32_t PendingSourcesOf(const ResultPage& page, int node) {
  if (page.nodes[node].status == kNodePending) return 1;
  const bool answered = page.channels && (*page.channels)[node].valid;
  return answered ? (*page.channels)[node].pendingSources : 0;
}

int32_t PendingSourceCount(const ResultPage& page) {
  int32_t count = 0;
  for (int n = 0; n < kMaxNodes; ++n) count += PendingSourcesOf(page, n);
  return count;
}

uint64_t NodesAnsweredInPart(const NodeResults& results) {
  uint64_t nodes = 0;
  for (int n = 0; n < kMaxNodes; ++n)
    if (results.channels[n].valid && results.channels[n].pendingSources > 0)
      nodes |= uint64_t{1} << n;
  return nodes;
}

bool IsInvalidPage(const PageSpec& spec, int64_t available, int64_t itemCount) {
  // Page and size are 32-bit, so these products fit; the counts are only
  // compared, never added to, whatever values they hold.
  const int64_t first = (int64_t{spec.page} - 1) * spec.perPage;
  const int64_t end = int64_t{spec.page} * spec.perPage;
  const bool pageEmpty = available < end && itemCount <= first;
  return spec.page < 1 || spec.perPage < 1 || (pageEmpty && spec.page > 1);
}

ItemList ItemsOfNode(const ItemList& items, int32_t node) {
  ItemList kept;
  for (const std::unique_ptr<Item>& item : items)
    if (item &&
        (item->node == node || (node >= 0 && node < kMaxNodes && (item->alsoFoundAt >> node & 1))))
      kept.push_back(std::make_unique<Item>(*item));
  return kept;
}

ResultPage CutPage(const ResultSet& set, const PageSpec& spec) {
  ResultPage page;
  const ChannelTable& channels = set.nodes->channels;
  page.channels = std::shared_ptr<const ChannelTable>(set.nodes, &channels);
  page.nodes = NodeOutcomesOf(*set.nodes);
  page.display = set.display;
  page.resultsValid = std::any_of(channels.begin(), channels.end(),
                                  [](const Channel& channel) { return channel.valid; });
  ItemList nodeItems;
  const bool filtered = spec.nodeFilter >= 0 && spec.nodeFilter < kMaxNodes;
  page.itemCount = set.itemCount;
  page.available = set.available;
  if (filtered) {
    nodeItems = ItemsOfNode(set.items, spec.nodeFilter);
    const Channel& channel = channels[spec.nodeFilter];
    page.itemCount = static_cast<int64_t>(nodeItems.size());
    page.available =
        std::max<int64_t>(channel.valid ? std::max(channel.totalResults, 0) : 0, page.itemCount);
  }
  page.invalid = IsInvalidPage(spec, page.available, page.itemCount);
  if (spec.page < 1 || spec.perPage < 1) return page;

  const ItemList& items = filtered ? nodeItems : set.items;
  const int64_t first = (int64_t{spec.page} - 1) * spec.perPage;
  const int64_t last =
      std::min({page.itemCount, first + spec.perPage, static_cast<int64_t>(items.size())});
  page.firstNumber = first + 1;
  for (int64_t i = first; i < last; ++i)
    if (items[static_cast<size_t>(i)]) page.items.push_back(*items[static_cast<size_t>(i)]);
  return page;
}

}  // namespace quorix
