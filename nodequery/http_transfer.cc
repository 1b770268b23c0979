#include "nodequery/http_transfer.h"

#include <sys/socket.h>

#include <algorithm>

#include "nodequery/http_handle_pool.h"

namespace quorix {
namespace {

// Headers kept while receiving; anything longer fails ReadResponse anyway.
constexpr size_t kHeaderKeepLimit = kHttpHeaderBytes;
constexpr long kMaxRedirects = 10;

bool StartsWithHttpVersion(std::string_view line) { return line.substr(0, 5) == "HTTP/"; }

// What a kept handle's idle connection was opened under: its endpoint and the
// rules its address was checked against.
std::string EndpointKey(const std::string& host, uint16_t port, AddressReach reach,
                        const std::string& caFile) {
  return host + '\n' + std::to_string(port) + '\n' + std::to_string(static_cast<int>(reach)) +
         '\n' + caFile;
}

}  // namespace

Endpoint ChooseEndpoint(std::string_view scheme, std::string_view hostWithPort) {
  Endpoint endpoint;
  endpoint.secure = scheme == "https";
  endpoint.port = endpoint.secure ? kHttpsPort : kHttpPort;
  uint16_t port = endpoint.port;
  if (SplitHostPort(hostWithPort, endpoint.host, port))
    endpoint.port = port;
  else
    endpoint.host = std::string(hostWithPort);  // Connect refuses it
  return endpoint;
}

size_t BodyCapacity(int64_t contentLength) {
  if (contentLength < 0 || contentLength >= static_cast<int64_t>(kHttpUnsizedBodyBytes))
    return kHttpUnsizedBodyBytes;
  return static_cast<size_t>(contentLength) + 1;
}

size_t KeptByPieces(size_t size, size_t capacity) {
  if (capacity == 0) return 0;
  if (size <= capacity - 1) return size;
  return (capacity - 1) / kHttpReadPieceBytes * kHttpReadPieceBytes;
}

const char* HttpStatusText(int32_t status) {
  switch (status) {
    case 300:
      return "Multiple Choices server error";
    case 301:
      return "Moved Permanently";
    case 302:
    case 303:
      return "Server redirection";
    case 401:
      return "Access denied";
    case 403:
      return "Forbidden";
    case 404:
      return "File not found";
    case 408:
      return "Connection timed out";
    case 500:
      return "Internal server error";
    default:
      return nullptr;
  }
}

std::string HttpErrorText(int32_t code) {
  if (code == kHttpNoRequest) return "No request handle";
  if (code == kHttpAddressRefused) return "Address not allowed for this node";
  if (code == kHttpLeadsToSelf) return "Address leads back to this search";
  const CurlLibrary* api = Curl();
  if (!api) return "HTTP library not available: " + CurlLoadError();
  return api->easy_strerror(static_cast<CURLcode>(code));
}

NodeConnection::Transfer::~Transfer() {
  if (curl) GiveBackHandle(*api, endpointKey, curl, reusable);
  if (extraHeaders) api->slist_free_all(extraHeaders);
}

bool NodeConnection::Transfer::Take(std::string_view data) {
  size_t room = capacity == 0 ? 0 : capacity - 1 - body.size();
  if (data.size() <= room) {
    body.append(data);
    return true;
  }
  size_t kept = KeptByPieces(body.size() + data.size(), capacity);
  body.append(data.substr(0, room));
  body.resize(kept);
  full = true;
  return false;
}

void NodeConnection::Transfer::ResetResponse() {
  responsesSeen = 0;
  addressRefused = false;
  firstHopLocal = false;
  leadsToSelf = false;
  errorText[0] = '\0';
  headers.clear();
  headersTooLong = false;
  body.clear();
  capacityKnown = false;
  capacity = kHttpUnsizedBodyBytes;
  full = false;
}

size_t NodeConnection::Transfer::OnHeader(char* data, size_t size, size_t count, void* self) {
  auto* transfer = static_cast<Transfer*>(self);
  std::string_view line(data, size * count);
  // Each response of a redirect chain (or an interim 1xx) starts over.
  if (StartsWithHttpVersion(line)) {
    ++transfer->responsesSeen;
    transfer->headers.clear();
    transfer->headersTooLong = false;
  }
  if (transfer->headers.size() + line.size() > kHeaderKeepLimit)
    transfer->headersTooLong = true;
  else
    transfer->headers.append(line);
  return size * count;
}

size_t NodeConnection::Transfer::OnBody(char* data, size_t size, size_t count, void* self) {
  auto* transfer = static_cast<Transfer*>(self);
  if (!transfer->capacityKnown) {
    curl_off_t length = -1;
    transfer->api->easy_getinfo(transfer->curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    transfer->capacity = BodyCapacity(length);
    transfer->capacityKnown = true;
    // Grown once: appending as it arrives would double the buffer past it.
    transfer->body.reserve(transfer->capacity - 1);
  }
  // Returning less than offered stops the transfer: the body is complete.
  if (transfer->full || !transfer->Take(std::string_view(data, size * count))) return 0;
  return size * count;
}

bool NodeConnection::Transfer::MayOpen(const sockaddr* address) const {
  return MayConnect(reach, responsesSeen == 0, firstHopLocal, IsLocalNetworkAddress(address));
}

int NodeConnection::Transfer::OnRequestReady(void* self, char* primaryIp, char*, int, int) {
  auto* t = static_cast<Transfer*>(self);
  if (t->responsesSeen == 0) {
    t->firstHopLocal = primaryIp && DirectConnection(t->host) && IsLocalAddressLiteral(primaryIp);
    return CURL_PREREQFUNC_OK;
  }
  char* url = nullptr;
  t->api->easy_getinfo(t->curl, CURLINFO_EFFECTIVE_URL, &url);
  t->leadsToSelf = url && UrlLeadsToSelf(t->owner->selfHost_, t->owner->selfPath_, url);
  return t->leadsToSelf ? CURL_PREREQFUNC_ABORT : CURL_PREREQFUNC_OK;
}

curl_socket_t NodeConnection::Transfer::OnOpenSocket(void* self, curlsocktype,
                                                     curl_sockaddr* address) {
  auto* transfer = static_cast<Transfer*>(self);
  if (!transfer->MayOpen(&address->addr)) {
    transfer->addressRefused = true;
    return CURL_SOCKET_BAD;
  }
  return socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

void NodeConnection::Transfer::SetRequestOptions(const std::string& url, uint32_t timeoutMs,
                                                 int32_t hops, const std::string& caFile) {
  // The transport's own limits sit just past the node's time-out: the caller's
  // deadline decides, these only bound a transfer that nobody watches. The
  // whole transfer, redirects included, is bounded too, so a node that trickles
  // its answer cannot hold a direct query for longer than its time-out.
  long limitMs = static_cast<long>(std::min<uint64_t>(timeoutMs, 86400000u)) + kHttpLimitGraceMs;
  if (!extraHeaders) {
    extraHeaders = api->slist_append(nullptr, "Cache-Control: no-cache");
    extraHeaders = api->slist_append(extraHeaders, "Pragma: no-cache");
    std::string hopsLine = std::string(kHopsHeader) + ": " + std::to_string(hops);
    extraHeaders = api->slist_append(extraHeaders, hopsLine.c_str());
  }
  api->easy_setopt(curl, CURLOPT_URL, url.c_str());
  api->easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  api->easy_setopt(curl, CURLOPT_USERAGENT, kUserAgent);
  api->easy_setopt(curl, CURLOPT_HTTPHEADER, extraHeaders);
  api->easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  api->easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  api->easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
  api->easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  api->easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  api->easy_setopt(curl, CURLOPT_NOPROXY, kDirectHosts);
  api->easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, limitMs);
  api->easy_setopt(curl, CURLOPT_TIMEOUT_MS, limitMs);
  api->easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  api->easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, (limitMs + 999) / 1000);
  api->easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  api->easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!caFile.empty()) api->easy_setopt(curl, CURLOPT_CAINFO, caFile.c_str());
  api->easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
  api->easy_setopt(curl, CURLOPT_MAXCONNECTS, 1L);
  UseSharedCaches(*api, curl);
}

