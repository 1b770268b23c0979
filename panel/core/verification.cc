#include "panel/core/verification.h"

#include <algorithm>
#include <atomic>

#include "nodequery/dispatch.h"
#include "nodequery/node_query_options.h"
#include "nodequery/settings_check.h"
#include "panel/core/store_options.h"
#include "platform/text.h"

namespace quorix::panel {
namespace {

constexpr char kProgramName[] = "Quorix ControlPanel";
constexpr char kProgramVersion[] = "v1.0 (Build 1000)";
constexpr char kNoSlavesTitle[] = "No search slaves";
constexpr char kNoNodesText[] = "You did not configure any search slaves.";
constexpr char kNoneStartedText[] =
    "None of the slaves are enabled.  Verification could not be performed.";

struct SummaryText {
  Status status;
  const char* format;
};

constexpr SummaryText kSummaryTexts[] = {
    {kOk, "Node #%d: Verification is successful"},
    {kNodeNotRun, "Node #%d: Not unverified"},
    {kDescUrlEmpty, "Node #%d: OpenSearch Description file URL is empty"},
    {kDescConnectFailed, "Node #%d: Error connecting to OpenSearch Description file server"},
    {kDescSendFailed,
     "Node #%d: Error sending HTTP GET request to  OpenSearch Description file server"},
    {kDescNoResponse, "Node #%d: Error getting HTTP response from OpenSearch Description file"},
    {kQuerySyntaxUnsupported, "Node #%d: OpenSearch query syntax is unsupported"},
    {kDescNotRecognised,
     "Node #%d: OpenSearch Description did not return a recognised OpenSearch Description file "
     "format"},
    {kQueryUrlEmpty, "Node #%d: Query server's URL is empty"},
    {kQueryConnectFailed, "Node #%d: Error connecting to query server"},
    {kQuerySendFailed, "Node #%d: Error sending HTTP GET request to query server"},
    {kQueryNoResponse, "Node #%d: Error getting HTTP response from query server"},
    {kResponseNotRecognised,
     "Node #%d: Slave node did not return a recognised VexaSearchResponse/OpenSearchResponse "
     "format"},
    {kNodeTimeoutZero, "Node #%d: Timeout value is zero"},
    {kNodeLeadsToSelf, "Node #%d: Address leads back to this search"},
    {kQueryUrlTooLong, "Node #%d: The query makes the query server's URL too long"},
};

}  // namespace

// Passes every line on to the panel log; an error line marks the run failed
// even when the log window does not store it (full, or not open).
class VerificationRun::RunLog : public LogSink {
 public:
  explicit RunLog(PanelSession& session) : session_(session) {}

  void Write(int level, std::string_view line) override {
    if (level == kLogError) MarkFailed();
    session_.log.Write(level, line);
  }

  void MarkFailed() {
    failed_ = true;
    session_.flags.verifyPassed = false;
  }
  bool Failed() const { return failed_; }

