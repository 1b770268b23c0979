// A log that can be shut: a worker that may outlive its caller logs through
// one, and the caller closes it before it lets go of the real log.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string_view>

#include "platform/log.h"

namespace quorix {

class GatedLog : public LogSink {
 public:
  // `target` must stay valid until Close() has returned. Which levels it keeps
  // is read once here: it does not change while a request runs.
  explicit GatedLog(LogSink& target) : target_(&target) {
    for (int level = 0; level < kLevels; ++level)
      if (target.Keeps(level)) kept_ |= uint32_t{1} << level;
  }

  // Forwards the line while the gate is open; drops it afterwards.
  void Write(int level, std::string_view line) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (target_) target_->Write(level, line);
  }
  void WriteWithDetail(int level, std::string_view publicLine, std::string_view fullLine) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (target_) target_->WriteWithDetail(level, publicLine, fullLine);
  }

  // Takes no lock: asked before every line a worker might log.
  bool Keeps(int level) const override {
    if (level < 0 || level >= kLevels) {
      std::lock_guard<std::mutex> lock(mutex_);
      return target_ && target_->Keeps(level);
    }
    return open_.load(std::memory_order_acquire) && ((kept_ >> level) & 1) != 0;
  }

  // Waits for a line being forwarded, then drops every later one.
  void Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    target_ = nullptr;
    open_.store(false, std::memory_order_release);
  }

 private:
  static constexpr int kLevels = 32;
  mutable std::mutex mutex_;
  LogSink* target_;
  uint32_t kept_ = 0;
  std::atomic<bool> open_{true};
};

}  // namespace quorix
