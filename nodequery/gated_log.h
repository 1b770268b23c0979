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
  explicit GatedLog(LogSink& target) : target_(&target) { kept_.store(KeptLevels(target)); }

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
    return open_.load(std::memory_order_acquire) && ((kept_.load() >> level) & 1) != 0;
  }

  // Waits for a line being forwarded, then drops every later one.
  void Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    target_ = nullptr;
    open_.store(false, std::memory_order_release);
  }

  // Opens a closed gate again onto `target`, which must stay valid until the
  // next Close().
  void Reopen(LogSink& target) {
    std::lock_guard<std::mutex> lock(mutex_);
    target_ = &target;
    kept_.store(KeptLevels(target));
    open_.store(true, std::memory_order_release);
  }

 private:
  static constexpr int kLevels = 32;
  static uint32_t KeptLevels(const LogSink& target) {
    uint32_t kept = 0;
    for (int level = 0; level < kLevels; ++level)
      if (target.Keeps(level)) kept |= uint32_t{1} << level;
    return kept;
  }

  mutable std::mutex mutex_;
  LogSink* target_;
  std::atomic<uint32_t> kept_{0};
  std::atomic<bool> open_{true};
};

}  // namespace quorix
