// Everything the control panel's logic asks of the user and the desktop. The
// window side implements it with real dialogs; tests give scripted answers.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quorix::panel {

enum class BoxIcon { kNone, kExclamation, kQuestion, kInformation };
enum class BoxButtons { kOk, kYesNo, kYesNoCancel };
enum class BoxAnswer { kOk, kYes, kNo, kCancel };
// The window a message box belongs to: none, the main window, or the dialog
// that is open at the time.
enum class BoxOwner { kNone, kMainWindow, kDialog };

enum class FileDialogMode { kOpen, kSave };

// One file type offered by the file choosers.
struct FileFilter {
  std::string text;     // "Quorix ControlPanel config files (*.cpdat)"
  std::string pattern;  // "*.cpdat"
};

// What the folder browser gave back.
enum class FolderChoice {
  kChosen,  // `folder` holds the chosen file-system path (may be empty)
  kCancelled,
  kNotFileSystem,  // an item without a file-system path was chosen
  kFailed,         // the browser could not be shown
};

class Desktop {
 public:
  virtual ~Desktop() = default;

  // Shows a modal message box and returns the button pressed.
  virtual BoxAnswer MessageBox(BoxOwner owner, const std::string& text, const std::string& title,
                               BoxIcon icon, BoxButtons buttons) = 0;

  // Shows the open or save file chooser once, titled `title`, with `path` as
  // the initial file name. Returns 0 with the chosen full path in `path`, 1
  // when cancelled, or the chooser's extended error code (for example when the
  // initial name is not acceptable).
  virtual int ShowFileDialog(FileDialogMode mode, const std::string& title,
                             const FileFilter& filter, std::string& path) = 0;

  // Shows the folder browser with `instruction`, starting at `folder` (may be
  // empty); on kChosen `folder` holds the choice.
  virtual FolderChoice BrowseForFolder(const std::string& instruction, std::string& folder) = 0;

  // Opens `page` from the help folder `helpDir` in the web browser; false when
  // no browser could be started or the launcher failed at once.
  virtual bool OpenHelpPage(const std::string& helpDir, const std::string& page) = 0;

  // The editor for the page template: the desktop's application for plain
  // text (its .desktop id), else $VISUAL, else $EDITOR. False when none is set.
  virtual bool QueryHtmlEditor(std::string& application) = 0;

  // Opens `path` in that editor, or, with `chooseApplication`, lets the user
  // pick the program first. False when nothing could be started or it failed
  // at once.
  virtual bool OpenInHtmlEditor(const std::string& path, bool chooseApplication) = 0;

  // Opens `path` in the plain-text editor; false when it could not be started
  // or the launcher failed at once.
  virtual bool OpenInTextEditor(const std::string& path) = 0;

  // Puts `text` on the clipboard: 0 done, 1 the clipboard could not be opened
  // (nothing is said), -1 the clipboard refused the text.
  virtual int SetClipboardText(const std::string& text) = 0;

  // The word processor warning dialog; returns true when "Do not check for Word
  // again" was ticked.
  virtual bool ShowWordProcessorWarning() = 0;

  // The new-language-file dialog, preset with `name`. On OK it calls `accept`
  // with the typed name and stays open while `accept` returns false. Returns
  // true with the accepted name in `name`, false when cancelled.
  virtual bool AskNewLanguageFileName(std::string& name,
                                      const std::function<bool(const std::string&)>& accept) = 0;

  // Asks for the folder the search runs from on the web server, preset with
  // `folder`. Returns true with the answer in `folder`, false when cancelled.
  virtual bool AskSiteFolder(std::string& folder) = 0;

  // The files-created dialog listing `files`, then `notes`: the warnings and
  // instructions for the web server.
  virtual void ShowFilesCreated(const std::vector<std::string>& files,
                                const std::vector<std::string>& notes) = 0;
};

}  // namespace quorix::panel