void NodeConnection::Transfer::SetCallbacks() {
  api->easy_setopt(curl, CURLOPT_OPENSOCKETFUNCTION, &Transfer::OnOpenSocket);
  api->easy_setopt(curl, CURLOPT_OPENSOCKETDATA, this);
  api->easy_setopt(curl, CURLOPT_PREREQFUNCTION, &Transfer::OnRequestReady);
  api->easy_setopt(curl, CURLOPT_PREREQDATA, this);
  api->easy_setopt(curl, CURLOPT_HEADERFUNCTION, &Transfer::OnHeader);
  api->easy_setopt(curl, CURLOPT_HEADERDATA, this);
  api->easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Transfer::OnBody);
  api->easy_setopt(curl, CURLOPT_WRITEDATA, this);
  api->easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  api->easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &EndWhenCancelled);
  api->easy_setopt(curl, CURLOPT_XFERINFODATA, &cancel);
}

int32_t NodeConnection::Transfer::Failure(CURLcode code, long httpStatus) const {
  if (leadsToSelf) return kHttpLeadsToSelf;
  if (addressRefused && code != CURLE_OK) return kHttpAddressRefused;
  // A failure after the answer began still counts as an answer: the body is
  // whatever arrived, as when a read ends early.
  bool answered = code == CURLE_OK || (code == CURLE_WRITE_ERROR && full) ||
                  (httpStatus > 0 && !headers.empty() &&
                   (code == CURLE_PARTIAL_FILE || code == CURLE_RECV_ERROR ||
                    code == CURLE_OPERATION_TIMEDOUT || code == CURLE_GOT_NOTHING));
  if (!answered || httpStatus <= 0) return code == CURLE_OK ? CURLE_GOT_NOTHING : code;
  return 0;
}

