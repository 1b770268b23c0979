#include "tests/support/test_http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace quorix::testing {
namespace {

constexpr size_t kMaxRequestHead = 64 * 1024;

const char* ReasonPhrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Found";
    case 304:
      return "Not Modified";
    case 400:
      return "Bad Request";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 500:
      return "Internal Server Error";
    case 503:
      return "Service Unavailable";
    default:
      return "Status";
  }
}

void SendAll(int fd, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;  // the client went away
    sent += static_cast<size_t>(n);
  }
}

// Reads up to the blank line that ends the request head. False on EOF or error.
bool ReadHead(int fd, std::string& head) {
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < kMaxRequestHead) {
    ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    head.append(buffer, static_cast<size_t>(n));
  }
  return head.find("\r\n\r\n") != std::string::npos;
}

std::string TargetOf(const std::string& head) {
  size_t first = head.find(' ');
  if (first == std::string::npos) return "";
  size_t second = head.find(' ', first + 1);
  return head.substr(first + 1,
                     second == std::string::npos ? std::string::npos : second - first - 1);
}

std::string Render(const HttpAnswer& answer) {
  std::string out =
      "HTTP/1.1 " + std::to_string(answer.status) + " " + ReasonPhrase(answer.status) + "\r\n";
  if (!answer.contentType.empty()) out += "Content-Type: " + answer.contentType + "\r\n";
  if (answer.sendContentLength) {
    long long length = answer.announcedLength >= 0 ? answer.announcedLength
                                                   : static_cast<long long>(answer.body.size());
    out += "Content-Length: " + std::to_string(length) + "\r\n";
  }
  for (const auto& [name, value] : answer.headers) out += name + ": " + value + "\r\n";
  out += answer.keepAlive ? "\r\n" : "Connection: close\r\n\r\n";
  out += answer.body;
  return out;
}

}  // namespace

std::string HttpAnswer::Filler(size_t size) {
  std::string text(size, 'x');
  for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>('a' + i % 26);
  return text;
}

TestHttpServer::TestHttpServer() {
  defaultAnswer_.status = 404;
  defaultAnswer_.body = "not found";
  defaultAnswer_.contentType = "text/plain";
  listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  bool ok = listenFd_ >= 0 &&
            bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            listen(listenFd_, 128) == 0 &&
            getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
            pipe2(wakePipe_, O_CLOEXEC) == 0;
  EXPECT_TRUE(ok) << "test HTTP server could not listen: " << std::strerror(errno);
  port_ = ntohs(address.sin_port);
  if (ok) acceptThread_ = std::thread(&TestHttpServer::AcceptLoop, this);
}

TestHttpServer::~TestHttpServer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    // Wakes connections blocked in recv (a client that never finishes its request).
    for (int fd : openFds_) shutdown(fd, SHUT_RDWR);
  }
  changed_.notify_all();
  if (wakePipe_[1] >= 0) {
    char byte = 0;
    (void)!write(wakePipe_[1], &byte, 1);
  }
  if (acceptThread_.joinable()) acceptThread_.join();
  std::vector<std::thread> connections;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    connections.swap(connections_);
  }
  for (auto& thread : connections) thread.join();
  if (listenFd_ >= 0) close(listenFd_);
  for (int fd : wakePipe_)
    if (fd >= 0) close(fd);
}

std::string TestHttpServer::HostPort() const { return "127.0.0.1:" + std::to_string(port_); }

std::string TestHttpServer::Url(const std::string& path) const {
  return "http://" + HostPort() + path;
}

void TestHttpServer::Answer(const std::string& path, HttpAnswer answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  answers_[path] = std::move(answer);
}

void TestHttpServer::SetDefaultAnswer(HttpAnswer answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  defaultAnswer_ = std::move(answer);
}

void TestHttpServer::HoldAnswersUntil(size_t requests, std::chrono::milliseconds deadline) {
  std::lock_guard<std::mutex> lock(mutex_);
  holdUntil_ = requests;
  holdDeadline_ = std::chrono::steady_clock::now() + deadline;
  releasedByCount_ = false;
}

std::vector<std::string> TestHttpServer::RequestTargets() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return targets_;
}

size_t TestHttpServer::ConnectionCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return connectionCount_;
}

size_t TestHttpServer::RequestCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return targets_.size();
}

std::string TestHttpServer::LastRequestHead() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastHead_;
}

bool TestHttpServer::HoldReleasedByCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return releasedByCount_;
}

void TestHttpServer::AcceptLoop() {
  for (;;) {
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) {
      close(fd);
      return;
    }
    openFds_.push_back(fd);
    ++connectionCount_;
    connections_.emplace_back(&TestHttpServer::Serve, this, fd);
  }
}

HttpAnswer TestHttpServer::FindAnswer(const std::string& target) const {
  auto exact = answers_.find(target);
  if (exact != answers_.end()) return exact->second;
  auto byPath = answers_.find(target.substr(0, target.find('?')));
  return byPath != answers_.end() ? byPath->second : defaultAnswer_;
}

void TestHttpServer::WaitForRelease(std::unique_lock<std::mutex>& lock) {
  if (holdUntil_ == 0) return;
  changed_.wait_until(lock, holdDeadline_,
                      [this] { return stopping_ || targets_.size() >= holdUntil_; });
  if (targets_.size() >= holdUntil_) releasedByCount_ = true;
}

void TestHttpServer::Serve(int fd) {
  while (ServeOne(fd)) {
  }
  shutdown(fd, SHUT_WR);
  std::lock_guard<std::mutex> lock(mutex_);
  openFds_.erase(std::remove(openFds_.begin(), openFds_.end(), fd), openFds_.end());
  close(fd);
}

bool TestHttpServer::ServeOne(int fd) {
  std::string head;
  bool complete = ReadHead(fd, head);
  std::unique_lock<std::mutex> lock(mutex_);
  HttpAnswer answer;
  if (complete) {
    std::string target = TargetOf(head);
    targets_.push_back(target);
    lastHead_ = head.substr(0, head.find("\r\n\r\n"));
    answer = FindAnswer(target);
    changed_.notify_all();
    WaitForRelease(lock);
    if (answer.neverAnswer) {
      changed_.wait(lock, [this] { return stopping_; });
    } else if (answer.delay.count() > 0) {
      changed_.wait_for(lock, answer.delay, [this] { return stopping_; });
    }
  }
  bool send = complete && !stopping_ && !answer.neverAnswer;
  lock.unlock();
  if (send) SendAll(fd, Render(answer));
  return send && answer.keepAlive && !answer.closeAnyway;
}

}  // namespace quorix::testing
