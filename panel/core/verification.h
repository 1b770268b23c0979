// Checking every configured node from the administrator's machine: a real test
// query per node through the node querying component, every step in the panel
// log, a summary per node, one closing message box, and the record of whether
// the settings passed (read by the save and generate flows).
//
// Using it from a window (the verification dialog):
//
//   session.log.SetUpWindow();                 // empty log window
//   session.log.onWindowLine = [&](const LogWindowLine& line) {
//     // called on the run's thread, in order, under the log lock:
//     // copy the line and post it to the UI thread (queued), nothing more.
//   };
//   auto run = std::make_unique<VerificationRun>(session);
//   run->Start([&](VerificationOutcome) {
//     // called on the run's thread after the last line: post to the UI thread
//     // (queued, so it arrives after every line), and there:
//     //   run->Wait(); run->ShowFinalBox(); enable the dialog's buttons;
//   });
//   ...
//   On closing the dialog: session.log.onWindowLine = nullptr;
//   session.log.CloseWindow();
//
// Without a window (tests, command line): VerifyNodes(session) does all of it on
// the calling thread, message box included.
//
// While a run is in progress the UI thread must leave the session alone
// (live settings, flags, verifyStatus, the log's stored lines): the run writes
// them from its own thread. Once `finished` has been called (or Wait returned)
// they are safe to read again. A run cannot be cut short: each node is bounded
// by the transfer limits its time-out sets.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "config/settings.h"
#include "nodequery/node_request.h"
#include "nodequery/records.h"
#include "panel/core/panel_log.h"
#include "panel/core/session.h"
#include "platform/status.h"

namespace quorix::panel {

enum class VerificationOutcome {
  kNoNodes,      // no node configured; the settings stay unverified
  kNoneStarted,  // no node could be asked (all disabled, without URL or time-out 0)
  kPassed,       // every node answered, settings agree, no error line was logged
  kFailed,       // anything else
};

// The one message box that ends a run (exclamation icon, OK button).
struct VerificationBox {
  std::string text;
  std::string title;
};

// The box shown at the end of a run with `outcome`.
VerificationBox FinalBoxFor(VerificationOutcome outcome);

// The summary line for node `node` with verification status `status`.
struct SummaryLine {
  int level;  // 0 success, 1 warning, 2 error
  std::string text;
};
SummaryLine VerificationSummaryLine(int node, Status status);

// The request a verification sends: the query "test", page 1, default match and sort.
NodeQueryRequest VerificationRequest();

class VerificationRun {
 public:
  // The run takes a copy of session.live when Execute (or Start) begins.
  explicit VerificationRun(PanelSession& session);
  // Waits for a started run.
  ~VerificationRun();
  VerificationRun(const VerificationRun&) = delete;
  VerificationRun& operator=(const VerificationRun&) = delete;

  // The whole run on the calling thread, without the message box. Writes the log
  // lines to session.log, sets session.flags.verified and verifyPassed and
  // session.verifyStatus (per node slot: 1 disabled, 0 passed, else the node's
  // error code), and copies the OpenSearch query URLs found back into
  // session.live's nodes (the settings writer saves them for passed nodes).
  // Call once per object.
  VerificationOutcome Execute();

  // Starts Execute on a thread of its own and returns at once. `finished`
  // (may be empty) is called on that thread after the last log line.
  void Start(std::function<void(VerificationOutcome)> finished);
  // Waits until a started run has ended; returns at once when none is running.
  void Wait();

  // The outcome of the ended run (kFailed before the end).
  VerificationOutcome Outcome() const { return outcome_; }
  // Shows FinalBoxFor(Outcome()) on the session's desktop over the dialog.
  // Call on the UI thread after the run has ended.
  void ShowFinalBox();

 private:
  class RunLog;

  bool CheckNodeUrl(int i);
  void QueryOne(int i, NodeResults& results);
  void LogSummary();
  void CopyResolvedUrls(const NodeResults& results);

  PanelSession& session_;
  Config config_;
  std::unique_ptr<RunLog> log_;
  std::thread thread_;
  VerificationOutcome outcome_ = VerificationOutcome::kFailed;
};

// The verification dialog's run without a window: Execute, then the final box.
VerificationOutcome VerifyNodes(PanelSession& session);

// The "Verification preference" dialog.
inline constexpr const char* kDebugLevelEntries[] = {"Detailed", "Normal"};

class VerificationPreferenceDialog {
 public:
  explicit VerificationPreferenceDialog(PanelSession& session);

  // Copies the live panel state into the working copy and fills the fields.
  void Open();

  int debugLevelIndex = 1;  // in kDebugLevelEntries: 0 "Detailed", 1 "Normal"
  bool fileLogging = false;

  // OK: stores the fields in the working copy and commits it. Cancel changes nothing.
  void Ok();

 private:
  PanelSession& session_;
};

}  // namespace quorix::panel
