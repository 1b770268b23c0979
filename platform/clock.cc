#include "platform/clock.h"

#include <chrono>
#include <ctime>

namespace quorix {

using Clock = std::chrono::steady_clock;

int64_t NowTicks() { return Clock::now().time_since_epoch().count(); }

int64_t TicksPerMs() {
  constexpr int64_t kPerMs = Clock::period::den / Clock::period::num / 1000;
  return kPerMs > 0 ? kPerMs : 1;
}

double TicksToMs(int64_t ticks) {
  return static_cast<double>(ticks) / static_cast<double>(TicksPerMs());
}

int64_t CalendarSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

int64_t EpochMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string FormatUtc(int64_t epochSeconds, const char* format) {
  if (epochSeconds <= 0) return "";
  std::time_t seconds = static_cast<std::time_t>(epochSeconds);
  std::tm utc{};
  if (!gmtime_r(&seconds, &utc)) return "";
  char text[64];
  size_t length = std::strftime(text, sizeof text, format, &utc);
  return std::string(text, length);
}

}  // namespace quorix
