// A program started for a test, stopped (SIGTERM, then SIGKILL) when the object goes.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace quorix::e2e {

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess() { Stop(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts argv[0] with its standard output and error appended to `logFile`.
  bool Start(const std::vector<std::string>& argv, const std::string& logFile);
  void Stop();
  // Waits for the program to end; its exit status, or -1 when it did not exit normally.
  int Wait();
  bool running() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
};

// Ends process `pid`: SIGTERM, up to `graceMs` for it to exit, then SIGKILL.
// Reaps it and sets `pid` to -1; does nothing when `pid` is not positive.
void StopProcess(pid_t& pid, int graceMs);

// A TCP port on 127.0.0.1 that was free a moment ago.
int FreePort();

// Waits until something accepts connections on 127.0.0.1:`port`, at most `timeoutMs`.
bool WaitForPort(int port, int timeoutMs);

// Body of GET http://127.0.0.1:`port``target`; false when the request fails.
bool HttpGet(int port, const std::string& target, std::string* body, long* status = nullptr);

}  // namespace quorix::e2e
