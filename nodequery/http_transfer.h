// One transfer of the HTTP client: the transport handle of a NodeConnection,
// its set-up, and what the transport delivers (headers and a body kept within
// its limits). Internal to the HTTP client.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "nodequery/address_policy.h"
#include "nodequery/http_cancel.h"
#include "nodequery/http_client.h"
#include "platform/curl_library.h"

namespace quorix {

// One transfer's transport handle and what it received. The body is kept as
// if taken from the stream in whole pieces: one that passes the capacity ends
// it at the last whole piece that fit.
struct NodeConnection::Transfer {
  const CurlLibrary* api = nullptr;
  CURL* curl = nullptr;
  curl_slist* extraHeaders = nullptr;
  std::string endpointKey;  // the handle is kept for this endpoint between searches
  bool reusable = false;    // the last transfer left a connection worth keeping
  std::string host;
  uint16_t port = kHttpPort;
  bool requested = false;
  std::string headers;
  bool headersTooLong = false;
  std::string body;
  size_t capacity = kHttpUnsizedBodyBytes;
  bool capacityKnown = false;
  bool full = false;  // a piece did not fit: reading stopped
  const NodeConnection* owner = nullptr;
  CancelFlags cancel;
  AddressReach reach = AddressReach::kPublicAfterFirstHop;
  int responsesSeen = 0;  // status lines so far: every later connection is a redirect's
  bool addressRefused = false;
  bool firstHopLocal = false;
  bool leadsToSelf = false;
  char errorText[CURL_ERROR_SIZE] = {};

  ~Transfer();

  // Appends what the stream delivered straight to the body, the only copy
  // between the transport and the parser. False once the body is full.
  bool Take(std::string_view data);
  void ResetResponse();

  // Sets every option of a GET of `url`, bounded by the node's time-out.
  void SetRequestOptions(const std::string& url, uint32_t timeoutMs, int32_t hops,
                         const std::string& caFile);
  // Points the transport's callbacks at this transfer.
  void SetCallbacks();
  // 0 when the transfer that ended with `code` and `httpStatus` counts as an
  // answer, else the error code RequestGet reports.
  int32_t Failure(CURLcode code, long httpStatus) const;
  // Whether the connection of a transfer that ended with `code` may serve a
  // later one: it ended cleanly, without a redirect, on the endpoint's own connection.
  bool LeavesReusableConnection(CURLcode code) const;

  bool MayOpen(const sockaddr* address) const;

  static size_t OnHeader(char* data, size_t size, size_t count, void* self);
  static size_t OnBody(char* data, size_t size, size_t count, void* self);
  // Called once a request's connection is up, before the request is sent:
  // the first request tells where the configured host really is; a
  // redirect's must not lead back to this search.
  static int OnRequestReady(void* self, char* primaryIp, char*, int, int);
  // Every connection of a transfer, redirects' included, is opened here, after
  // the name is resolved and before anything is sent.
  static curl_socket_t OnOpenSocket(void* self, curlsocktype, curl_sockaddr* address);
};

// The URL of a GET of `objectName` (path and query) from `host` (without its
// port; an IPv6 address is bracketed here).
std::string TransferUrl(std::string_view host, uint16_t port, bool secure,
                        std::string_view objectName);

}  // namespace quorix
