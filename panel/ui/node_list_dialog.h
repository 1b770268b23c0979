// The node list: every configured search node of the working copy, with Add,
// Edit, Remove, and Enable and Disable in the list's popup menu. OK commits
// the working copy, Cancel drops it.
#pragma once

#include <QDialog>
#include <QTreeWidget>

#include "panel/core/session.h"

namespace quorix::panelui {

class NodeListDialog : public QDialog {
  Q_OBJECT
 public:
  NodeListDialog(panel::PanelSession& session, QWidget* parent);

  QTreeWidget* List() const { return list_; }
  // The list's popup menu commands.
  void SetSelectedDisabled(bool disabled);

  void accept() override;
  // Esc and Cancel: asks before dropping changes.
  void reject() override;

 private:
  void Fill();
  void AddNode();
  void EditNode();
  void RemoveNodes();
  void ShowPopup(const QPoint& position);

  panel::PanelSession& session_;
  QTreeWidget* list_;
};

}  // namespace quorix::panelui
