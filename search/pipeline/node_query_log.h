// The log that asking the nodes writes to.
#pragma once

#include <string_view>

#include "config/settings.h"
#include "platform/log.h"

namespace quorix {

// Passes lines on to another log, with the errors and warnings of asking the
// nodes kept off the visitor's page under PageMarkup 1 outside debug mode:
// the page then names each failed node in one plain line, and the technical
// lines stay for the debug file and the debug page.
class NodeQueryLog : public LogSink {
 public:
  NodeQueryLog(LogSink& log, const Config& config)
      : log_(log), offPage_(config.pageMarkup == 1 && config.debugMode == 0) {}
  void Write(int level, std::string_view line) override { log_.Write(LevelOf(level), line); }
  void WriteWithDetail(int level, std::string_view publicLine, std::string_view fullLine) override {
    log_.WriteWithDetail(LevelOf(level), publicLine, fullLine);
  }
  bool Keeps(int level) const override { return log_.Keeps(LevelOf(level)); }

 private:
  int LevelOf(int level) const {
    return offPage_ && (level == kLogError || level == kLogWarning) ? kLogFileOnly : level;
  }
  LogSink& log_;
  bool offPage_;
};

}  // namespace quorix
