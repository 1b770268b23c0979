// What the window tests share: a temporary copy of the control panel's
// program folder, a session and main window over it with recorded URL and
// program starts, answering modal dialogs and message boxes as they appear,
// and saving pictures of the windows.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTreeWidget>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "panel/core/session.h"
#include "panel/ui/main_window.h"
#include "panel/ui/qt_desktop.h"

namespace quorix::panelui::testing {

// Test classes register themselves; main runs the one named on the command line.
using TestFactory = std::function<std::unique_ptr<QObject>()>;
int RegisterTest(const char* name, TestFactory factory);
#define QUORIX_UI_TEST(Class)          \
  static const int Class##Registered = \
      ::quorix::panelui::testing::RegisterTest(#Class, [] { return std::make_unique<Class>(); });

// A temporary folder removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// A copy of the built program folder (shipped files and quorix.cgi) under a
// temporary folder, with a session and a main window over it.
class PanelHarness {
 public:
  // Runs the panel's start-up with `args` (args[0] is the program).
  explicit PanelHarness(std::vector<std::string> args = {"QuorixControlPanel"},
                        std::function<void(PanelHarness&)> beforeStart = {});
  ~PanelHarness();

  std::string installDir() const { return root_.path() + "/install"; }
  std::string scratch() const { return root_.path() + "/scratch"; }

  TempDir root_;
  QtDesktop desktop;
  std::unique_ptr<panel::PanelSession> session;
  std::unique_ptr<MainWindow> window;
  std::vector<QUrl> openedUrls;
  std::vector<QStringList> startedPrograms;  // program, then its arguments
  std::string htmlEditor = "gedit";          // a command line, as $VISUAL holds
};

// What a message box showed.
struct SeenBox {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
};

// Runs `act` on the next modal window that appears above the one modal now
// (a dialog or message box). Fails the test when none appears in time.
void OnNextModal(std::function<void(QWidget*)> act, int timeoutMs = 20000);
// The same for the first modal window other than `notThis` (may be null).
void OnModal(std::function<void(QWidget*)> act, QWidget* notThis, int timeoutMs = 20000);
// Runs `act` on the first visible top-level window that `match` accepts.
void OnWindow(std::function<bool(QWidget*)> match, std::function<void(QWidget*)> act,
              int timeoutMs = 20000);
// Answers the message box shown now, or else the next one, with `button`, recording it in `seen`.
void AnswerNextBox(QMessageBox::StandardButton button, SeenBox* seen = nullptr,
                   const char* shotName = nullptr);
// Processes events until `done` holds or `timeoutMs` passed; returns `done()`.
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 20000);

// Saves a picture of `window` with a drawn title bar (its caption and icon)
// as <artefacts>/<name>.png; returns the file's path.
QString SaveShot(QWidget* window, const QString& name);

// The buttons, check boxes and labels with a field (and a main window's menu
// titles) inside `window` that have no keyboard mnemonic, or share their
// letter with another; empty when every one has its own.
QStringList MnemonicProblems(QWidget* window);

// Texts of a list's rows in column `column`.
QStringList ColumnTexts(const QTreeWidget* list, int column);

// Puts a Vexa node in use at `slot` of `config`.
void PutVexaNode(Config& config, int slot, const std::string& host, const std::string& path,
                 bool disabled = false);

// An RSS answer with `items` results titled "Result <n>".
std::string RssAnswer(int items);

}  // namespace quorix::panelui::testing
