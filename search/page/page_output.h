// Everything the search program writes to the visitor goes through one PageOutput.
//
// Writes are serialised, so a log line from a node worker never lands inside
// another piece of the page.
#pragma once

#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace quorix {

class PageOutput {
 public:
  // Writes to `out` (standard output in the CGI). Not owned.
  explicit PageOutput(std::FILE* out) : file_(out) {}
  // Hands every piece to `write` and flushes through `flush` (the FastCGI
  // request's stream).
  PageOutput(std::function<void(std::string_view)> write, std::function<void()> flush)
      : write_(std::move(write)), flush_(std::move(flush)) {}
  // Collects everything in memory; for tests.
  PageOutput() = default;
  PageOutput(const PageOutput&) = delete;
  PageOutput& operator=(const PageOutput&) = delete;

  void Write(std::string_view text);
  void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void Flush();

  // What was written, when collecting in memory.
  std::string Captured() const;

 private:
  mutable std::mutex mutex_;
  std::FILE* file_ = nullptr;
  std::function<void(std::string_view)> write_;
  std::function<void()> flush_;
  std::string captured_;
};

}  // namespace quorix
