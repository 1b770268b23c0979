#include "panel/core/panel_log.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <filesystem>

#include "platform/clock.h"
#include "platform/text.h"

namespace quorix::panel {

Rgb LogLineColour(int level) {
  switch (level) {
    case 0:
    case 5:
    case 6:
      return {50, 150, 50};
    case 1:
      return {230, 100, 0};
    case 2:
      return {255, 0, 0};
    default:
      return {0, 0, 0};
  }
}

Rgb LogRowBackground(int row) { return row % 2 == 0 ? Rgb{200, 200, 200} : Rgb{255, 255, 255}; }

Rgb NodeRowColour(bool disabled) { return disabled ? Rgb{175, 175, 175} : Rgb{0, 0, 0}; }

PanelLog::PanelLog(const PanelState& state, RunFlags& flags, Desktop& desktop)
    : counter(NowTicks),
      ticksPerMs(TicksPerMs()),
      state_(state),
      flags_(flags),
      desktop_(desktop) {}

void PanelLog::Write(int level, std::string_view line) {
  if (!lockAvailable_) return;
  std::unique_lock<std::timed_mutex> hold(lock_, std::chrono::milliseconds(1000));
  if (!hold.owns_lock()) return;
  if (level == kLogFileOnly || level == kLogError || state_.panelDebugMode != 0)
    AddWindowLine(level, line);
  if (state_.fileLogging != 0) AppendToFile(line);
}

void PanelLog::AddWindowLine(int level, std::string_view text) {
  if (!windowOpen_ || text.empty() || windowLines_.size() >= kLogWindowCapacity) return;
  if (level == kLogError) flags_.verifyPassed = false;
  windowLines_.push_back({level, CutUtf16(text, kLogWindowLineMax)});
  if (onWindowLine) onWindowLine(windowLines_.back());
}

void PanelLog::AppendToFile(std::string_view line) {
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(state_.logFilePath).parent_path(),
                                      error);
  FILE* file = std::fopen(state_.logFilePath.c_str(), "a");
  if (!file) {
    if (!fileFailureReported_)
      std::printf(
          "Failed to log to file \"%s\".  Check that you have permission writing to file.\n",
          state_.logFilePath.c_str());
    fileFailureReported_ = true;
    return;
  }
  std::fwrite(line.data(), 1, line.size(), file);
  std::fputc('\n', file);
  std::fclose(file);
}

void PanelLog::SetUpWindow() {
  std::lock_guard<std::timed_mutex> hold(lock_);
  windowOpen_ = true;
  windowLines_.clear();
}

void PanelLog::CloseWindow() {
  std::lock_guard<std::timed_mutex> hold(lock_);
  windowOpen_ = false;
}

void PanelLog::CopyToClipboard(bool selectedOnly, int selectedRow) {
  std::string text;
  if (selectedOnly) {
    if (selectedRow < 0 || static_cast<size_t>(selectedRow) >= windowLines_.size()) {
      desktop_.MessageBox(BoxOwner::kDialog, "You did not select a line to copy.", "No selection",
                          BoxIcon::kExclamation, BoxButtons::kOk);
      return;
    }
    text = windowLines_[selectedRow].text + "\r\n";
  } else {
    for (const LogWindowLine& line : windowLines_) text += line.text + "\r\n";
  }
  if (desktop_.SetClipboardText(text) < 0)
    desktop_.MessageBox(BoxOwner::kDialog, "Failed to copy entire log content to clipboard",
                        "Copy to clipboard error", BoxIcon::kExclamation, BoxButtons::kOk);
}

void PanelLog::LogTiming(bool start, int slot, const char* format, ...) {
  if (slot < 0 || slot >= kTimerSlots) return;
  int64_t now = counter();
  if (start) {
    timerStart_[slot] = now;
    return;
  }
  char text[kLogLineMaxBytes + 1];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  double elapsed = static_cast<double>(now - timerStart_[slot]) /
                   static_cast<double>(ticksPerMs > 0 ? ticksPerMs : 1);
  Logf(kLogTiming, "%0.2f ms - %s", elapsed, CutBytes(text, kLogLineMaxBytes).c_str());
}

}  // namespace quorix::panel
