// The search program's components for one request, wired together.
#include <algorithm>

#include "nodequery/dispatch.h"
#include "nodequery/node_backoff.h"
#include "nodequery/settings_check.h"
#include "platform/clock.h"
#include "search/cache.h"
#include "search/page_resources.h"
#include "search/page_tail.h"
#include "search/request_components.h"
#include "search/results_page.h"
#include "search/search_form.h"

namespace quorix {
namespace {

// Asks the nodes and compares what they reported.
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
  }

  int CheckVexaNodeSettings(const Config& config, const NodeResults& results,
                            DisplayValues& display) override {
    return quorix::CheckVexaNodeSettings(config, results, context_.log, display);
  }

 private:
  RequestContext& context_;
};

}  // namespace

RequestComponents MakeRequestComponents(RequestContext& context) {
  RequestComponents components;
  auto resources = std::make_unique<PageResourceFiles>(context.page, context.programDir);
  components.cache =
      std::make_unique<CCache>(context.programDir, context.config, context.query, context.log);
  components.tail = std::make_unique<PageTail>(context.page, context.config, context.query,
                                               resources->pageTemplate(), context.log);
  components.form = std::make_unique<SearchForm>(context.page);
  components.resources = std::move(resources);
  components.nodes = std::make_unique<NodeQuery>(context);
  components.results = std::make_unique<ResultsPage>(context.page, context.config, context.query,
                                                     context.terms, context.log);
  return components;
}

}  // namespace quorix
