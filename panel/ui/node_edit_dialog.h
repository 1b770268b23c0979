// Adds or edits one search node: its type, URLs, time-out, enabled state and
// the strict query syntax flag, with the predefined OpenSearch descriptions
// to choose from. The checks and the node table belong to panel::NodeDialog.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <vector>

#include "panel/core/node_dialog.h"

namespace quorix::panelui {

class NodeEditDialog : public QDialog {
  Q_OBJECT
 public:
  // Prepares the node of `mode`; for editing, the first of `selectedRows`.
  NodeEditDialog(panel::PanelSession& session, panel::NodeDialogMode mode,
                 const std::vector<int>& selectedRows, QWidget* parent);
  // False when the logic refused to open (it has told the user): do not show.
  bool Prepared() const { return prepared_; }

  void accept() override;
  void reject() override;

 private:
  QWidget* BuildUrlGroup();
  void ShowFields();
  void ShowTypeControls();
  void ReadFields();
  void BrowsePredefined();
  void CheckUrl();
  void TestNode();

  panel::PanelSession& session_;
  panel::NodeDialog node_;
  bool prepared_ = false;
  QCheckBox* enable_;
  QRadioButton* vexa_;
  QRadioButton* openSearch_;
  QPushButton* ok_;
  QPushButton* test_;
  QListWidget* testLines_;
  QLabel* nodeUrlProblem_;
  QLabel* descriptionProblem_;
  QLabel* nodeUrlLabel_;
  QLineEdit* nodeUrl_;
  QLabel* descriptionLabel_;
  QLineEdit* description_;
  QPushButton* browse_;
  QCheckBox* strict_;
  QLineEdit* timeout_;
  QLineEdit* name_;
};

}  // namespace quorix::panelui
