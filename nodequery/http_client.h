// The HTTP client through which nodes are asked: one GET at a time per node.
//
// A NodeConnection is one node's handle slot. The node's worker owns it and
// uses it alone, so it takes no lock. Calling order of one transfer: Connect,
// RequestGet, GetHttpResponseContentSize, GetHttpResponseContentType,
// ReadResponse, CloseNodeHandles. Nothing here logs: failures come back as
// false or as an error code, and the callers word the messages.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "nodequery/address_policy.h"
#include "platform/status.h"

namespace quorix {

inline constexpr const char* kUserAgent = "Quorix";
inline constexpr const char* kHopsHeader = "X-Quorix-Hops";
inline constexpr uint16_t kHttpPort = 80;
inline constexpr uint16_t kHttpsPort = 443;

// Raw headers of a response, with their terminator, must fit in this many bytes.
inline constexpr size_t kHttpHeaderBytes = 65536;
// The most body a response can have (terminator included), whether the server
// announces a Content-Length or not: a node cannot make us hold more.
inline constexpr size_t kHttpUnsizedBodyBytes = 1048576;
// A body is taken in pieces of at most this many bytes.
inline constexpr size_t kHttpReadPieceBytes = 1023;
// Extra time given to the transport's own connect and stall limits beyond the
// node's time-out, so that they never end a transfer before the node's deadline.
inline constexpr int32_t kHttpLimitGraceMs = 250;

// Where a transfer goes: a host may carry its own ":port", which wins over the
// scheme's port. "https" gives port 443 and a secure transfer; every other
// scheme is treated as "http" (port 80).
struct Endpoint {
  std::string host;  // without the port
  uint16_t port = kHttpPort;
  bool secure = false;
};
Endpoint ChooseEndpoint(std::string_view scheme, std::string_view hostWithPort);

// Body capacity (terminator included) for a response: Content-Length + 1 when
// the server sent one, else kHttpUnsizedBodyBytes, and never more than that.
size_t BodyCapacity(int64_t contentLength);

// How many bytes of a body of `size` bytes are kept within `capacity` (room
// for a terminator included): the body is taken in consecutive pieces of
// kHttpReadPieceBytes, and the first piece that would not fit is dropped with
// everything after it.
size_t KeptByPieces(size_t size, size_t capacity);

// The text for an HTTP status, or nullptr for codes outside the table.
const char* HttpStatusText(int32_t status);

// The transport's message for an error code that RequestGet reported.
std::string HttpErrorText(int32_t code);

class NodeConnection {
 public:
  // `cancel`, when given, must outlive the connection; once it is set, a
  // transfer in progress ends as soon as possible and fails.
  explicit NodeConnection(const std::atomic<bool>* cancel = nullptr);
  ~NodeConnection();
  NodeConnection(const NodeConnection&) = delete;
  NodeConnection& operator=(const NodeConnection&) = delete;

  // Opens the slot for `host` (which may carry ":port"; `port` is used
  // otherwise). False, with the slot left closed, when the host is empty or
  // invalid or the transport cannot be set up.
  bool Connect(std::string_view host, uint16_t port);

  // Sends one GET for `objectName` (path and query) and receives the answer.
  // The node's time-out bounds the connection, every stall of sending or
  // receiving and the whole transfer; the request bypasses caches and follows
  // redirects. Over https the certificate chain and the host name (or IP
  // address) are checked. Connections that the reach forbids are not opened:
  // the request fails with kHttpAddressRefused; a redirect to this search's
  // own address (SetSelfAddress) is not sent: kHttpLeadsToSelf. True with the HTTP status in
  // `status` whatever it is (404 included); false with the transport's error
  // code in `status`. `status` may be null.
  bool RequestGet(std::string_view objectName, uint32_t timeoutMs, bool secure,
                  int32_t* status = nullptr);

  // The transport's own account of the last failure (a certificate's fault,
  // say), or "". It may name the host.
  std::string FailureDetail() const;

  // Kept across Connect. The default reach keeps later hops public unless the
  // first hop itself went to a local address.
  void SetAddressReach(AddressReach reach) { reach_ = reach; }
  // This search's own host (with any port) and path, where redirects may not
  // lead (LeadsToSelf); empty when unknown. Kept across Connect.
  void SetSelfAddress(std::string host, std::string path) {
    selfHost_ = std::move(host);
    selfPath_ = std::move(path);
  }
  // True when the last request's first connection went straight (not through
  // a proxy) to a local address (IsLocalNetworkAddress).
  bool FirstHopLocal() const;
  // Certificates of this CA file are trusted instead of the system's. Starts
  // as the process's (SetProcessCaFile).
  void SetCaFile(std::string path) { caFile_ = std::move(path); }
  // Every request carries "X-Quorix-Hops: <hops>", so that searches which
  // lead back to a Quorix can stop a loop. Kept across Connect.
  void SetHops(int32_t hops) { hops_ = hops; }

  // 0 with the announced Content-Length, or kHttpHeaderAbsent.
  int32_t GetHttpResponseContentSize(uint32_t& length) const;
  // 0 with the Content-Type text, or kHttpHeaderAbsent.
  int32_t GetHttpResponseContentType(std::string& type) const;

  // Hands over the raw headers (CRLF form) and the body, cut to `bodyCapacity`
  // bytes by the piece rule of KeptByPieces. The body is moved, not copied:
  // a second call hands over an empty body. True when the headers fit in
  // `headerCapacity` bytes and at least one body byte arrived.
  bool ReadResponse(std::string& headers, size_t headerCapacity, std::string& body,
                    size_t bodyCapacity);

  // Closes the transfer's handles; the slot can be connected again.
  void CloseNodeHandles();

  // Makes a transfer in progress on another thread end as soon as possible.
  void Cancel() { ownCancel_.store(true); }

  bool IsOpen() const;

 private:
  struct Transfer;
  bool Cancelled() const;

  const std::atomic<bool>* cancel_;
  std::atomic<bool> ownCancel_{false};
  AddressReach reach_ = AddressReach::kPublicAfterFirstHop;
  std::string caFile_;
  std::string selfHost_, selfPath_;
  int32_t hops_ = 1;
  std::unique_ptr<Transfer> transfer_;
};

// Certificates of this CA file are trusted instead of the system's by every
// connection made after the call; "" for the system's. Set once at start.
void SetProcessCaFile(std::string path);
const std::string& ProcessCaFile();

// Keeps each node's connection, its TLS session and its DNS answers for the
// next search (a FastCGI process). Called once at start; a CGI run keeps nothing.
void KeepConnectionsBetweenSearches();

// The process-wide table of node slots: every worker registers the connection
// it uses so that CloseAllNodeHandles can end whatever a worker left running.
// A slot holds no ownership: each connection is freed by its worker.
void ResetNodeHandles();
void RegisterNodeHandles(int node, const std::shared_ptr<NodeConnection>& connection);
// Cancels every registered connection that still exists and clears the slots.
void CloseAllNodeHandles();

}  // namespace quorix
