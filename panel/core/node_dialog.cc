#include "panel/core/node_dialog.h"

#include <algorithm>
#include <memory>

#include "nodequery/dispatch.h"
#include "nodequery/node_query_options.h"
#include "panel/core/node_table.h"
#include "panel/core/verification.h"
#include "platform/text.h"

namespace quorix::panel {
namespace {

constexpr char kInvalidDescriptionText[] =
    "You did not provide a valid OpenSearch Description URL!\nExample of a valid Node URL "
    "is:\nhttp://www.example.com/opensearch/description.xml";
constexpr char kInvalidNodeText[] =
    "You did not provide a valid Node URL!\nExample of a valid Node URL "
    "is:\nhttp://www.example.com/cgi-bin/search.cgi";

}  // namespace

NodeDialogControls ControlsForType(bool openSearch) {
  if (openSearch) return {"Node URL:", "OpenSearch Description URL (required):", false, true, true};
  return {"Node URL (required):", "OpenSearch Description URL:", true, false, false};
}

bool ConfirmDiscardNodeChanges(PanelSession& session) {
  bool changed = SettingsDiffer(session.work, session.live);
  for (int i = 0; i < kMaxNodes && !changed; ++i) {
    const NodeRecord& now = session.work.nodes[i];
    const NodeRecord& before = session.live.nodes[i];
    changed = now.strictQuerySyntax != before.strictQuerySyntax ||
              now.vexaScheme != before.vexaScheme || now.osDescScheme != before.osDescScheme;
  }
  if (!changed) return true;
  return session.desktop.MessageBox(
             BoxOwner::kDialog, "Discard the changes you made to the search slaves?",
             "Discard changes", BoxIcon::kQuestion, BoxButtons::kYesNo) == BoxAnswer::kYes;
}

NodeDialog::NodeDialog(PanelSession& session, NodeDialogMode mode)
    : session_(session), mode_(mode) {}

bool NodeDialog::RefuseWhenFull() {
  if (session_.work.nodeCount < kMaxNodes) return false;
  session_.desktop.MessageBox(BoxOwner::kDialog,
                              "The node list is full: at most 64 search nodes can be configured.",
                              "Node list full", BoxIcon::kExclamation, BoxButtons::kOk);
  return true;
}

bool NodeDialog::Open(const std::vector<int>& selectedRows) {
  Config& work = session_.work;
  if (mode_ == NodeDialogMode::kAdd) {
    if (RefuseWhenFull()) return false;
    slot_ = work.nodeCount;
    work.nodes[slot_] = NodeRecord{};
    work.nodes[slot_].disabled = false;
    work.nodes[slot_].timeoutMs = kNewNodeTimeoutMs;
  } else {
    if (selectedRows.empty() || selectedRows.front() < 0 ||
        selectedRows.front() >= work.nodeCount) {
      session_.desktop.MessageBox(BoxOwner::kDialog, "You have not selected a node to edit.",
                                  "No node selected", BoxIcon::kExclamation, BoxButtons::kOk);
      return false;
    }
    slot_ = selectedRows.front();
    backup_ = work.nodes[slot_];
    const NodeRecord& node = work.nodes[slot_];
    if (!node.vexaHost.empty()) nodeUrl = JoinUrl(node.vexaScheme, node.vexaHost, node.vexaPath);
    if (!node.osDescHost.empty())
      descriptionUrl = JoinUrl(node.osDescScheme, node.osDescHost, node.osDescPath);
  }
  const NodeRecord& node = work.nodes[slot_];
  enabled = !node.disabled;
  timeout = std::to_string(node.timeoutMs);
  name = node.name;
  strictQuerySyntax = node.strictQuerySyntax != 0;
  openSearch = IsOpenSearchNode(node);
  return true;
}

std::string NodeDialog::Caption() const {
  return mode_ == NodeDialogMode::kAdd ? "Add Search Slave" : "Edit Search Slave";
}

void NodeDialog::SetType(bool toOpenSearch) {
  openSearch = toOpenSearch;
  session_.work.nodes[slot_].type = toOpenSearch ? 1 : 0;
}

void NodeDialog::SetEnabled(bool isEnabled) {
  enabled = isEnabled;
  session_.work.nodes[slot_].disabled = !isEnabled;
}

// Puts the required URL of the chosen type into `node`; false when it is invalid.
bool NodeDialog::UrlInto(NodeRecord& node) const {
  SplitUrl parts;
  if (openSearch) {
    if (!ValidateNodeUrl(descriptionUrl, NodeUrlKind::kDescription, parts)) return false;
    node.osDescScheme = parts.scheme;
    node.osDescHost = HostWithPort(parts);
    node.osDescPath = parts.path;
  } else {
    if (!ValidateNodeUrl(nodeUrl, NodeUrlKind::kVexaNode, parts)) return false;
    node.vexaScheme = parts.scheme;
    node.vexaHost = HostWithPort(parts);
    node.vexaPath = parts.path;
  }
  node.nodeUrl = parts.canonical;
  node.port = parts.port;
  return true;
}

bool NodeDialog::StoreUrl() {
  if (UrlInto(session_.work.nodes[slot_])) return true;
  session_.desktop.MessageBox(BoxOwner::kNone,
                              openSearch ? kInvalidDescriptionText : kInvalidNodeText,
                              "Invalid URL", BoxIcon::kExclamation, BoxButtons::kOk);
  return false;
}

std::string NodeDialog::UrlProblem() const {
  return openSearch ? NodeUrlProblem(descriptionUrl, NodeUrlKind::kDescription)
                    : NodeUrlProblem(nodeUrl, NodeUrlKind::kVexaNode);
}

namespace {

// Keeps the lines a log window would show, and passes every line on to the
// panel log.
class TestLines : public LogSink {
 public:
  TestLines(PanelLog& log, bool detailed) : log_(log), detailed_(detailed) {}
  void Write(int level, std::string_view line) override {
    log_.Write(level, line);
    if (level == kLogFileOnly || level == kLogError || detailed_)
      lines.push_back({level, std::string(line)});
  }
  std::vector<LogWindowLine> lines;

