#include "search/pending_steps.h"

namespace quorix {

int PendingSearchForm::DisplaySearchForm(const Config&, const VexaQuery& query) {
  if (query.rawQuery.empty()) return -1;
  if (static_cast<int64_t>(query.currentPageNum) * query.itemsPerPage >= 1000000) return -1;
  return 0;
}

RequestComponents MakeRequestComponents(RequestContext&) {
  RequestComponents components;
  components.resources = std::make_unique<PendingPageResources>();
  components.form = std::make_unique<PendingSearchForm>();
  components.cache = std::make_unique<PendingCache>();
  components.nodes = std::make_unique<PendingNodeQuery>();
  components.results = std::make_unique<PendingResults>();
  components.tail = std::make_unique<PendingPageTail>();
  return components;
}

}  // namespace quorix
