// Adds or edits one search node: its type, URLs, time-out, enabled state and
// the strict query syntax flag, with the predefined OpenSearch descriptions
// to choose from. The checks and the node table belong to panel::NodeDialog.
#pragma once

#include <QBoxLayout>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <thread>
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

  ~NodeEditDialog() override;
  bool Testing() const { return testing_; }

  void accept() override;
  void reject() override;
  void done(int result) override;

 signals:
  void testEnded();

 private:
  QHBoxLayout* BuildTypeRow();
  QWidget* BuildUrlGroup();
  QHBoxLayout* BuildTimeoutRow();
  QHBoxLayout* BuildNameRow();
  void AddTestOutput(QVBoxLayout* layout);
  QDialogButtonBox* BuildButtons();
  void ConnectFields();
  void ShowFields();
  void ShowTypeControls();
  void ReadFields();
  void BrowsePredefined();
  void CheckUrl();
  void TestNode();
  void TestEnded(const std::vector<panel::LogWindowLine>& lines);

  panel::PanelSession& session_;
  panel::NodeDialog node_;
  bool prepared_ = false;
  QCheckBox* enable_;
  QRadioButton* vexa_;
  QRadioButton* openSearch_;
  QPushButton* ok_;
  QPushButton* test_;
  QListWidget* testLines_;
  QProgressBar* testBusy_;
  QDialogButtonBox* buttons_;
  std::thread testThread_;
  bool testing_ = false;
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
