#include "tools/demo/mini_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace quorix::demo {
namespace {

volatile sig_atomic_t gSignalled = 0;
void OnSignal(int) { gSignalled = 1; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

const char* StatusText(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 302:
      return "Found";
    case 404:
      return "Not Found";
    case 400:
      return "Bad Request";
    default:
      return "Error";
  }
}

void SendAll(int fd, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
}

// Reads up to the end of the request head (bounded), then answers once.
void HandleConnection(int fd, const MiniHttpServer::Handler& handler) {
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
    pollfd pfd{fd, POLLIN, 0};
    if (poll(&pfd, 1, 5000) <= 0) break;
    ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    head.append(buffer, static_cast<size_t>(n));
  }
  HttpReply reply;
  size_t lineEnd = head.find("\r\n");
  std::string line = head.substr(0, lineEnd);
  size_t space1 = line.find(' ');
  size_t space2 = line.find(' ', space1 == std::string::npos ? 0 : space1 + 1);
  if (line.compare(0, 4, "GET ") != 0 || space2 == std::string::npos) {
    reply.status = 400;
    reply.contentType = "text/plain";
    reply.body = "Only GET is supported.\n";
  } else {
    std::string target = line.substr(space1 + 1, space2 - space1 - 1);
    HttpRequest request;
    request.target = target;
    size_t question = target.find('?');
    request.path = target.substr(0, question);
    if (question != std::string::npos)
      request.params = ParseQueryString(target.substr(question + 1));
    reply = handler(request);
  }
  std::string response = "HTTP/1.0 " + std::to_string(reply.status) + " " +
                         StatusText(reply.status) + "\r\nContent-Type: " + reply.contentType +
                         "\r\nContent-Length: " + std::to_string(reply.body.size()) +
                         (reply.location.empty() ? "" : "\r\nLocation: " + reply.location) +
                         "\r\nConnection: close\r\n\r\n" + reply.body;
  SendAll(fd, response);
  close(fd);
}

}  // namespace

std::string HttpRequest::Param(const std::string& name, const std::string& fallback) const {
  auto it = params.find(name);
  return it == params.end() || it->second.empty() ? fallback : it->second.front();
}

int HttpRequest::IntParam(const std::string& name, int fallback) const {
  // The last value that is a number wins: the front end repeats vexa_and after
  // its template, whose own vexa_and holds an unfilled placeholder.
  auto it = params.find(name);
  if (it == params.end()) return fallback;
  int result = fallback;
  for (const std::string& value : it->second) {
    char* end = nullptr;
    long number = std::strtol(value.c_str(), &end, 10);
    if (end != value.c_str()) result = static_cast<int>(number);
  }
  return result;
}

std::string UrlDecode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      out += ' ';
    } else if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
               HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::map<std::string, std::vector<std::string>> ParseQueryString(const std::string& query) {
  std::map<std::string, std::vector<std::string>> params;
  size_t start = 0;
  while (start <= query.size()) {
    size_t amp = query.find('&', start);
    std::string pair =
        query.substr(start, amp == std::string::npos ? std::string::npos : amp - start);
    if (!pair.empty()) {
      size_t eq = pair.find('=');
      std::string name = UrlDecode(pair.substr(0, eq));
      std::string value = eq == std::string::npos ? "" : UrlDecode(pair.substr(eq + 1));
      params[name].push_back(value);
    }
    if (amp == std::string::npos) break;
    start = amp + 1;
  }
  return params;
}

bool MiniHttpServer::Listen(int port, std::string* error) {
  listenFd_ = socket(AF_INET, SOCK_STREAM, 0);
  if (listenFd_ < 0) {
    *error = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  int yes = 1;
  setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listenFd_, 64) != 0) {
    *error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
    close(listenFd_);
    listenFd_ = -1;
    return false;
  }
  socklen_t length = sizeof address;
  getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  return true;
}

void MiniHttpServer::Serve(const Handler& handler) {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  while (!stopping_ && !gSignalled) {
    pollfd pfd{listenFd_, POLLIN, 0};
    if (poll(&pfd, 1, 200) <= 0) continue;
    int fd = accept(listenFd_, nullptr, nullptr);
    if (fd < 0) continue;
    std::thread(HandleConnection, fd, handler).detach();
  }
  close(listenFd_);
  listenFd_ = -1;
}

void MiniHttpServer::Stop() { stopping_ = true; }

}  // namespace quorix::demo
