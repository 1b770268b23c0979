#include "platform/log.h"

#include <cstdarg>
#include <cstdio>

#include "platform/clock.h"
#include "platform/text.h"

namespace quorix {
namespace {

std::string VFormatLine(const char* format, va_list args) {
  char buffer[kLogLineMaxBytes + 1];
  vsnprintf(buffer, sizeof buffer, format, args);
  return CutBytes(buffer, kLogLineMaxBytes);
}

}  // namespace

LogSink::LogSink() = default;

void LogSink::Logf(int level, const char* format, ...) {
  if (!Keeps(level)) return;
  va_list args;
  va_start(args, format);
  std::string line = VFormatLine(format, args);
  va_end(args);
  Write(level, line);
}

void LogSink::TimerStart(int slot) {
  if (slot < 0 || slot >= kTimerSlots) return;
  start_[slot] = NowTicks();
}

void LogSink::TimerStop(int slot, const char* format, ...) {
  if (slot < 0 || slot >= kTimerSlots) return;
  int64_t end = NowTicks();
  elapsedMs_[slot] = static_cast<double>(end - start_[slot]) / static_cast<double>(TicksPerMs());
  if (!Keeps(kLogTiming)) return;
  va_list args;
  va_start(args, format);
  std::string label = VFormatLine(format, args);
  va_end(args);
  Logf(kLogTiming, "%0.2f ms - %s", elapsedMs_[slot], label.c_str());
}

}  // namespace quorix
