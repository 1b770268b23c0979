// The control panel's Desktop on Qt: message boxes, file and folder choosers,
// the help browser, editors, the clipboard and the small dialogs the logic
// asks for. Message boxes asked for from another thread (a verification run)
// are shown on the user-interface thread while that thread waits.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "panel/core/desktop.h"
#include "panel/core/session.h"

namespace quorix::panelui {

class QtDesktop : public panel::Desktop {
 public:
  QtDesktop() = default;

  // The session whose help pages the desktop's own dialogs open, and the
  // main window that owns boxes and dialogs. Both set once at start-up.
  void SetSession(panel::PanelSession* session) { session_ = session; }
  void SetMainWindow(QWidget* window) { mainWindow_ = window; }

  // How URLs are opened and programs started; tests record instead.
  std::function<bool(const QUrl&)> openUrl;
  std::function<bool(const QString& program, const QStringList& arguments)> startProgram;
  // Asks the desktop which application edits HTML; tests answer themselves.
  std::function<bool(std::string& application)> queryHtmlEditor;

  panel::BoxAnswer MessageBox(panel::BoxOwner owner, const std::string& text,
                              const std::string& title, panel::BoxIcon icon,
                              panel::BoxButtons buttons) override;
  int ShowFileDialog(panel::FileDialogMode mode, const std::string& title,
                     const panel::FileFilter& filter, std::string& path) override;
  panel::FolderChoice BrowseForFolder(const std::string& instruction, std::string& folder) override;
  bool OpenHelpPage(const std::string& helpDir, const std::string& page) override;
  bool QueryHtmlEditor(std::string& application) override;
  bool OpenInHtmlEditor(const std::string& path, bool chooseApplication) override;
  bool OpenInTextEditor(const std::string& path) override;
  int SetClipboardText(const std::string& text) override;
  bool ShowWordProcessorWarning() override;
  bool AskNewLanguageFileName(std::string& name,
                              const std::function<bool(const std::string&)>& accept) override;
  bool AskSiteFolder(std::string& folder) override;
  void ShowFilesCreated(const std::vector<std::string>& files,
                        const std::vector<std::string>& notes) override;

  // The window that owns what `owner` names: the open modal dialog, the main
  // window, or none.
  QWidget* OwnerWidget(panel::BoxOwner owner) const;

 private:
  panel::BoxAnswer ShowBox(panel::BoxOwner owner, const std::string& text, const std::string& title,
                           panel::BoxIcon icon, panel::BoxButtons buttons);
  void Help(const std::string& page);
  bool Open(const QUrl& url) const;
  bool Start(const QString& program, const QStringList& arguments) const;

  panel::PanelSession* session_ = nullptr;
  QWidget* mainWindow_ = nullptr;
};

}  // namespace quorix::panelui
