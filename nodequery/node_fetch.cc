#include "nodequery/node_fetch.h"

#include <memory>

#include "nodequery/http_client.h"
#include "nodequery/response_parser.h"
#include "platform/text.h"

namespace quorix {
namespace {

void LogHttpStatus(LogSink& log, int n, int32_t httpStatus) {
  if (const char* text = HttpStatusText(httpStatus)) {
    log.Logf(kLogError, "Node #%d: HTTP Status %d returned (%s)", n, httpStatus, text);
  } else {
    log.Logf(kLogError, "Node #%d: HTTP Status %d returned.", n, httpStatus);
  }
}

// Runs `step`, timed in the node's timer slot as "Node [n]: <label>" when the
// plan times its steps.
template <typename Step>
auto TimedStep(bool timed, LogSink& log, int n, const char* label, Step step) {
  if (!timed) return step();
  ScopedTimer timer(log, n, "Node [%d]: %s", n, label);
  return step();
}

// Sends the GET. Returns 0 once the node answered with any HTTP status.
Status SendRequest(int n, const FetchTarget& target, const FetchPlan& plan, const NodeQueryEnv& env,
                   NodeConnection& connection, bool secure) {
  LogSink& log = env.log;
  int32_t httpStatus = 0;
  bool sent = TimedStep(plan.timed, log, n, "RequestGet", [&] {
    return connection.RequestGet(target.path, target.timeoutMs, secure, &httpStatus);
  });
  if (target.firstHopLocal) *target.firstHopLocal = connection.FirstHopLocal();
  if (!sent && httpStatus == kHttpLeadsToSelf) {
    LogLeadsToSelf(log, n, target.host + target.path);
    return kNodeLeadsToSelf;
  }
  if (!sent && httpStatus == kHttpAddressRefused) {
    LogRefusedAddress(log, n, plan.connectFailure, target.host);
    return plan.connectFailed;
  }
  if (!sent) {
    LogSendFailure(env, n, target.host, target.path, httpStatus, connection.FailureDetail());
    return plan.sendFailed;
  }
  if (plan.reportStatus && httpStatus != 200) LogHttpStatus(log, n, httpStatus);
  return kOk;
}

// Takes the answer's body, within the length the node announced.
Status ReadAnswer(int n, const FetchTarget& target, const FetchPlan& plan, LogSink& log,
                  NodeConnection& connection, std::string& body) {
  uint32_t length = 0;
  int64_t announced = TimedStep(plan.timed, log, n, "GetHttpResponseContentSize", [&] {
    return connection.GetHttpResponseContentSize(length) == 0 ? int64_t{length} : int64_t{-1};
  });
  if (plan.timed) {
    // Only timed: the parser judges an answer by what it holds, whatever its type.
    std::string contentType;
    TimedStep(true, log, n, "GetHttpResponseContentType",
              [&] { return connection.GetHttpResponseContentType(contentType); });
  }
  std::string headers, received;
  bool read = TimedStep(plan.timed, log, n, "Response", [&] {
    return connection.ReadResponse(headers, kHttpHeaderBytes, received, BodyCapacity(announced));
  });
  if (!read) {
    log.WriteWithDetail(
        kLogError, Format("Node #%d: No response", n),
        Format("Node #%d: No response from \"%s%s\"", n, target.host.c_str(), target.path.c_str()));
    return plan.noResponse;
  }
  body = CleanResponseBody(std::move(received));
  return kOk;
}

}  // namespace

Status FetchNodeDocument(int n, FetchTarget& target, const FetchPlan& plan, const NodeQueryEnv& env,
                         std::string& body) {
  auto connection = std::make_shared<NodeConnection>(env.cancel);
  RegisterNodeHandles(n, connection);
  connection->SetAddressReach(target.reach);
  connection->SetSelfAddress(std::string(env.selfHost), std::string(env.selfPath));
  connection->SetHops(target.hops);
  Endpoint endpoint = ChooseEndpoint(target.scheme, target.host);
  bool connected = TimedStep(plan.timed, env.log, n, "Connect",
                             [&] { return connection->Connect(endpoint.host, endpoint.port); });
  if (!connected) {
    LogNodeHostFailure(env.log, n, plan.connectFailure, target.host);
    return plan.connectFailed;
  }
  if (target.beforeSend) {
    if (Status prepared = target.beforeSend(target.path); prepared != kOk) return prepared;
  }
  Status status = SendRequest(n, target, plan, env, *connection, endpoint.secure);
  if (status == kOk) status = ReadAnswer(n, target, plan, env.log, *connection, body);
  connection->CloseNodeHandles();
  return status;
}

}  // namespace quorix
