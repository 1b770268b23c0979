// The search program's components for one request, wired together.
#include <algorithm>

#include "nodequery/dispatch.h"
#include "nodequery/node_backoff.h"
#include "platform/clock.h"
#include "nodequery/settings_check.h"
#include "search/cache.h"
#include "search/page_resources.h"
#include "search/page_tail.h"
#include "search/request_components.h"
#include "search/results_page.h"
#include "search/search_form.h"

namespace quorix {
namespace {

// Asks the nodes and compares what they reported. Keeps the display values
// that the results heading shows.
class NodeQuery : public NodeQueryStep {
 public:
  explicit NodeQuery(RequestContext& context) : context_(context) {}

  void PerformVexaQuery(const Config& config, int32_t requested, NodeResults& results) override {
    const VexaQuery& query = context_.query;
    NodeQueryRequest request;
    request.escapedQuery = query.escapedQuery;
    request.wordMatchAll = query.wordMatchAll;
    request.sortDate = query.sortDate;
    request.cat = query.cat;
    request.nodeStartPage = query.nodeStartPage;
    DispatchOptions options;
    BackoffPolicy policy{std::max(config.nodeBackoffFailures, 1), config.nodeBackoffSecs};
    NodeBackoff backoff(CacheDirectoryPath(context_.programDir), policy, CalendarSeconds);
    if (policy.firstPauseSecs > 0) options.backoff = &backoff;
    request.hops = query.arrivedHops + 1;
    request.selfHost = query.selfHost;
    request.selfPath = query.selfPath;
    quorix::PerformVexaQuery(config, request, requested, results, context_.log, options);
    // The search log reports how many items the nodes returned.
    context_.query.matches = results.totals.queriedItems;
  }

  int CheckVexaNodeSettings(const Config& config, NodeResults& results) override {
    return quorix::CheckVexaNodeSettings(config, results, context_.log, display_);
  }

  const DisplayValues& display() const { return display_; }

 private:
  RequestContext& context_;
  DisplayValues display_;
};

}  // namespace

RequestComponents MakeRequestComponents(RequestContext& context) {
  RequestComponents components;
  auto resources = std::make_unique<PageResourceFiles>(context.page, context.programDir);
  auto nodes = std::make_unique<NodeQuery>(context);
  auto results = std::make_unique<ResultsPage>(context.page, context.config, context.query,
                                               context.terms, context.log, nodes->display());
  results->set_nodeResults(&context.results);
  components.cache = std::make_unique<CCache>(context.programDir, context.config, context.query,
                                              context.log, context.results, *results);
  components.tail = std::make_unique<PageTail>(context.page, context.config, context.query,
                                               resources->pageTemplate(), context.log);
  components.form = std::make_unique<SearchForm>(context.page);
  components.resources = std::move(resources);
  components.nodes = std::move(nodes);
  components.results = std::move(results);
  return components;
}

}  // namespace quorix
