// A log that can be shut: a worker that may outlive its caller logs through
// one, and the caller closes it before it lets go of the real log.
#pragma once

#include <mutex>
#include <string_view>

#include "platform/log.h"

namespace quorix {

class GatedLog : public LogSink {
 public:
  // `target` must stay valid until Close() has returned.
  explicit GatedLog(LogSink& target) : target_(&target) {}

  // Forwards the line while the gate is open; drops it afterwards.
  void Write(int level, std::string_view line) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (target_) target_->Write(level, line);
  }
  void WriteWithDetail(int level, std::string_view publicLine, std::string_view fullLine) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (target_) target_->WriteWithDetail(level, publicLine, fullLine);
  }

  bool Keeps(int level) const override {
    std::lock_guard<std::mutex> lock(mutex_);
    return target_ && target_->Keeps(level);
  }

  // Waits for a line being forwarded, then drops every later one.
  void Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    target_ = nullptr;
  }

 private:
  mutable std::mutex mutex_;
  LogSink* target_;
};

}  // namespace quorix
