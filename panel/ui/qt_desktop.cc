#include "panel/ui/qt_desktop.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include "panel/ui/files_created_dialog.h"
#include "panel/ui/folder_browser.h"
#include "panel/ui/launcher.h"
#include "panel/ui/new_language_dialog.h"
#include "panel/ui/widgets_common.h"
#include "panel/ui/word_warning_dialog.h"

namespace quorix::panelui {

using panel::BoxAnswer;
using panel::BoxButtons;
using panel::BoxIcon;
using panel::BoxOwner;

QWidget* QtDesktop::OwnerWidget(BoxOwner owner) const {
  switch (owner) {
    case BoxOwner::kNone:
      return nullptr;
    case BoxOwner::kDialog:
      if (QWidget* dialog = QApplication::activeModalWidget()) return dialog;
      return mainWindow_;
    case BoxOwner::kMainWindow:
      return mainWindow_;
  }
  return nullptr;
}

BoxAnswer QtDesktop::MessageBox(BoxOwner owner, const std::string& text, const std::string& title,
                                BoxIcon icon, BoxButtons buttons) {
  if (QThread::currentThread() == qApp->thread()) return ShowBox(owner, text, title, icon, buttons);
  BoxAnswer answer = BoxAnswer::kCancel;
  QMetaObject::invokeMethod(
      qApp, [&] { answer = ShowBox(owner, text, title, icon, buttons); },
      Qt::BlockingQueuedConnection);
  return answer;
}

namespace {

// Message boxes size themselves by their text: a wider title would end in
// "...", so the box is kept at least as wide as the title and its bar's
// buttons need.
void KeepTitleVisible(QMessageBox& box) {
  constexpr int kTitleBarExtra = 140;  // icon and window buttons
  QFont titleFont = box.font();
  titleFont.setBold(true);
  int wanted = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + kTitleBarExtra;
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
    grid->addItem(new QSpacerItem(wanted, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

}  // namespace

BoxAnswer QtDesktop::ShowBox(BoxOwner owner, const std::string& text, const std::string& title,
                             BoxIcon icon, BoxButtons buttons) {
  QMessageBox box(OwnerWidget(owner));
  box.setWindowTitle(ToQ(title));
  box.setText(ToQ(text));
  box.setTextFormat(Qt::PlainText);
  switch (icon) {
    case BoxIcon::kNone:
      box.setIcon(QMessageBox::NoIcon);
      break;
    case BoxIcon::kExclamation:
      box.setIcon(QMessageBox::Warning);
      break;
    case BoxIcon::kQuestion:
      box.setIcon(QMessageBox::Question);
      break;
    case BoxIcon::kInformation:
      box.setIcon(QMessageBox::Information);
      break;
  }
  switch (buttons) {
    case BoxButtons::kOk:
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case BoxButtons::kYesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
    case BoxButtons::kYesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      break;
  }
  KeepTitleVisible(box);
  switch (box.exec()) {
    case QMessageBox::Yes:
      return BoxAnswer::kYes;
    case QMessageBox::No:
      return BoxAnswer::kNo;
    case QMessageBox::Ok:
      return BoxAnswer::kOk;
    default:
      // Escape or the close button: Cancel where there is one, else No.
      return buttons == BoxButtons::kYesNo ? BoxAnswer::kNo
             : buttons == BoxButtons::kOk  ? BoxAnswer::kOk
                                           : BoxAnswer::kCancel;
  }
}

int QtDesktop::ShowFileDialog(panel::FileDialogMode mode, const std::string& title,
                              const panel::FileFilter& filter, std::string& path) {
  QFileDialog chooser(mainWindow_, ToQ(title));
  chooser.setObjectName(QStringLiteral("settingsFileChooser"));
  chooser.setNameFilter(ToQ(filter.text));
  chooser.setOption(QFileDialog::DontUseNativeDialog, true);
  // The settings writer asks before replacing a file itself.
  chooser.setOption(QFileDialog::DontConfirmOverwrite, true);
  if (mode == panel::FileDialogMode::kOpen) {
    chooser.setAcceptMode(QFileDialog::AcceptOpen);
    chooser.setFileMode(QFileDialog::ExistingFile);
  } else {
    chooser.setAcceptMode(QFileDialog::AcceptSave);
    chooser.setFileMode(QFileDialog::AnyFile);
  }
  if (!path.empty()) chooser.selectFile(ToQ(path));
  if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) return 1;
  path = FromQ(chooser.selectedFiles().front());
  return 0;
}

panel::FolderChoice QtDesktop::BrowseForFolder(const std::string& instruction,
                                               std::string& folder) {
  FolderBrowser browser(ToQ(instruction), ToQ(folder), mainWindow_);
  if (browser.exec() != QDialog::Accepted) return panel::FolderChoice::kCancelled;
  QString chosen = browser.ChosenFolder();
  if (!chosen.isEmpty() && !QFileInfo(chosen).isDir()) return panel::FolderChoice::kNotFileSystem;
  folder = FromQ(chosen);
  return panel::FolderChoice::kChosen;
}

bool QtDesktop::Open(const QUrl& url) const {
  if (openUrl) return openUrl(url);
  return StartAndCheck(QStringLiteral("xdg-open"),
                       {url.isLocalFile() ? url.toLocalFile() : url.toString()});
}

bool QtDesktop::Start(const QString& program, const QStringList& arguments) const {
  return startProgram ? startProgram(program, arguments) : StartAndCheck(program, arguments);
}

bool QtDesktop::OpenHelpPage(const std::string& helpDir, const std::string& page) {
  return Open(QUrl::fromLocalFile(ToQ(helpDir + "/" + page)));
}

// The desktop's application for plain text, else $VISUAL, else $EDITOR.
bool QtDesktop::QueryHtmlEditor(std::string& application) {
  if (queryHtmlEditor) return queryHtmlEditor(application);
  QProcess query;
  query.start(QStringLiteral("xdg-mime"),
              {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/plain")});
  if (query.waitForFinished(3000) && query.exitStatus() == QProcess::NormalExit &&
      query.exitCode() == 0)
    application = FromQ(QString::fromUtf8(query.readAllStandardOutput()).trimmed());
  for (const char* variable : {"VISUAL", "EDITOR"}) {
    if (!application.empty()) break;
    application = qEnvironmentVariable(variable).trimmed().toStdString();
  }
  return !application.empty();
}

bool QtDesktop::OpenInHtmlEditor(const std::string& path, bool chooseApplication) {
  QString file = ToQ(path);
  if (chooseApplication) {
    // "Open with": the user picks the program that edits the template.
    QString program = QFileDialog::getOpenFileName(mainWindow_, QStringLiteral("Open with"),
                                                   QStringLiteral("/usr/bin"), QString(), nullptr,
                                                   QFileDialog::DontUseNativeDialog);
    return !program.isEmpty() && Start(program, {file});
  }
  std::string application;
  if (!QueryHtmlEditor(application)) return false;
  QStringList command = EditorCommand(ToQ(application), file);
  return !command.isEmpty() && Start(command.front(), command.mid(1));
}

bool QtDesktop::OpenInTextEditor(const std::string& path) {
  return Start(QStringLiteral("xdg-open"), {ToQ(path)});
}

int QtDesktop::SetClipboardText(const std::string& text) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard) return 1;
  clipboard->setText(ToQ(text));
  return clipboard->text() == ToQ(text) ? 0 : -1;
}

void QtDesktop::Help(const std::string& page) {
  if (session_) session_->ShowHelp(BoxOwner::kDialog, page);
}

bool QtDesktop::ShowWordProcessorWarning() {
  WordWarningDialog dialog([this] { Help("HID_DEFAULT_EDITOR.htm"); },
                           QApplication::activeModalWidget());
  dialog.exec();
  return dialog.DoNotCheckAgain();
}

bool QtDesktop::AskNewLanguageFileName(std::string& name,
                                       const std::function<bool(const std::string&)>& accept) {
  NewLanguageDialog dialog(ToQ(name), accept, QApplication::activeModalWidget());
  CentreOverParent(&dialog, mainWindow_);
  if (dialog.exec() != QDialog::Accepted) return false;
  name = FromQ(dialog.FileName());
  return true;
}

bool QtDesktop::AskSiteFolder(std::string& folder) {
  bool ok = false;
  QString answer = QInputDialog::getText(
      QApplication::activeModalWidget() ? QApplication::activeModalWidget() : mainWindow_,
      QStringLiteral("Folder on the web server"),
      QStringLiteral("The folder the search will run from on the web server (the web server rules "
                     "and the set-up advice name it):"),
      QLineEdit::Normal, ToQ(folder), &ok);
  if (!ok) return false;
  folder = FromQ(answer.trimmed());
  return true;
}

void QtDesktop::ShowFilesCreated(const std::vector<std::string>& files,
                                 const std::vector<std::string>& notes) {
  FilesCreatedDialog dialog(
      files, notes, [this] { Help("HID_QUORIX_INSTALL.htm"); }, mainWindow_);
  dialog.exec();
}

}  // namespace quorix::panelui
