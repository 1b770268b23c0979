// A scriptable HTTP server for tests, listening on 127.0.0.1 on a free port.
//
// Each request path is answered as scripted with Answer(); unscripted paths
// get the default answer (404 "not found"). The server records every request
// target it receives. It is stopped, and every connection closed, by its
// destructor, so a test that creates one always stops it.
//
//   TestHttpServer server;
//   server.Answer("/search.cgi", HttpAnswer("<rss ...>"));
//   node.vexaHost = server.HostPort();  // "127.0.0.1:<port>"
//
// Connections are served one request each ("Connection: close") unless an
// answer keeps its connection open, every connection on a thread of its own.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace quorix::testing {

// One scripted answer. Build it with the chaining setters:
//   HttpAnswer("<html>gone</html>").Status(404).Type("text/html").Delay(100ms)
struct HttpAnswer {
  int status = 200;
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;  // besides the ones below
  std::string contentType = "text/xml";                      // empty: no Content-Type header
  bool sendContentLength = true;       // false: the body ends when the connection closes
  long long announcedLength = -1;      // when >= 0, announced instead of the body's real length
  std::chrono::milliseconds delay{0};  // before the answer is sent
  bool neverAnswer = false;            // keep the connection open, send nothing
  bool keepAlive = false;              // no "Connection: close"
  bool closeAnyway = false;            // with keepAlive: close all the same once sent

  HttpAnswer() = default;
  explicit HttpAnswer(std::string bodyText) : body(std::move(bodyText)) {}

  HttpAnswer& Status(int code) {
    status = code;
    return *this;
  }
  HttpAnswer& Type(std::string type) {
    contentType = std::move(type);
    return *this;
  }
  HttpAnswer& Header(std::string name, std::string value) {
    headers.emplace_back(std::move(name), std::move(value));
    return *this;
  }
  HttpAnswer& NoContentLength() {
    sendContentLength = false;
    return *this;
  }
  HttpAnswer& Announce(long long length) {
    announcedLength = length;
    return *this;
  }
  HttpAnswer& Delay(std::chrono::milliseconds wait) {
    delay = wait;
    return *this;
  }
  // Lets the client keep the connection for its next request; with
  // `closeAnyway` the server closes it after the answer without saying so.
  HttpAnswer& KeepAlive(bool closeAnyway = false) {
    keepAlive = true;
    this->closeAnyway = closeAnyway;
    return *this;
  }
  HttpAnswer& Never() {
    neverAnswer = true;
    return *this;
  }

  // A body of `size` bytes of a repeating pattern.
  static std::string Filler(size_t size);
};

class TestHttpServer {
 public:
  TestHttpServer();  // binds and starts listening; fails the test on error
  ~TestHttpServer();
  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  uint16_t port() const { return port_; }
  // "127.0.0.1:<port>": the host part of a node URL.
  std::string HostPort() const;
  // "http://127.0.0.1:<port>" followed by `path`.
  std::string Url(const std::string& path) const;

  // Scripts the answer for requests whose path (without the query) is `path`,
  // or, with a "?" in `path`, for requests to exactly that target.
  void Answer(const std::string& path, HttpAnswer answer);
  void SetDefaultAnswer(HttpAnswer answer);

  // Holds every answer until `requests` requests have arrived in all, or until
  // `deadline` has passed from this call, whichever comes first.
  void HoldAnswersUntil(size_t requests, std::chrono::milliseconds deadline);

  // Request targets (path and query) in arrival order.
  std::vector<std::string> RequestTargets() const;
  size_t RequestCount() const;
  // Connections accepted so far.
  size_t ConnectionCount() const;
  // The raw head (request line and headers) of the last request.
  std::string LastRequestHead() const;
  // True when every held answer was released because enough requests arrived.
  bool HoldReleasedByCount() const;

 private:
  void AcceptLoop();
  void Serve(int fd);
  // Answers one request on `fd`; true when the connection stays open for another.
  bool ServeOne(int fd);
  HttpAnswer FindAnswer(const std::string& target) const;
  void WaitForRelease(std::unique_lock<std::mutex>& lock);

  int listenFd_ = -1;
  int wakePipe_[2] = {-1, -1};
  uint16_t port_ = 0;
  std::thread acceptThread_;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool stopping_ = false;
  std::map<std::string, HttpAnswer> answers_;
  HttpAnswer defaultAnswer_;
  std::vector<std::string> targets_;
  std::string lastHead_;
  size_t holdUntil_ = 0;
  std::chrono::steady_clock::time_point holdDeadline_;
  bool releasedByCount_ = false;
  std::vector<int> openFds_;
  size_t connectionCount_ = 0;
  std::vector<std::thread> connections_;
};

}  // namespace quorix::testing
