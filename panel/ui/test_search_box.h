// The main window's test search: a query box whose button asks every enabled
// node with the current settings on a thread of its own, a busy bar while it
// runs, and per node its status, time, result count and first titles.
#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <memory>

#include "panel/core/session.h"
#include "panel/core/test_search.h"

namespace quorix::panelui {

class TestSearchBox : public QGroupBox {
  Q_OBJECT
 public:
  TestSearchBox(panel::PanelSession& session, QWidget* parent);
  // Waits for a search still running.
  ~TestSearchBox() override;

  // Whether searching is possible at all (settings are held).
  void SetUsable(bool usable);
  bool Running() const { return run_ != nullptr; }

  // Starts the search for the box's text; ignored while one runs or without text.
  void Search();

 signals:
  void searchEnded();

 private:
  void SearchEnded();
  void ShowReport(const panel::TestSearchReport& report);
  void UpdateEnabling();

  panel::PanelSession& session_;
  bool usable_ = true;
  std::unique_ptr<panel::TestSearchRun> run_;
  QLineEdit* query_;
  QPushButton* search_;
  QProgressBar* busy_;
  QLabel* summary_;
  QTreeWidget* results_;
};

}  // namespace quorix::panelui
