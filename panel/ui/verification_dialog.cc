#include "panel/ui/verification_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QMenu>
#include <QPointer>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include "panel/ui/widgets_common.h"

namespace quorix::panelui {

using namespace panel;

VerificationDialog::VerificationDialog(PanelSession& session, QWidget* parent)
    : QDialog(parent), session_(session) {
  setObjectName(QStringLiteral("verificationDialog"));
  setWindowTitle(QStringLiteral("Quorix ControlPanel Verification"));
  auto* layout = new QVBoxLayout(this);
  log_ = MakeReportList({QStringLiteral("Message")}, {250}, false, this);
  log_->setObjectName(QStringLiteral("logList"));
  // The column widens with the longest line, so long lines scroll rather than end in "...".
  log_->header()->setStretchLastSection(false);
  layout->addWidget(log_, 1);
  auto* box = new QDialogButtonBox(this);
  QPushButton* ok = box->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("ok"));
  QPushButton* copy =
      box->addButton(QStringLiteral("&Copy to clipboard"), QDialogButtonBox::ActionRole);
  copy->setObjectName(QStringLiteral("copy"));
  QPushButton* help = box->addButton(QStringLiteral("&Help"), QDialogButtonBox::HelpRole);
  help->setObjectName(QStringLiteral("help"));
  buttons_ = {ok, copy, help};
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(copy, &QPushButton::clicked, this, [this] { CopyLog(false); });
  connect(help, &QPushButton::clicked, this,
          [this] { session_.ShowHelp(BoxOwner::kDialog, "hid_verify.htm"); });
  connect(log_, &QTreeWidget::customContextMenuRequested, this, &VerificationDialog::ShowPopup);
  layout->addWidget(box);
  // About 388 x 259 dialog units.
  resize(600, 420);

  session_.log.SetUpWindow();
  QPointer<VerificationDialog> self(this);
  session_.log.onWindowLine = [self](const LogWindowLine& line) {
    int level = line.level;
    QString text = ToQ(line.text);
    // Runs on the verification thread: the line is handed to the window.
    PostToWidget(self, [level, text](VerificationDialog& dialog) { dialog.AddLine(level, text); });
  };
  CentreOnScreen(this);
}

VerificationDialog::~VerificationDialog() {
  if (run_) run_->Wait();
  session_.log.onWindowLine = nullptr;
  session_.log.CloseWindow();
}

void VerificationDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!started_) {
    started_ = true;
    QTimer::singleShot(0, this, &VerificationDialog::StartRun);
  }
}

void VerificationDialog::StartRun() {
  running_ = true;
  SetButtonsEnabled(false);
  run_ = std::make_unique<VerificationRun>(session_);
  QPointer<VerificationDialog> self(this);
  run_->Start([self](VerificationOutcome) {
    // Queued behind every line the run has posted.
    PostToWidget(self, [](VerificationDialog& dialog) { dialog.RunEnded(); });
  });
}

void VerificationDialog::RunEnded() {
  run_->Wait();
  running_ = false;
  run_->ShowFinalBox();
  SetButtonsEnabled(true);
  emit finished_run();
}

void VerificationDialog::AddLine(int level, const QString& text) {
  int row = log_->topLevelItemCount();
  auto* item = new QTreeWidgetItem(log_, {text});
  item->setForeground(0, ToColor(LogLineColour(level)));
  item->setBackground(0, ToColor(LogRowBackground(row)));
  FitLogColumn();
  log_->scrollToItem(item);
}

// The column is as wide as the longest line, and never narrower than the list.
void VerificationDialog::FitLogColumn() {
  log_->resizeColumnToContents(0);
  if (log_->columnWidth(0) < log_->viewport()->width())
    log_->setColumnWidth(0, log_->viewport()->width());
}

void VerificationDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  FitLogColumn();
}

void VerificationDialog::SetButtonsEnabled(bool enabled) {
  for (QPushButton* button : buttons_) button->setEnabled(enabled);
}

void VerificationDialog::CopyLog(bool selectedLineOnly) {
  if (running_) return;
  std::vector<int> rows = SelectedRows(log_);
  session_.log.CopyToClipboard(selectedLineOnly, rows.empty() ? -1 : rows.front());
}

void VerificationDialog::ShowPopup(const QPoint& position) {
  if (running_) return;
  QMenu menu(QStringLiteral("Logger"), this);
  menu.setObjectName(QStringLiteral("loggerPopup"));
  menu.addAction(QStringLiteral("Copy entire log to clipboard"), this, [this] { CopyLog(false); });
  menu.addAction(QStringLiteral("Copy line to clipboard"), this, [this] { CopyLog(true); });
  menu.exec(log_->viewport()->mapToGlobal(position));
}

void VerificationDialog::reject() {
  // Escape and the close button wait for the end of the run like the buttons.
  if (!running_) QDialog::reject();
}

void VerificationDialog::done(int result) {
  if (!running_) QDialog::done(result);
}

}  // namespace quorix::panelui
