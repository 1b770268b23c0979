// A LogSink for tests: keeps every line with its level.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/log.h"

namespace quorix::testing {

struct LoggedLine {
  int level;
  std::string text;
};

class RecordingLog : public LogSink {
 public:
  void Write(int level, std::string_view line) override {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back({level, std::string(line)});
  }
  std::vector<LoggedLine> Lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }
  // True when some line at `level` equals `text`.
  bool Has(int level, const std::string& text) const {
    for (const auto& line : Lines())
      if (line.level == level && line.text == text) return true;
    return false;
  }
  // True when some line at any level contains `part`.
  bool Contains(const std::string& part) const {
    for (const auto& line : Lines())
      if (line.text.find(part) != std::string::npos) return true;
    return false;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<LoggedLine> lines_;
};

}  // namespace quorix::testing
