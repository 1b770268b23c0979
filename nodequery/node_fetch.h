// One document fetched from a node: connect, one GET, read the answer. The
// node's query and its description document are both fetched this way; each
// names its failures with its own codes and words.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "nodequery/address_policy.h"
#include "nodequery/query_url.h"
#include "platform/status.h"

namespace quorix {

// How one kind of fetch reports its failures.
struct FetchPlan {
  const char* connectFailure;  // "Node #N: <connectFailure> to \"host\""
  Status connectFailed;        // no connection, or one the reach refused
  Status sendFailed;
  Status noResponse;
  bool timed;         // each step logs its time in the node's timer slot
  bool reportStatus;  // an HTTP status other than 200 is logged (the answer is still read)
};

inline constexpr FetchPlan kQueryFetch{
    "Failed to send connect", kQueryConnectFailed, kQuerySendFailed, kQueryNoResponse, true, true};
inline constexpr FetchPlan kDescriptionFetch{
    "Failed to connect", kDescConnectFailed, kDescSendFailed, kDescNoResponse, false, false};

// Where a fetch goes and how far it may reach.
struct FetchTarget {
  std::string scheme;
  std::string host;  // as configured, may carry ":port"; named in the log lines
  std::string path;  // path and query
  uint32_t timeoutMs = 0;
  AddressReach reach = AddressReach::kPublicAfterFirstHop;
  int32_t hops = 1;
  // Runs once connected, before anything is sent; may set `path`. A status
  // other than 0 ends the fetch with that status, nothing sent. May be empty.
  std::function<Status(std::string& path)> beforeSend;
  // Set to NodeConnection::FirstHopLocal once the request was made. May be null.
  bool* firstHopLocal = nullptr;
};

// Fetches `target` for node `n` as `plan` says, the connection registered in
// the node's slot so that CloseAllNodeHandles can end it. Returns 0 with the
// answer's body (repaired UTF-8) in `body`, or an error code of the plan,
// kNodeLeadsToSelf, or what beforeSend returned; failures are logged.
Status FetchNodeDocument(int n, FetchTarget& target, const FetchPlan& plan, const NodeQueryEnv& env,
                         std::string& body);

}  // namespace quorix
