// The main window's test search: one query sent to every enabled node with
// the current settings, the way the search program asks them (all at once,
// each within its time-out), and per node what came back.
//
// From a window: make a TestSearchRun on the UI thread (it copies the
// settings there), Start it with a callback that posts to the UI thread, and
// read Report() there once the callback has been called. The run touches
// nothing of the session, so the window may go on meanwhile.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "config/settings.h"
#include "panel/core/panel_log.h"
#include "platform/status.h"

namespace quorix::panel {

inline constexpr int kTestSearchTitles = 3;      // titles kept per node
inline constexpr int32_t kTestSearchItems = 10;  // items asked of each node

struct TestSearchNode {
  int slot = 0;
  std::string label;  // "0 (Vexa)", as in the node list
  std::string url;    // as in the node list
  Status status = kNodeNotRun;
  bool answered = false;     // a usable answer came back (all of it, or fewer items than asked)
  std::string statusText;    // "Answered", or what went wrong
  int32_t elapsedMs = 0;     // until it answered or was given up
  int32_t totalResults = 0;  // what the node reported it holds
  std::vector<std::string> titles;  // the first results' titles
};

struct TestSearchReport {
  std::vector<TestSearchNode> nodes;    // every enabled node below the node count
  std::vector<LogWindowLine> problems;  // the run's error and warning lines, in order
  // True when every node listed answered.
  bool AllAnswered() const;
};

// "Answered" for kOk, else what went wrong in a few words.
std::string TestSearchStatusText(Status status);

// Asks the enabled nodes of `settings` for `query` (as typed; at most 255
// characters of it are sent) on the calling thread.
TestSearchReport RunTestSearch(Config settings, const std::string& query);

// The report as text: one line per node, its titles indented below it, then
// the problems.
std::vector<std::string> TestSearchLines(const TestSearchReport& report);

class TestSearchRun {
 public:
  TestSearchRun(const Config& settings, std::string query);
  // Waits for a started run.
  ~TestSearchRun();
  TestSearchRun(const TestSearchRun&) = delete;
  TestSearchRun& operator=(const TestSearchRun&) = delete;

  // Runs RunTestSearch on a thread of its own; `finished` (may be empty) is
  // called there once the report is complete.
  void Start(std::function<void()> finished);
  // Waits until a started run has ended.
  void Wait();
  // The report; complete once `finished` was called or Wait returned.
  const TestSearchReport& Report() const { return report_; }

 private:
  Config settings_;
  std::string query_;
  TestSearchReport report_;
  std::thread thread_;
};

}  // namespace quorix::panel
