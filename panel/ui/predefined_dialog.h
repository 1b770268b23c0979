// Browses the predefined OpenSearch descriptions shipped beside the control
// panel and hands back the entries the user selected.
#pragma once

#include <QDialog>
#include <QTreeWidget>
#include <vector>

#include "panel/core/predefined_list.h"
#include "panel/core/session.h"

namespace quorix::panelui {

class PredefinedDialog : public QDialog {
  Q_OBJECT
 public:
  // Reads the list; when that fails the user has been told and Loaded() is false.
  PredefinedDialog(panel::PanelSession& session, QWidget* parent);
  bool Loaded() const { return loaded_; }

  const std::vector<panel::PredefinedEntry>& Entries() const { return entries_; }
  // The selected entry numbers (from 0), in list order; set by Select.
  const std::vector<int>& Selection() const { return selection_; }
  QTreeWidget* List() const { return list_; }

  void accept() override;

 private:
  panel::PanelSession& session_;
  std::vector<panel::PredefinedEntry> entries_;
  std::vector<int> selection_;
  QTreeWidget* list_;
  bool loaded_ = false;
};

}  // namespace quorix::panelui
