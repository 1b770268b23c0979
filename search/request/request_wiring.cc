// The search program's components for one request, wired together.
#include <algorithm>
#include <optional>

#include "nodequery/dispatch.h"
#include "nodequery/node_backoff.h"
#include "nodequery/settings_check.h"
#include "platform/clock.h"
#include "search/cache/cache.h"
#include "search/pipeline/pipeline.h"
#include "search/request/request_components.h"

namespace quorix {
namespace {

// Asks the nodes and compares what they reported.
class NodeQuery : public NodeQueryStep {
 public:
  NodeQuery(RequestContext& context, SiteStore& store) : context_(context), store_(store) {}

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
    std::optional<NodeBackoff> backoff;
    if (policy.firstPauseSecs > 0)
      options.backoff = &backoff.emplace(store_.store(), policy, CalendarSeconds);
    request.hops = query.arrivedHops + 1;
    request.selfHost = query.selfHost;
    request.selfPath = query.selfPath;
    NodeQueryLog log(context_.log, config);
    quorix::PerformVexaQuery(config, request, requested, results, log, options);
  }

  int CheckVexaNodeSettings(const Config& config, const NodeResults& results,
                            DisplayValues& display) override {
    NodeQueryLog log(context_.log, config);
    return quorix::CheckVexaNodeSettings(config, results, log, display);
  }

 private:
  RequestContext& context_;
  SiteStore& store_;
};

// The cache and the node queries, which every kind of output shares, with the
// output's own steps.
RequestComponents ComponentsWith(RequestContext& context, OutputSteps output) {
  RequestComponents components;
  components.store = std::make_unique<SiteStore>(context.programDir, context.config, context.log);
  components.resources = std::move(output.resources);
  components.form = std::move(output.form);
  components.cache =
      std::make_unique<CCache>(context.programDir, context.config, context.query, context.log,
                               [store = components.store.get()] { return store->shared(); });
  components.nodes = std::make_unique<NodeQuery>(context, *components.store);
  components.results = std::move(output.results);
  components.tail = std::move(output.tail);
  components.rules = output.rules;
  return components;
}

}  // namespace

RequestComponents MakeRequestComponents(RequestContext& context) {
  return ComponentsWith(context, MakePageSteps(context.page, context.config, context.query,
                                               context.terms, context.log, context.programDir));
}

RequestComponents MakeAnswerComponents(RequestContext& context, AnswerFormat format) {
  return ComponentsWith(context, MakeAnswerSteps(format, context.page, context.config,
                                                 context.query, context.log, context.programDir));
}

}  // namespace quorix
