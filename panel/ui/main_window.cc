#include "panel/ui/main_window.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QVBoxLayout>

#include "panel/core/main_flow.h"
#include "panel/ui/about_dialog.h"
#include "panel/ui/node_list_dialog.h"
#include "panel/ui/search_options_dialog.h"
#include "panel/ui/test_search_box.h"
#include "panel/ui/verification_dialog.h"
#include "panel/ui/verification_preference_dialog.h"
#include "panel/ui/widgets_common.h"

namespace quorix::panelui {

using namespace panel;

MainWindow::MainWindow(PanelSession& session, QtDesktop& desktop)
    : QMainWindow(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                               Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      session_(session),
      desktop_(desktop) {
  setObjectName(QStringLiteral("QuorixControlPanel"));
  setWindowTitle(QStringLiteral("Quorix ControlPanel"));
  setWindowIcon(PanelIcon(QStringLiteral("quorix-control-panel")));
  BuildMenu();
  setCentralWidget(BuildControls());
  Refresh();
  layout()->setSizeConstraint(QLayout::SetFixedSize);
}

QAction* MainWindow::AddAction(QMenu* menu, int command, const QString& text,
                               const QKeySequence& shortcut) {
  // The text carries the shortcut shown after the tab; the key itself is set
  // apart, so a text may show a key that does nothing.
  QAction* action = menu->addAction(text);
  action->setObjectName(QStringLiteral("action%1").arg(command));
  if (!shortcut.isEmpty()) action->setShortcut(shortcut);
  connect(action, &QAction::triggered, this, [this, command] { RunCommand(command); });
  actions_[command] = action;
  return action;
}

void MainWindow::BuildMenu() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  AddAction(file, kCmdNew, QStringLiteral("&New settings\tCtrl-N"),
            QKeySequence(Qt::CTRL | Qt::Key_N));
  AddAction(file, kCmdLoad, QStringLiteral("L&oad settings\tCtrl-O"),
            QKeySequence(Qt::CTRL | Qt::Key_O));
  AddAction(file, kCmdSave, QStringLiteral("&Save loaded ControlPanel settings\tCtrl-S"),
            QKeySequence(Qt::CTRL | Qt::Key_S));
  AddAction(file, kCmdSaveAs, QStringLiteral("Save ControlPanel settings as"));
  AddAction(file, kCmdGenerate, QStringLiteral("Create &Quorix CGI files\tCtrl-M"));
  AddAction(file, kCmdExit, QStringLiteral("E&xit"));
  QMenu* configuration = menuBar()->addMenu(QStringLiteral("&Configuration"));
  AddAction(configuration, kCmdConfigureNodes, QStringLiteral("Configure slaves"));
  AddAction(configuration, kCmdSearchOptions, QStringLiteral("Search options"));
  QMenu* preferences = menuBar()->addMenu(QStringLiteral("&Preferences"));
  AddAction(preferences, kCmdVerificationPreferences, QStringLiteral("Verification logging"));
  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  AddAction(help, kCmdHelp, QStringLiteral("Help\tF1"), QKeySequence(Qt::Key_F1));
  AddAction(help, kCmdAbout, QStringLiteral("About ..."));
}

QPushButton* MainWindow::AddButton(int command, const QString& text, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QStringLiteral("button%1").arg(command));
  connect(button, &QPushButton::clicked, this, [this, command] { RunCommand(command); });
  buttons_[command] = button;
  return button;
}

QWidget* MainWindow::BuildControls() {
  // The widgets are made in the order of the tab focus.
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(14, 12, 14, 12);
  layout->setSpacing(12);
  auto* top = new QHBoxLayout;
  top->addLayout(BuildTaskButtons(central));
  top->addWidget(BuildInfoGroup(central), 1);
  layout->addLayout(top);
  testSearch_ = new TestSearchBox(session_, central);
  layout->addWidget(testSearch_);
  layout->addLayout(BuildFileButtons(central));
  return central;
}