 private:
  PanelLog& log_;
  bool detailed_;
};

}  // namespace

std::vector<LogWindowLine> NodeDialog::Test() { return PrepareTest()(); }

std::function<std::vector<LogWindowLine>()> NodeDialog::PrepareTest() {
  auto config = std::make_shared<Config>(session_.work);
  NodeRecord node = config->nodes[slot_];
  node.type = openSearch ? 1 : 0;
  node.disabled = false;
  node.strictQuerySyntax = strictQuerySyntax ? 1 : 0;
  PanelLog& panelLog = session_.log;
  bool detailed = session_.panel.panelDebugMode != 0;
  int slot = slot_;
  std::string refusal;
  if (!UrlInto(node))
    refusal = Format("Node #%d: %s", slot, UrlProblem().c_str());
  else if (!ParseTimeout(timeout, node.timeoutMs))
    refusal = Format("Node #%d: Invalid timeout value", slot);
  // Tested in its own slot, so that every line names the node being edited.
  config->nodes[slot_] = node;
  config->nodeCount = std::max(config->nodeCount, slot_ + 1);
  return [config, &panelLog, detailed, slot, refusal] {
    TestLines log(panelLog, detailed);
    if (!refusal.empty()) {
      log.Write(kLogError, refusal);
      return log.lines;
    }
    auto results = std::make_unique<NodeResults>();
    Status status = QueryNode(*config, slot, VerificationRequest(), 1, *results, log,
                              NodeQueryOptions::ControlPanel());
    SummaryLine summary = VerificationSummaryLine(slot, status);
    log.Write(summary.level, summary.text);
    return log.lines;
  };
}

bool NodeDialog::CheckDuplicates() {
  const Config& work = session_.work;
  int other = FindDuplicateNode(work, slot_, openSearch);
  if (other >= 0) {
    std::string text = openSearch
                           ? "You have entered a duplicate OpenSearch Description File URL:\n\"" +
                                 work.nodes[other].nodeUrl + "\"\nDo you want to continue?"
                           : "You have entered a duplicate Vexa Node URL:\n\"" +
                                 work.nodes[other].nodeUrl + "\"\nDo you want to continue?";
    BoxAnswer answer = session_.desktop.MessageBox(
        BoxOwner::kNone, text, openSearch ? "Duplicate OpenSearch node" : "Duplicate Vexa node",
        BoxIcon::kQuestion, BoxButtons::kYesNo);
    // Yes accepts the node as it is and ends the search.
    return answer == BoxAnswer::kYes;
  }
  return true;
}

bool NodeDialog::Accept() {
  bool wantEnabled = enabled;
  bool wantOpenSearch = openSearch;
  if (!StoreUrl()) return false;
  int32_t timeoutMs = 0;
  if (!ParseTimeout(timeout, timeoutMs)) {
    session_.desktop.MessageBox(
        BoxOwner::kDialog,
        "You have entered an invalid value for the timeout.  Zero is not allowed and the maximum "
        "allowed is 180,000 milliseconds (3 minutes).",
        "Invalid timeout value", BoxIcon::kExclamation, BoxButtons::kOk);
    return false;
  }
  NodeRecord& node = session_.work.nodes[slot_];
  node.timeoutMs = timeoutMs;
  node.name = CutUtf16(name, kNodeNameMaxUnits);
  node.disabled = !wantEnabled;
  node.type = wantOpenSearch ? 1 : 0;
  node.strictQuerySyntax = strictQuerySyntax ? 1 : 0;
  if (!CheckDuplicates()) return false;
  if (mode_ == NodeDialogMode::kAdd) ++session_.work.nodeCount;
  return true;
}

void NodeDialog::AfterClose() {
  if (SettingsDiffer(session_.work, session_.live)) {
    session_.flags.verified = false;
    session_.flags.unsaved = true;
  }
  // A name is not a matter for verification, but must be saved to take effect.
  if (session_.work.nodes[slot_].name != session_.live.nodes[slot_].name)
    session_.flags.unsaved = true;
}

bool NodeDialog::Ok() {
  if (!Accept()) return false;
  AfterClose();
  return true;
}

void NodeDialog::Cancel() {
  if (mode_ == NodeDialogMode::kAdd)
    session_.work.nodes[slot_] = NodeRecord{};
  else
    session_.work.nodes[slot_] = backup_;
}

bool NodeDialog::ApplyPredefinedSelection(const std::vector<PredefinedEntry>& entries,
                                          const std::vector<int>& selection) {
  if (selection.empty()) {
    session_.desktop.MessageBox(BoxOwner::kNone,
                                "You did not select any OpenSearch slave(s) to add.",
                                "No selection made", BoxIcon::kExclamation, BoxButtons::kOk);
    return false;
  }
  if (selection.size() == 1) {
    if (selection.front() >= 0 && static_cast<size_t>(selection.front()) < entries.size())
      descriptionUrl = entries[selection.front()].url;
    return false;
  }
  for (size_t k = 0; k < selection.size(); ++k) {
    int entry = selection[k];
    if (entry < 0 || static_cast<size_t>(entry) >= entries.size()) continue;
    if (mode_ == NodeDialogMode::kAdd && slot_ >= kMaxNodes) {
      RefuseWhenFull();
      break;
    }
    descriptionUrl = entries[entry].url;
    if (Accept()) {
      // The edited node takes the first entry; the others are added after it.
      mode_ = NodeDialogMode::kAdd;
      slot_ = session_.work.nodeCount;
      if (slot_ < kMaxNodes) session_.work.nodes[slot_] = NodeRecord{};
    } else if (mode_ == NodeDialogMode::kEdit) {
      session_.work.nodes[slot_] = backup_;
      mode_ = NodeDialogMode::kAdd;
      slot_ = session_.work.nodeCount;
      if (slot_ < kMaxNodes) session_.work.nodes[slot_] = NodeRecord{};
    } else {
      session_.work.nodes[slot_] = NodeRecord{};
    }
  }
  if (mode_ == NodeDialogMode::kAdd && slot_ < kMaxNodes) session_.work.nodes[slot_] = NodeRecord{};
  AfterClose();
  return true;
}

}  // namespace quorix::panel
