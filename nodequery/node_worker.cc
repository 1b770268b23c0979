#include "nodequery/node_worker.h"

#include <memory>
#include <string>

#include "nodequery/node_fetch.h"
#include "nodequery/query_url.h"
#include "nodequery/response_parser.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace quorix {
namespace {

// Parses the stored answer. A usable answer's body is let go once parsed: its
// records hold all the request needs, and keeping it would double the
// request's memory for large answers.
Status ParseAnswer(const NodeJob& job, const NodeRecord& node, NodeRun& run, Channel& channel,
                   NodeTotals& totals, LogSink& log) {
  int n = job.node;
  Status parsed;
  {
    ScopedTimer timer(log, n, "Node [%d]: ParseResponse", n);
    parsed = ParseResponse(n, job.requested, node, run, channel, totals, log, job.options.parse);
  }
  if (parsed == kFewerItemsThanRequested) {
    log.Logf(kLogWarning,
             "Node #%d failed to return the requested number of items.  Requested = %d, Total = "
             "%d, Responded = %d",
             n, job.requested, channel.totalResults, channel.osTotalQueriedItems);
  }
  if (parsed == kOk || parsed == kFewerItemsThanRequested) std::string().swap(run.responseBody);
  return parsed;
}

// The query's target once its URL is known. Once connected, the query string
// is built; a Vexa node whose description failed (`resolved`) keeps that
// failure and is not asked. `start` is set when the query itself starts.
FetchTarget QueryTarget(const NodeJob& job, const NodeRecord& node, NodeRun& run, Status resolved,
                        int64_t& start, LogSink& log) {
  FetchTarget target;
  target.scheme = run.osScheme;
  target.host = run.osHost;
  target.timeoutMs = static_cast<uint32_t>(node.timeoutMs);
  target.reach = ReachFor(node, run.descriptionHostLocal, run.descriptionResolved);
  target.hops = job.request.hops;
  target.beforeSend = [&job, &node, &run, resolved, &start, &log](std::string& path) {
    if (resolved != kOk) return resolved;
    int n = job.node;
    start = NowTicks();
    if (job.onQueryStart) job.onQueryStart();
    Status built = BuildQueryString(n, node, run, job.request, job.requested, job.useCats,
                                    job.searchMultiCats, log);
    if (built != kOk) {
      log.WriteWithDetail(
          kLogError, Format("Node #%d: Failed to build query string", n),
          Format("Node #%d: Failed to build query string for \"%s\"", n, run.osHost.c_str()));
      return built;
    }
    path = run.requestPath;
    return kOk;
  };
  return target;
}

}  // namespace

Status QuerySlaves(const NodeJob& job, const NodeRecord& node, NodeRun& run, Channel& channel,
                   NodeTotals& totals, LogSink& log, const std::atomic<bool>* cancel) {
  int n = job.node;
  int64_t start = NowTicks();
  run = NodeRun();
  if (node.disabled) return kOk;

  NodeQueryEnv env{log, job.options, cancel, job.request.selfHost, job.request.selfPath};
  Status result = ResolveQueryUrl(n, node, run, env);
  if (result != kOk && (IsOpenSearchNode(node) || result == kQueryUrlEmpty)) return result;

  FetchTarget target = QueryTarget(job, node, run, result, start, log);
  result = FetchNodeDocument(n, target, kQueryFetch, env, run.responseBody);
  if (result == kOk) result = ParseAnswer(job, node, run, channel, totals, log);
  log.Logf(kLogInfo, "%s(%d): End HTTP Query for node #%d, time taken = %0.2f ms",
           "Quorix::QuerySlaves", __LINE__, n, TicksToMs(NowTicks() - start));
  return result;
}

}  // namespace quorix
