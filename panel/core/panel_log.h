// The control panel's log: lines go, by level and the debug level, to the log
// window's store (shown while a verification dialog is open) and to
// QuorixControlPanel.log. The node querying component logs into it as a LogSink.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "panel/core/desktop.h"
#include "panel/core/run_state.h"
#include "platform/log.h"

namespace quorix::panel {

inline constexpr size_t kLogWindowCapacity = 1024;
inline constexpr size_t kLogWindowLineMax = 255;  // UTF-16 units kept per stored line

struct LogWindowLine {
  int level;
  std::string text;
};

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};

// Text colour of a log window line of `level`.
Rgb LogLineColour(int level);
// Background of list row `row` (counted from 0): grey for even rows, white for odd.
Rgb LogRowBackground(int row);
// Text colour of a node list row.
Rgb NodeRowColour(bool disabled);

class PanelLog : public LogSink {
 public:
  // Reads the debug level, file logging and log file path from `state` at each
  // line; clears flags.verifyPassed for every error line the window stores.
  PanelLog(const PanelState& state, RunFlags& flags, Desktop& desktop);

  // Shows the line in the window when its level is 0 or 2 or the debug level
  // is "Detailed", and appends it to the log file when file logging is on.
  // Lines wait at most one second for the log lock and are dropped after that.
  void Write(int level, std::string_view line) override;

  // Starts a log window with an empty store (the verification dialog opens).
  void SetUpWindow();
  // Ends the log window; later lines reach only the file.
  void CloseWindow();
  bool WindowOpen() const { return windowOpen_; }
  // The stored lines, at most kLogWindowCapacity.
  const std::vector<LogWindowLine>& WindowLines() const { return windowLines_; }
  // Called with each line stored, for the window to show it.
  std::function<void(const LogWindowLine&)> onWindowLine;

  // Copies the whole store, or only row `selectedRow` (-1: none selected), to
  // the clipboard, each line followed by CR LF. Reports a missing selection and
  // a refused copy in message boxes.
  void CopyToClipboard(bool selectedOnly, int selectedRow);

  // With `start`, records the counter as the slot's start and logs nothing;
  // otherwise logs "%0.2f ms - <text>" with the time since the start.
  void LogTiming(bool start, int slot, const char* format, ...)
      __attribute__((format(printf, 4, 5)));
  // Counter readings and their rate; tests replace them.
  std::function<int64_t()> counter;
  int64_t ticksPerMs;

  // Without a lock (its creation failed at start-up) nothing is logged.
  void DisableLock() { lockAvailable_ = false; }

 private:
  void AddWindowLine(int level, std::string_view text);
  void AppendToFile(std::string_view line);

  const PanelState& state_;
  RunFlags& flags_;
  Desktop& desktop_;
  std::timed_mutex lock_;
  bool lockAvailable_ = true;
  bool windowOpen_ = false;
  bool fileFailureReported_ = false;  // a log file that cannot be opened is reported once
  std::vector<LogWindowLine> windowLines_;
  int64_t timerStart_[kTimerSlots] = {};
};

}  // namespace quorix::panel
