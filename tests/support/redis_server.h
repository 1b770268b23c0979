// A redis-server of its own for a test: started on a socket in a fresh
// folder, without persistence, stopped when the object goes.
#pragma once

#include <sys/types.h>

#include <string>

namespace quorix::testing {

class RedisServer {
 public:
  RedisServer();
  ~RedisServer();
  RedisServer(const RedisServer&) = delete;
  RedisServer& operator=(const RedisServer&) = delete;

  // Starts the server (again, after Stop); false when it does not answer in time.
  bool Start();
  void Stop();
  // The SharedStore address: "unix:/.../redis.sock".
  std::string address() const { return "unix:" + socket_; }
  const std::string& folder() const { return folder_; }

 private:
  std::string folder_;
  std::string socket_;
  pid_t pid_ = -1;
};

}  // namespace quorix::testing