 private:
  PanelSession& session_;
  std::atomic<bool> failed_{false};
};

VerificationBox FinalBoxFor(VerificationOutcome outcome) {
  switch (outcome) {
    case VerificationOutcome::kNoNodes:
      return {kNoNodesText, kNoSlavesTitle};
    case VerificationOutcome::kNoneStarted:
      return {kNoneStartedText, kNoSlavesTitle};
    case VerificationOutcome::kPassed:
      return {"The verification was successful.", "Verification successful!"};
    case VerificationOutcome::kFailed:
      break;
  }
  return {
      "There were errors in your verification.  Please correct the error messages in red and "
      "re-verify.",
      "Verification error!"};
}

SummaryLine VerificationSummaryLine(int node, Status status) {
  for (const SummaryText& entry : kSummaryTexts) {
    if (entry.status != status) continue;
    int level = status == kOk ? kLogFileOnly : status == kNodeNotRun ? kLogWarning : kLogError;
    return {level, Format(entry.format, node)};
  }
  return {kLogError, Format("Node #%d: Error encountered.  Error code: %d", node, status)};
}

NodeQueryRequest VerificationRequest() {
  NodeQueryRequest request;
  request.escapedQuery = "test";
  return request;
}

VerificationRun::VerificationRun(PanelSession& session)
    : session_(session), log_(std::make_unique<RunLog>(session)) {}

VerificationRun::~VerificationRun() { Wait(); }

void VerificationRun::Start(std::function<void(VerificationOutcome)> finished) {
  Wait();
  thread_ = std::thread([this, finished = std::move(finished)] {
    VerificationOutcome outcome = Execute();
    if (finished) finished(outcome);
  });
}

void VerificationRun::Wait() {
  if (thread_.joinable()) thread_.join();
}

void VerificationRun::ShowFinalBox() {
  VerificationBox box = FinalBoxFor(outcome_);
  session_.desktop.MessageBox(BoxOwner::kDialog, box.text, box.title, BoxIcon::kExclamation,
                              BoxButtons::kOk);
}

VerificationOutcome VerificationRun::Execute() {
  config_ = session_.live;
  RunLog& log = *log_;
  session_.verifyStatus.fill(kNodeNotRun);
  log.Logf(kLogFileOnly, "%s %s, Slave nodes verification started", kProgramName, kProgramVersion);
  int nodeCount = std::clamp(config_.nodeCount, 0, kMaxNodes);
  if (nodeCount == 0) {
    log.Logf(kLogFileOnly, "%s", kNoNodesText);
    return outcome_ = VerificationOutcome::kNoNodes;
  }

  session_.flags.verified = true;
  session_.flags.verifyPassed = true;
  auto results = std::make_unique<NodeResults>();
  int started = 0;
  for (int i = 0; i < nodeCount; ++i) {
    const NodeRecord& node = config_.nodes[i];
    if (node.disabled) {
      log.Logf(kLogFileOnly, "Node #%d: Not enabled", i);
      continue;
    }
    log.Logf(kLogFileOnly, "Node #%d: Starting verification.", i);
    session_.verifyStatus[i] = kOk;
    if (!CheckNodeUrl(i)) continue;
    if (node.timeoutMs != 0) {
      ++started;
      QueryOne(i, *results);
    } else {
      log.Logf(kLogFileOnly, "Node #%d: Time-out is zero", i);
      session_.verifyStatus[i] = kNodeTimeoutZero;
    }
  }
  CopyResolvedUrls(*results);
  if (std::string store = StorePingLine(config_, ""); !store.empty())
    log.Logf(store.ends_with("answers PING") ? kLogFileOnly : kLogError, "%s", store.c_str());

  if (started == 0) {
    log.Logf(kLogFileOnly, "%s", kNoneStartedText);
    // Nothing was asked, so nothing passed: the save and generate flows ask first.
    session_.flags.verifyPassed = false;
    return outcome_ = VerificationOutcome::kNoneStarted;
  }

  if (session_.flags.verifyPassed && !log.Failed()) {
    config_.allVexaNodes = true;
    for (int i = 0; i < nodeCount; ++i)
      if (!config_.nodes[i].disabled && IsOpenSearchNode(config_.nodes[i]))
        config_.allVexaNodes = false;
    DisplayValues display;
    SettingsCheckOptions options;
    options.colonInMismatchLine = true;
    if (CheckVexaNodeSettings(config_, *results, log, display, options) != 0) log.MarkFailed();
  }
  LogSummary();
  bool passed = session_.flags.verifyPassed && !log.Failed();
  return outcome_ = passed ? VerificationOutcome::kPassed : VerificationOutcome::kFailed;
}

bool VerificationRun::CheckNodeUrl(int i) {
  const NodeRecord& node = config_.nodes[i];
  if (IsOpenSearchNode(node)) {
    log_->Logf(kLogFileOnly,
               "Node #%d: Checking OpenSearch Description file's URL for valid HTTP string.", i);
    if (node.osDescHost.empty() && node.osDescPath.empty()) {
      log_->Logf(kLogError, "Node #%d: OpenSearch Description URL string is empty", i);
      session_.verifyStatus[i] = kDescUrlEmpty;
      return false;
    }
    log_->Logf(kLogFileOnly,
               "Node #%d: OpenSearch Description file's URL appear to be valid (did not check "
               "connectivity yet).",
               i);
    return true;
  }
  log_->Logf(kLogFileOnly, "Node #%d: Checking Vexa node's URL...", i);
  if (node.vexaHost.empty() && node.vexaPath.empty()) {
    log_->Logf(kLogError, "Node #%d: Node URL is empty", i);
    session_.verifyStatus[i] = kQueryUrlEmpty;
    return false;
  }
  return true;
}

void VerificationRun::QueryOne(int i, NodeResults& results) {
  Status status = QueryNode(config_, i, VerificationRequest(), 1, results, *log_,
                            NodeQueryOptions::ControlPanel());
  session_.verifyStatus[i] = status;
  if (status != kOk) log_->MarkFailed();
}

void VerificationRun::LogSummary() {
  log_->Logf(kLogFileOnly, "====================== Verification Summary ======================");
  int nodeCount = std::clamp(config_.nodeCount, 0, kMaxNodes);
  for (int i = 0; i < nodeCount; ++i) {
    if (config_.nodes[i].disabled) continue;
    SummaryLine line = VerificationSummaryLine(i, session_.verifyStatus[i]);
    log_->Write(line.level, line.text);
  }
}

// The query URLs that resolving the description documents found, for the
// settings writer to save with the nodes that passed.
void VerificationRun::CopyResolvedUrls(const NodeResults& results) {
  int nodeCount = std::clamp(config_.nodeCount, 0, kMaxNodes);
  for (int i = 0; i < nodeCount; ++i) {
    const NodeRun& from = results.runs[i];
    NodeRecord& to = session_.live.nodes[i];
    if (config_.nodes[i].disabled || session_.verifyStatus[i] != kOk) continue;
    to.osScheme = from.osScheme;
    to.osHost = from.osHost;
    to.osPath = from.osPath;
    to.osQuery = from.osQuery;
  }
}

VerificationOutcome VerifyNodes(PanelSession& session) {
  VerificationRun run(session);
  VerificationOutcome outcome = run.Execute();
  run.ShowFinalBox();
  return outcome;
}

VerificationPreferenceDialog::VerificationPreferenceDialog(PanelSession& session)
    : session_(session) {}

void VerificationPreferenceDialog::Open() {
  BeginEdit(session_, EditScope::kPanelState);
  debugLevelIndex = session_.panelWork.panelDebugMode == 0 ? 1 : 0;
  fileLogging = session_.panelWork.fileLogging != 0;
}

void VerificationPreferenceDialog::Ok() {
  if (debugLevelIndex == 0) session_.panelWork.panelDebugMode = 1;
  if (debugLevelIndex == 1) session_.panelWork.panelDebugMode = 0;
  session_.panelWork.fileLogging = fileLogging ? 1 : 0;
  CommitEdit(session_, EditScope::kPanelState);
}

}  // namespace quorix::panel
