#include "nodequery/node_worker.h"

#include <memory>
#include <string>

#include "nodequery/http_client.h"
#include "nodequery/query_url.h"
#include "nodequery/response_parser.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace quorix {
namespace {

constexpr const char* kConnectFailure = "Failed to send connect";

// The transfer of one query once its URL is known. Returns 0 or a node error
// code; on success the body is in the run.
Status SendQuery(const NodeJob& job, const NodeRecord& node, NodeRun& run,
                 NodeConnection& connection, bool secure, LogSink& log) {
  int n = job.node;
  int32_t httpStatus = 0;
  log.TimerStart(n);
  bool sent = connection.RequestGet(run.requestPath, static_cast<uint32_t>(node.timeoutMs), secure,
                                    &httpStatus);
  log.TimerStop(n, "Node [%d]: RequestGet", n);
  if (!sent && httpStatus == kHttpLeadsToSelf) {
    LogLeadsToSelf(log, n, run.osHost + run.requestPath);
    return kNodeLeadsToSelf;
  }
  if (!sent && httpStatus == kHttpAddressRefused) {
    LogRefusedAddress(log, n, kConnectFailure, run.osHost);
    return kQueryConnectFailed;
  }
  if (!sent) {
    NodeQueryEnv env{log, job.options};
    LogSendFailure(env, n, run.osHost, run.requestPath, httpStatus, connection.FailureDetail());
    return kQuerySendFailed;
  }
  if (httpStatus != 200) {
    if (const char* text = HttpStatusText(httpStatus)) {
      log.Logf(kLogError, "Node #%d: HTTP Status %d returned (%s)", n, httpStatus, text);
    } else {
      log.Logf(kLogError, "Node #%d: HTTP Status %d returned.", n, httpStatus);
    }
  }

  uint32_t length = 0;
  log.TimerStart(n);
  int64_t announced = connection.GetHttpResponseContentSize(length) == 0 ? length : -1;
  log.TimerStop(n, "Node [%d]: GetHttpResponseContentSize", n);
  std::string contentType;
  log.TimerStart(n);
  if (connection.GetHttpResponseContentType(contentType) != 0) contentType = "text/html";
  log.TimerStop(n, "Node [%d]: GetHttpResponseContentType", n);

  std::string headers, body;
  log.TimerStart(n);
  bool read = connection.ReadResponse(headers, kHttpHeaderBytes, body, BodyCapacity(announced));
  log.TimerStop(n, "Node [%d]: Response", n);
  if (!read) {
    log.WriteWithDetail(kLogError, Format("Node #%d: No response", n),
                        Format("Node #%d: No response from \"%s%s\"", n, run.osHost.c_str(),
                               run.requestPath.c_str()));
    return kQueryNoResponse;
  }
  run.responseBody = CleanResponseBody(std::move(body));
  return kOk;
}

// Parses the stored answer. A usable answer's body is let go once parsed: its
// records hold all the request needs, and keeping it would double the
// request's memory for large answers.
Status ParseAnswer(const NodeJob& job, const NodeRecord& node, NodeRun& run, Channel& channel,
                   NodeTotals& totals, LogSink& log) {
  int n = job.node;
  log.TimerStart(n);
  Status parsed =
      ParseResponse(n, job.requested, node, run, channel, totals, log, job.options.parse);
  log.TimerStop(n, "Node [%d]: ParseResponse", n);
  if (parsed == kFewerItemsThanRequested) {
    log.Logf(kLogWarning,
             "Node #%d failed to return the requested number of items.  Requested = %d, Total = "
             "%d, Responded = %d",
             n, job.requested, channel.totalResults, channel.osTotalQueriedItems);
  }
  if (parsed == kOk || parsed == kFewerItemsThanRequested) std::string().swap(run.responseBody);
  return parsed;
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

  auto connection = std::make_shared<NodeConnection>(cancel);
  RegisterNodeHandles(n, connection);
  connection->SetAddressReach(ReachFor(node, run.descriptionHostLocal, run.descriptionResolved));
  connection->SetSelfAddress(job.request.selfHost, job.request.selfPath);
  connection->SetHops(job.request.hops);
  Endpoint endpoint = ChooseEndpoint(run.osScheme, run.osHost);
  log.TimerStart(n);
  bool connected = connection->Connect(endpoint.host, endpoint.port);
  log.TimerStop(n, "Node [%d]: Connect", n);
  if (!connected) {
    LogNodeHostFailure(log, n, kConnectFailure, run.osHost);
    result = kQueryConnectFailed;
  } else if (result == kOk) {
    start = NowTicks();
    if (job.onQueryStart) job.onQueryStart();
    result = BuildQueryString(n, node, run, job.request, job.requested, job.useCats,
                              job.searchMultiCats, log);
    if (result != kOk) {
      log.WriteWithDetail(
          kLogError, Format("Node #%d: Failed to build query string", n),
          Format("Node #%d: Failed to build query string for \"%s\"", n, run.osHost.c_str()));
    } else {
      result = SendQuery(job, node, run, *connection, endpoint.secure, log);
      if (result == kOk) result = ParseAnswer(job, node, run, channel, totals, log);
    }
  }
  connection->CloseNodeHandles();
  log.Logf(kLogInfo, "%s(%d): End HTTP Query for node #%d, time taken = %0.2f ms",
           "Quorix::QuerySlaves", __LINE__, n, TicksToMs(NowTicks() - start));
  return result;
}

}  // namespace quorix
