// A Desktop for tests: answers come from scripts, and every box, chooser and
// program start is recorded.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "panel/core/desktop.h"

namespace quorix::panel::testing {

struct ShownBox {
  BoxOwner owner;
  std::string text;
  std::string title;
  BoxIcon icon;
  BoxButtons buttons;
};

struct FileDialogCall {
  FileDialogMode mode;
  std::string title;
  std::string initialPath;
};

struct FileDialogAnswer {
  int result;        // 0 chosen, 1 cancelled, else an extended error
  std::string path;  // the choice when result is 0
};

class ScriptedDesktop : public Desktop {
 public:
  // Answers to the Yes/No(/Cancel) boxes, in order. OK boxes take none.
  std::deque<BoxAnswer> answers;
  std::vector<ShownBox> boxes;

  std::deque<FileDialogAnswer> fileAnswers;
  std::vector<FileDialogCall> fileCalls;

  std::deque<std::pair<FolderChoice, std::string>> folderAnswers;
  // Typed answers to the site folder question; none left: the preset is accepted.
  // An empty answer cancels.
  std::deque<std::string> siteFolderAnswers;
  std::vector<std::string> siteFolderPresets;
  std::vector<std::string> folderStarts;  // the folder each browser started at

  bool helpOpens = true;
  std::vector<std::string> helpPages;

  bool htmlEditorKnown = true;
  std::string htmlEditor = "org.gnome.gedit.desktop";
  bool htmlEditorStarts = true;
  std::vector<std::pair<std::string, bool>> htmlEditorOpens;  // path, chooser shown

  bool textEditorStarts = true;
  std::vector<std::string> textEditorOpens;

  int clipboardResult = 0;
  std::string clipboard;

  bool tickDoNotCheckAgain = false;
  int wordWarnings = 0;

  std::deque<std::string> typedNames;  // names typed into the new-language-file dialog
  std::vector<std::string> presetNames;

  std::vector<std::vector<std::string>> filesCreated;
  std::vector<std::string> filesCreatedNotes;  // of the last files-created dialog

  BoxAnswer MessageBox(BoxOwner owner, const std::string& text, const std::string& title,
                       BoxIcon icon, BoxButtons buttons) override {
    boxes.push_back({owner, text, title, icon, buttons});
    if (buttons == BoxButtons::kOk) return BoxAnswer::kOk;
    if (answers.empty()) {
      ADD_FAILURE() << "unscripted question: " << title << ": " << text;
      return BoxAnswer::kNo;
    }
    BoxAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }

  int ShowFileDialog(FileDialogMode mode, const std::string& title, const FileFilter& filter,
                     std::string& path) override {
    EXPECT_EQ(filter.text, "Quorix ControlPanel config files (*.cpdat)");
    EXPECT_EQ(filter.pattern, "*.cpdat");
    fileCalls.push_back({mode, title, path});
    if (fileAnswers.empty()) {
      ADD_FAILURE() << "unscripted file dialog";
      return 1;
    }
    FileDialogAnswer answer = fileAnswers.front();
    fileAnswers.pop_front();
    if (answer.result == 0) path = answer.path;
    return answer.result;
  }

  FolderChoice BrowseForFolder(const std::string& instruction, std::string& folder) override {
    EXPECT_EQ(instruction,
              "Select the output directory to store the files that Quorix ControlPanel will "
              "create.  These are the Quorix CGI files that will need to be copied to your web "
              "server.");
    folderStarts.push_back(folder);
    if (folderAnswers.empty()) {
      ADD_FAILURE() << "unscripted folder browser";
      return FolderChoice::kCancelled;
    }
    auto [choice, path] = folderAnswers.front();
    folderAnswers.pop_front();
    if (choice == FolderChoice::kChosen) folder = path;
    return choice;
  }

  bool OpenHelpPage(const std::string& helpDir, const std::string& page) override {
    helpPages.push_back(helpDir + "|" + page);
    return helpOpens;
  }

  bool QueryHtmlEditor(std::string& application) override {
    application = htmlEditor;
    return htmlEditorKnown;
  }

  bool OpenInHtmlEditor(const std::string& path, bool chooseApplication) override {
    htmlEditorOpens.push_back({path, chooseApplication});
    return htmlEditorStarts;
  }

  bool OpenInTextEditor(const std::string& path) override {
    textEditorOpens.push_back(path);
    return textEditorStarts;
  }

  int SetClipboardText(const std::string& text) override {
    if (clipboardResult == 0) clipboard = text;
    return clipboardResult;
  }

  bool ShowWordProcessorWarning() override {
    ++wordWarnings;
    return tickDoNotCheckAgain;
  }

  bool AskNewLanguageFileName(std::string& name,
                              const std::function<bool(const std::string&)>& accept) override {
    presetNames.push_back(name);
    while (!typedNames.empty()) {
      std::string typed = typedNames.front();
      typedNames.pop_front();
      if (accept(typed)) {
        name = typed;
        return true;
      }
    }
    return false;  // cancelled
  }

  bool AskSiteFolder(std::string& folder) override {
    siteFolderPresets.push_back(folder);
    if (siteFolderAnswers.empty()) return true;
    std::string typed = siteFolderAnswers.front();
    siteFolderAnswers.pop_front();
    if (typed.empty()) return false;
    folder = typed;
    return true;
  }

  void ShowFilesCreated(const std::vector<std::string>& files,
                        const std::vector<std::string>& notes) override {
    filesCreated.push_back(files);
    filesCreatedNotes = notes;
  }

  // Titles of the boxes shown so far, in order.
  std::vector<std::string> Titles() const {
    std::vector<std::string> titles;
    for (const ShownBox& box : boxes) titles.push_back(box.title);
    return titles;
  }
};

}  // namespace quorix::panel::testing