// The editing and verification commands, each with its icon.
QGridLayout* MainWindow::BuildTaskButtons(QWidget* central) {
  auto* tasks = new QGridLayout;
  tasks->setHorizontalSpacing(12);
  tasks->setVerticalSpacing(8);
  const struct {
    const char* icon;
    int command;
    const char* text;
  } kTasks[] = {{"nodes", kCmdConfigureNodes, "&Edit List of Slaves"},
                {"options", kCmdSearchOptions, "Configure Quorix Search &Options"},
                {"verify", kCmdVerify, "&Verify Quorix Settings"}};
  int row = 0;
  for (const auto& task : kTasks) {
    auto* icon = new QLabel(central);
    icon->setPixmap(PanelPixmap(QString::fromLatin1(task.icon), 40));
    icon->setFixedSize(44, 44);
    icon->setAlignment(Qt::AlignCenter);
    tasks->addWidget(icon, row, 0);
    QPushButton* button = AddButton(task.command, QString::fromLatin1(task.text), central);
    button->setMinimumHeight(36);
    button->setMinimumWidth(240);
    tasks->addWidget(button, row, 1);
    ++row;
  }
  return tasks;
}

QGroupBox* MainWindow::BuildInfoGroup(QWidget* central) {
  info_ = new QGroupBox(QStringLiteral("Information:"), central);
  info_->setObjectName(QStringLiteral("infoGroup"));
  auto* infoLayout = new QVBoxLayout(info_);
  infoText_ = new QPlainTextEdit(info_);
  infoText_->setObjectName(QStringLiteral("infoText"));
  infoText_->setReadOnly(true);
  infoText_->setLineWrapMode(QPlainTextEdit::NoWrap);
  infoText_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  infoText_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  infoText_->setFixedSize(380, 150);
  infoLayout->addWidget(infoText_);
  return info_;
}

// Load, New and Create CGI files on the left, Exit on the right.
QHBoxLayout* MainWindow::BuildFileButtons(QWidget* central) {
  auto* bottom = new QHBoxLayout;
  bottom->setSpacing(8);
  for (auto [command, text] : {std::pair{kCmdLoad, "&Load settings"},
                               {kCmdNew, "&New settings"},
                               {kCmdGenerate, "Create C&GI files"}}) {
    QPushButton* button = AddButton(command, QString::fromLatin1(text), central);
    button->setMinimumWidth(120);
    bottom->addWidget(button);
  }
  bottom->addStretch(1);
  AddButton(kCmdExit, QStringLiteral("E&xit"), central)->setMinimumWidth(100);
  bottom->addWidget(buttons_[kCmdExit]);
  return bottom;
}

void MainWindow::Refresh() {
  const CommandEnabling& enabling = session_.enabling;
  for (int command : {kCmdConfigureNodes, kCmdSearchOptions, kCmdVerify, kCmdGenerate})
    buttons_[command]->setEnabled(enabling.editCommands);
  for (int command : {kCmdConfigureNodes, kCmdSearchOptions, kCmdGenerate})
    actions_[command]->setEnabled(enabling.editCommands);
  actions_[kCmdSaveAs]->setEnabled(enabling.saveAs);
  actions_[kCmdSave]->setEnabled(enabling.save);
  testSearch_->SetUsable(enabling.editCommands);
  info_->setTitle(ToQ(session_.info.caption));
  infoText_->setPlainText(DisplayLines(session_.info.text));
}

QPushButton* MainWindow::Button(int command) const {
  auto it = buttons_.find(command);
  return it == buttons_.end() ? nullptr : it->second;
}

QAction* MainWindow::Action(int command) const {
  auto it = actions_.find(command);
  return it == actions_.end() ? nullptr : it->second;
}

void MainWindow::RunCommand(int command) {
  switch (command) {
    case kCmdConfigureNodes:
      OpenNodeList();
      break;
    case kCmdSearchOptions:
      OpenOptions();
      break;
    case kCmdVerify:
      OpenVerification();
      break;
    case kCmdVerificationPreferences:
      OpenPreferences();
      break;
    case kCmdAbout:
      OpenAbout();
      break;
    case kCmdExit:
      close();
      break;
    default:
      RunMainCommand(session_, command);
      break;
  }
  Refresh();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (ExitFlow(session_))
    event->accept();
  else
    event->ignore();
}

void MainWindow::OpenNodeList() {
  NodeListDialog dialog(session_, this);
  dialog.exec();
}

void MainWindow::OpenOptions() {
  SearchOptionsDialog dialog(session_, this);
  dialog.exec();
}

void MainWindow::OpenVerification() {
  VerificationDialog dialog(session_, this);
  dialog.exec();
}

void MainWindow::OpenPreferences() {
  VerificationPreferenceDialog dialog(session_, this);
  dialog.exec();
}

void MainWindow::OpenAbout() {
  AboutDialog dialog(this);
  dialog.exec();
}

}  // namespace quorix::panelui
