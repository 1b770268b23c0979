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

// Sends the GET. Returns 0 once the node answered with any HTTP status.
Status SendRequest(int n, const FetchTarget& target, const FetchPlan& plan, const NodeQueryEnv& env,
                   NodeConnection& connection, bool secure) {
  LogSink& log = env.log;
  int32_t httpStatus = 0;
  if (plan.timed) log.TimerStart(n);
  bool sent = connection.RequestGet(target.path, target.timeoutMs, secure, &httpStatus);
  if (plan.timed) log.TimerStop(n, "Node [%d]: RequestGet", n);
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
  if (plan.timed) log.TimerStart(n);
  int64_t announced = connection.GetHttpResponseContentSize(length) == 0 ? length : -1;
  if (plan.timed) log.TimerStop(n, "Node [%d]: GetHttpResponseContentSize", n);
  if (plan.timed) {
    // Only timed: the parser judges an answer by what it holds, whatever its type.
    std::string contentType;
    log.TimerStart(n);
    connection.GetHttpResponseContentType(contentType);
    log.TimerStop(n, "Node [%d]: GetHttpResponseContentType", n);
  }
  std::string headers, received;
  if (plan.timed) log.TimerStart(n);
  bool read = connection.ReadResponse(headers, kHttpHeaderBytes, received, BodyCapacity(announced));
  if (plan.timed) log.TimerStop(n, "Node [%d]: Response", n);
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
  if (plan.timed) env.log.TimerStart(n);
  bool connected = connection->Connect(endpoint.host, endpoint.port);
  if (plan.timed) env.log.TimerStop(n, "Node [%d]: Connect", n);
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