bool NodeConnection::Transfer::LeavesReusableConnection(CURLcode code) const {
  return code == CURLE_OK && responsesSeen <= 1 && !addressRefused && !leadsToSelf;
}

std::string TransferUrl(std::string_view host, uint16_t port, bool secure,
                        std::string_view objectName) {
  bool v6 = host.find(':') != std::string_view::npos && host.front() != '[';
  std::string url = std::string(secure ? "https://" : "http://") + (v6 ? "[" : "") +
                    std::string(host) + (v6 ? "]" : "") + ":" + std::to_string(port);
  if (objectName.empty() || objectName.front() != '/') url += '/';
  url.append(objectName);
  return url;
}

NodeConnection::NodeConnection(const std::atomic<bool>* cancel)
    : cancel_(cancel), caFile_(ProcessCaFile()) {}

NodeConnection::~NodeConnection() = default;

bool NodeConnection::IsOpen() const { return transfer_ != nullptr; }

bool NodeConnection::FirstHopLocal() const { return transfer_ && transfer_->firstHopLocal; }

bool NodeConnection::Connect(std::string_view host, uint16_t port) {
  CloseNodeHandles();
  auto transfer = std::make_unique<Transfer>();
  transfer->port = port;
  if (!SplitHostPort(host, transfer->host, transfer->port) || transfer->host.empty() ||
      transfer->host.find_first_of("/?#@ \t\r\n") != std::string::npos)
    return false;
  transfer->api = Curl();
  if (!transfer->api) return false;
  transfer->endpointKey = EndpointKey(transfer->host, transfer->port, reach_, caFile_);
  transfer->curl = TakeHandle(*transfer->api, transfer->endpointKey);
  if (!transfer->curl) return false;
  transfer->owner = this;
  transfer->cancel = CancelFlags{cancel_, &ownCancel_};
  transfer->reach = reach_;
  transfer_ = std::move(transfer);
  return true;
}

bool NodeConnection::RequestGet(std::string_view objectName, uint32_t timeoutMs, bool secure,
                                int32_t* status) {
  auto fail = [status](int32_t code) {
    if (status) *status = code;
    return false;
  };
  if (!transfer_) return fail(kHttpNoRequest);
  Transfer& t = *transfer_;
  t.ResetResponse();
  t.reusable = false;
  t.requested = true;
  t.api->easy_reset(t.curl);
  t.SetRequestOptions(TransferUrl(t.host, t.port, secure, objectName), timeoutMs, hops_, caFile_);
  t.SetCallbacks();

  if (Cancelled()) return fail(CURLE_ABORTED_BY_CALLBACK);
  CURLcode code = t.api->easy_perform(t.curl);
  long httpStatus = 0;
  t.api->easy_getinfo(t.curl, CURLINFO_RESPONSE_CODE, &httpStatus);
  if (Cancelled()) return fail(CURLE_ABORTED_BY_CALLBACK);
  t.reusable = t.LeavesReusableConnection(code);
  if (int32_t failure = t.Failure(code, httpStatus); failure != 0) return fail(failure);
  if (status) *status = static_cast<int32_t>(httpStatus);
  return true;
}

int32_t NodeConnection::GetHttpResponseContentSize(uint32_t& length) const {
  if (!transfer_ || !transfer_->requested) return kHttpHeaderAbsent;
  curl_off_t value = -1;
  if (transfer_->api->easy_getinfo(transfer_->curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &value) !=
          CURLE_OK ||
      value < 0 || value > UINT32_MAX)
    return kHttpHeaderAbsent;
  length = static_cast<uint32_t>(value);
  return 0;
}

int32_t NodeConnection::GetHttpResponseContentType(std::string& type) const {
  if (!transfer_ || !transfer_->requested) return kHttpHeaderAbsent;
  char* value = nullptr;
  if (transfer_->api->easy_getinfo(transfer_->curl, CURLINFO_CONTENT_TYPE, &value) != CURLE_OK ||
      !value)
    return kHttpHeaderAbsent;
  type = value;
  return 0;
}

std::string NodeConnection::FailureDetail() const {
  return transfer_ ? std::string(transfer_->errorText) : std::string();
}

bool NodeConnection::ReadResponse(std::string& headers, size_t headerCapacity, std::string& body,
                                  size_t bodyCapacity) {
  body.clear();
  headers.clear();
  if (!transfer_ || !transfer_->requested) return false;
  body = std::move(transfer_->body);
  transfer_->body.clear();
  body.resize(KeptByPieces(body.size(), bodyCapacity));
  const std::string& raw = transfer_->headers;
  if (transfer_->headersTooLong || raw.size() + 1 > headerCapacity) return false;
  headers = raw;
  return !body.empty();
}

void NodeConnection::CloseNodeHandles() { transfer_.reset(); }

}  // namespace quorix
