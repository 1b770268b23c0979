// The node dialog's logic: adding or editing one node of the working copy.
// The window shows the fields and control states kept here and calls the
// handlers; every message box goes through the session's desktop.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "config/settings.h"
#include "panel/core/predefined_list.h"
#include "panel/core/session.h"

namespace quorix::panel {

enum class NodeDialogMode { kAdd, kEdit };

// Labels and enabling that follow the node type.
struct NodeDialogControls {
  std::string nodeUrlLabel;
  std::string descriptionUrlLabel;
  bool nodeUrlEnabled;
  bool descriptionEnabled;  // description URL edit, Browse and the strict box
  bool focusOnDescription;  // else the node URL edit has the focus
};

NodeDialogControls ControlsForType(bool openSearch);

// Esc or Cancel in the node list: true when its working copy may be dropped,
// because nothing changed or the user agreed to discard the changes.
bool ConfirmDiscardNodeChanges(PanelSession& session);

class NodeDialog {
 public:
  NodeDialog(PanelSession& session, NodeDialogMode mode);

  // Prepares the dialog. Add mode takes the slot after the last node (refused
  // when the table is full); edit mode the first of `selectedRows` (refused
  // without one). False after telling the user: the dialog closes as cancelled.
  bool Open(const std::vector<int>& selectedRows);

  // The fields the window shows and edits.
  bool enabled = true;
  bool openSearch = false;
  std::string nodeUrl;
  std::string descriptionUrl;
  std::string timeout;
  std::string name;  // shown on the results page; empty: the host
  bool strictQuerySyntax = false;

  std::string Caption() const;
  NodeDialogControls Controls() const { return ControlsForType(openSearch); }
  int Slot() const { return slot_; }

  // A type radio button: the slot takes the type at once.
  void SetType(bool toOpenSearch);
  // The "Enable node" box: the slot takes the disabled flag at once.
  void SetEnabled(bool isEnabled);

  // OK: checks the URL, the time-out and duplicates, in that order, and stores
  // the node. True when the dialog closes; false (after a message) keeps it open.
  bool Ok();
  // Cancel: a new slot is reset, an edited one restored.
  void Cancel();

  // Why the required URL of the chosen type is not acceptable; empty when it is.
  std::string UrlProblem() const;
  // Test: queries this node alone, as typed, the way the verification does,
  // without changing the settings or their verification state. Returns the
  // lines the log window would show, ending with the node's summary line.
  std::vector<LogWindowLine> Test();
  // Test in two halves, for a window that queries on a thread of its own:
  // called on the UI thread, takes the node as typed now and returns the query,
  // which may run on any thread (it writes only to the panel log) and returns
  // what Test returns.
  std::function<std::vector<LogWindowLine>()> PrepareTest();

  // After the predefined browser returned with `selection` (entry numbers):
  // none selected is reported; one fills the description URL; several are
  // added one by one as OpenSearch nodes. True when the dialog closes with OK.
  bool ApplyPredefinedSelection(const std::vector<PredefinedEntry>& entries,
                                const std::vector<int>& selection);

 private:
  bool Accept();
  bool UrlInto(NodeRecord& node) const;
  bool StoreUrl();
  bool CheckDuplicates();
  void AfterClose();
  bool RefuseWhenFull();

  PanelSession& session_;
  NodeDialogMode mode_;
  int slot_ = -1;
  NodeRecord backup_;
};

}  // namespace quorix::panel
