// The control panel's main window: the command buttons, the information area
// and the main menu with its accelerators. Every command goes to the logic in
// panel/core or opens the dialog that carries it out; afterwards the window
// shows the enabling and the information that the run state holds. Below them
// the test search asks the nodes without a CGI run.
#pragma once

#include <QAction>
#include <QBoxLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <map>

#include "panel/core/session.h"
#include "panel/ui/qt_desktop.h"

namespace quorix::panelui {

class TestSearchBox;

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  MainWindow(panel::PanelSession& session, QtDesktop& desktop);

  // Runs main-window command `command` (a panel::Command), as a button, a
  // menu item or an accelerator does.
  void RunCommand(int command);
  // Shows the run state: enabled commands and the information area.
  void Refresh();

  // The button or menu item of `command`; null when there is none.
  QPushButton* Button(int command) const;
  QAction* Action(int command) const;
  TestSearchBox* TestSearch() const { return testSearch_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenu();
  QWidget* BuildControls();
  QGridLayout* BuildTaskButtons(QWidget* central);
  QGroupBox* BuildInfoGroup(QWidget* central);
  QHBoxLayout* BuildFileButtons(QWidget* central);
  QAction* AddAction(QMenu* menu, int command, const QString& text,
                     const QKeySequence& shortcut = {});
  QPushButton* AddButton(int command, const QString& text, QWidget* parent);
  void OpenNodeList();
  void OpenOptions();
  void OpenVerification();
  void OpenPreferences();
  void OpenAbout();

  panel::PanelSession& session_;
  QtDesktop& desktop_;
  std::map<int, QPushButton*> buttons_;
  std::map<int, QAction*> actions_;
  QGroupBox* info_ = nullptr;
  QPlainTextEdit* infoText_ = nullptr;
  TestSearchBox* testSearch_ = nullptr;
};

}  // namespace quorix::panelui
