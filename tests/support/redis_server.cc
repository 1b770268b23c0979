#include "tests/support/redis_server.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/store_connection.h"

namespace quorix::testing {

RedisServer::RedisServer() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quorix-redis-XXXXXX").string();
  if (mkdtemp(pattern.data())) folder_ = pattern;
  socket_ = folder_ + "/redis.sock";
}

RedisServer::~RedisServer() {
  Stop();
  std::error_code ignored;
  if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

bool RedisServer::Start() {
  if (pid_ > 0) return true;
  pid_ = fork();
  if (pid_ == 0) {
    int log = open((folder_ + "/redis.log").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (log >= 0) {
      dup2(log, 1);
      dup2(log, 2);
    }
    execl("/usr/bin/redis-server", "redis-server", "--port", "0", "--unixsocket", socket_.c_str(),
          "--unixsocketperm", "700", "--save", "", "--appendonly", "no", "--dir", folder_.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  StoreConnection probe;
  StoreSettings settings;
  settings.address.socketPath = socket_;
  probe.BeginRequest(settings);
  std::string why;
  for (int i = 0; i < 200; ++i) {
    if (probe.Ping(&why)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  return false;
}

void RedisServer::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  for (int i = 0; i < 100 && waitpid(pid_, nullptr, WNOHANG) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  if (waitpid(pid_, nullptr, WNOHANG) == 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  pid_ = -1;
  unlink(socket_.c_str());
}

}  // namespace quorix::testing
