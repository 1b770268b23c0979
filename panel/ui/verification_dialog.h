// The verification run in a window: the log lines appear as the run writes
// them, the buttons wait until it has ended, then the closing message box.
// The log list copies one line or the whole log to the clipboard.
#pragma once

#include <QDialog>
#include <QPushButton>
#include <QTreeWidget>
#include <memory>

#include "panel/core/verification.h"

namespace quorix::panelui {

class VerificationDialog : public QDialog {
  Q_OBJECT
 public:
  // The run starts as soon as the dialog is shown.
  VerificationDialog(panel::PanelSession& session, QWidget* parent);
  ~VerificationDialog() override;

  QTreeWidget* Log() const { return log_; }
  bool Running() const { return running_; }
  // The log list's popup commands.
  void CopyLog(bool selectedLineOnly);

  void reject() override;
  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 signals:
  // The run has ended and its closing box was answered.
  void finished_run();

 private:
  void FitLogColumn();
  void StartRun();
  void AddLine(int level, const QString& text);
  void RunEnded();
  void SetButtonsEnabled(bool enabled);
  void ShowPopup(const QPoint& position);

  panel::PanelSession& session_;
  std::unique_ptr<panel::VerificationRun> run_;
  QTreeWidget* log_;
  QList<QPushButton*> buttons_;
  bool started_ = false;
  bool running_ = false;
};

}  // namespace quorix::panelui
