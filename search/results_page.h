// The results part of the page: heading, summary, suggestions and recommended
// links, sort links, the requested page's items, page links and search time.
#pragma once

#include <cstdint>

#include "search/results_context.h"
#include "search/search_steps.h"

namespace quorix {

class ResultsPage : public ResultsStep {
 public:
  // Keeps references to everything; all must outlive this object.
  ResultsPage(PageOutput& out, const Config& config, VexaQuery& query, const TermList& terms,
              LogSink& log, const DisplayValues& display)
      : context_{out, config, query, terms, log, display} {}

  // The node statuses and times of a fresh search, for the sources line.
  void set_nodeResults(const NodeResults* results) { nodeResults_ = results; }

  int ConsolidateResults(NodeResults& results, bool sortDate, ItemList& merged) override;

  // Results are shown when some node among the first `nodeCount` is valid, or
  // when they come from the cache. Returns 0, or -10000 (after logging
  // "You have requested an invalid page." as an error) when the page holds no
  // item. Item indexes run over the whole set for a fresh search and over the
  // page's items when `fromCache`. Sets query.searchSeconds when the search
  // time is shown.
  Status DisplayResults(int32_t nodeCount, const ChannelTable& channels, const ItemList& items,
                        int64_t availableItems, int64_t itemCount, bool fromCache) override;

  // One result item; `index` as for DisplayResults. Items whose node number is
  // out of range, and missing items, are skipped.
  void DisplayResultItem(const ChannelTable& channels, const ItemList& items, int64_t index,
                         bool fromCache);

  // Links to the other result pages: up to ten either side of the current one,
  // never beyond the millionth result. With `invalidPage` the last page is
  // taken as current and every number is linked.
  void DisplayPageLinks(int64_t availableItems, bool invalidPage);

  // The link to the other sort order, when UseDateTime is on and there are items.
  void DisplaySortLinks(int64_t itemCount);

 private:
  void WriteHeading();
  ResultsContext context_;
  const NodeResults* nodeResults_ = nullptr;
};

}  // namespace quorix
