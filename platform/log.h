// The diagnostics log interface shared by every component.
//
// The search program writes lines to the page and the debug file; the control
// panel keeps them in its log window. Components receive a LogSink& and never
// know which one they write to.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>

namespace quorix {

enum LogLevel : int {
  kLogFileOnly = 0,
  kLogWarning = 1,
  kLogError = 2,
  kLogInfo = 3,
  kLogDetail = 4,
  kLogDetailWarning = 5,
  kLogTiming = 6,
};

inline constexpr int kTimerSlots = 65;
inline constexpr int kMainThreadTimerSlot = 64;
inline constexpr size_t kLogLineMaxBytes = 4095;

class LogSink {
 public:
  LogSink();
  virtual ~LogSink() = default;
  LogSink(const LogSink&) = delete;
  LogSink& operator=(const LogSink&) = delete;

  // Writes one finished line. Implementations are safe to call from several
  // threads at once.
  virtual void Write(int level, std::string_view line) = 0;

  // Writes a line that names something a visitor must not see (a path, a node's
  // address). `publicLine` says the same without it. Sinks that show lines to
  // visitors use `publicLine` there; everything else gets `fullLine`, which is
  // what this default does.
  virtual void WriteWithDetail(int level, std::string_view publicLine, std::string_view fullLine) {
    (void)publicLine;
    Write(level, fullLine);
  }

  // False when a line of `level` would be dropped, so that it need not be
  // formatted. The default keeps everything.
  virtual bool Keeps(int level) const {
    (void)level;
    return true;
  }
  // Formats a line (cut to kLogLineMaxBytes without splitting a character) and writes it.
  void Logf(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));

  // Timers: each slot is used by one thread only (0-63 a node's worker, 64 the main
  // thread), so they take no lock. Stop logs "%0.2f ms - <label>" at kLogTiming.
  void TimerStart(int slot);
  void TimerStop(int slot, const char* format, ...) __attribute__((format(printf, 3, 4)));
  // The last elapsed time of a slot in milliseconds (for tests and the search time).
  double TimerElapsedMs(int slot) const { return elapsedMs_[slot]; }

 private:
  std::array<int64_t, kTimerSlots> start_{};
  std::array<double, kTimerSlots> elapsedMs_{};
};

// Times the scope it lives in on timer `slot` of `log`: TimerStart when made,
// TimerStop with the label `format` (printf-style, filled with `args`) when it
// ends, so every start has its stop on every way out of the scope.
//   ScopedTimer timer(log, kMainThreadTimerSlot, "Main thread: PerformVexaQuery");
//   ScopedTimer timer(log, n, "Node [%d]: RequestGet", n);
template <typename... Args>
class ScopedTimer {
 public:
  ScopedTimer(LogSink& log, int slot, const char* format, Args... args)
      : log_(log), slot_(slot), format_(format), args_(args...) {
    log_.TimerStart(slot_);
  }
  ~ScopedTimer() {
    if constexpr (sizeof...(Args) == 0) {
      log_.TimerStop(slot_, "%s", format_);
    } else {
      std::apply([this](const Args&... args) { log_.TimerStop(slot_, format_, args...); }, args_);
    }
  }
  ScopedTimer(const ScopedTimer&) = delete;
  ScopedTimer& operator=(const ScopedTimer&) = delete;

 private:
  LogSink& log_;
  int slot_;
  const char* format_;
  std::tuple<Args...> args_;
};

template <typename... Args>
ScopedTimer(LogSink&, int, const char*, Args...) -> ScopedTimer<Args...>;

// Discards every line. Timers still work.
class NullLog : public LogSink {
 public:
  void Write(int, std::string_view) override {}
  bool Keeps(int) const override { return false; }
};

}  // namespace quorix
