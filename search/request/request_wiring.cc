// The search program's components for one request, wired together.
#include <algorithm>
#include <chrono>
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

NodeQueryRequest NodeRequestOf(const VexaQuery& query) {
  NodeQueryRequest request;
  request.escapedQuery = query.escapedQuery;
  request.wordMatchAll = query.wordMatchAll;
  request.sortDate = query.sortDate;
  request.cat = query.cat;
  request.nodeStartPage = query.nodeStartPage;
  request.hops = query.arrivedHops + 1;
  request.selfHost = query.selfHost;
  request.selfPath = query.selfPath;
  return request;
}

BackoffPolicy BackoffPolicyOf(const Config& config) {
  return {std::max(config.nodeBackoffFailures, 1), config.nodeBackoffSecs};
}

// The nodes still answering at the page deadline. Their outcome is recorded
// in the store of whichever thread collects them, through a connection of
// its own.
class DispatchedLateAnswers : public LateAnswers {
 public:
  DispatchedLateAnswers(std::unique_ptr<LateNodeAnswers> late, const Config& config,
                        std::string programDir)
      : late_(std::move(late)), config_(config), programDir_(std::move(programDir)) {}

  uint64_t PendingMask() const override { return late_->PendingMask(); }
  void Collect(NodeResults& results, LogSink& log) override {
    WithBackoff(log, [&](NodeBackoff* backoff) { late_->Collect(results, backoff, log); });
  }
  void Drop(const NodeResults& results, LogSink& log) override {
    WithBackoff(log, [&](NodeBackoff* backoff) { late_->Drop(results, backoff, log); });
  }

 private:
  template <typename Use>
  void WithBackoff(LogSink& log, Use use) {
    const BackoffPolicy policy = BackoffPolicyOf(config_);
    if (policy.firstPauseSecs <= 0) return use(nullptr);
    SiteStore store(programDir_, config_, log);
    NodeBackoff backoff(store.store(), policy, CalendarSeconds);
    use(&backoff);
  }

  std::unique_ptr<LateNodeAnswers> late_;
  const Config config_;
  const std::string programDir_;
};

// Asks the nodes and compares what they reported.
class NodeQuery : public NodeQueryStep {
 public:
  NodeQuery(RequestContext& context, SiteStore& store) : context_(context), store_(store) {}

  void PerformVexaQuery(const Config& config, int32_t requested, NodeResults& results) override {
    Dispatch(config,
             [&](const NodeQueryRequest& request, LogSink& log, const DispatchOptions& options) {
               quorix::PerformVexaQuery(config, request, requested, results, log, options);
             });
  }

  std::unique_ptr<LateAnswers> PerformVexaQueryBy(int64_t deadlineTicks, const Config& config,
                                                  int32_t requested,
                                                  NodeResults& results) override {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds((deadlineTicks - NowTicks()) / TicksPerMs());
    std::unique_ptr<LateNodeAnswers> late;
    Dispatch(config,
             [&](const NodeQueryRequest& request, LogSink& log, const DispatchOptions& options) {
               quorix::PerformVexaQueryBy(deadline, config, request, requested, results, log,
                                          options, &late);
             });
    if (!late) return nullptr;
    return std::make_unique<DispatchedLateAnswers>(std::move(late), config, context_.programDir);
  }

  int CheckVexaNodeSettings(const Config& config, const NodeResults& results,
                            DisplayValues& display) override {
    NodeQueryLog log(context_.log, config);
    return quorix::CheckVexaNodeSettings(config, results, log, display);
  }

 private:
  template <typename Run>
  void Dispatch(const Config& config, Run run) {
    DispatchOptions options;
    const BackoffPolicy policy = BackoffPolicyOf(config);
    std::optional<NodeBackoff> backoff;
    if (policy.firstPauseSecs > 0)
      options.backoff = &backoff.emplace(store_.store(), policy, CalendarSeconds);
    NodeQueryLog log(context_.log, config);
    run(NodeRequestOf(context_.query), log, options);
  }

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
