// A small HTTP/1.0 server for the demo nodes: one thread per connection,
// GET only, answers close the connection.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace quorix::demo {

struct HttpRequest {
  std::string target;  // as received: path and query string
  std::string path;    // without the query string
  // Decoded parameter names and values, in request order per name.
  std::map<std::string, std::vector<std::string>> params;

  // First value of `name`, or `fallback`.
  std::string Param(const std::string& name, const std::string& fallback = "") const;
  // The last value of `name` that is a decimal number, or `fallback`.
  int IntParam(const std::string& name, int fallback) const;
};

struct HttpReply {
  int status = 200;
  std::string contentType = "text/xml; charset=utf-8";
  std::string body;
  std::string location;  // sent as a Location header when set
};

class MiniHttpServer {
 public:
  using Handler = std::function<HttpReply(const HttpRequest&)>;

  // Binds to 127.0.0.1:`port` (0 picks a free port). False with `error` set on failure.
  bool Listen(int port, std::string* error);
  int port() const { return port_; }
  // Serves until Stop() is called or SIGINT/SIGTERM arrives.
  void Serve(const Handler& handler);
  void Stop();

 private:
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
};

// Decodes "+" and %XX of a URL query component.
std::string UrlDecode(const std::string& text);
// Parses "a=1&b=2" into decoded name/value lists.
std::map<std::string, std::vector<std::string>> ParseQueryString(const std::string& query);

}  // namespace quorix::demo
