#include "panel/core/settings_flows.h"

#include <filesystem>

#include "config/category_names.h"
#include "config/language_file.h"
#include "config/panel_defaults.h"
#include "config/settings_panel_reader.h"
#include "config/settings_writer.h"

namespace quorix::panel {
namespace {

constexpr char kLoadFailedText[] = "Could not load config file.";
constexpr char kLoadFailedTitle[] = "Failed to load config file";
constexpr char kSaveFailedText[] = "Could not save config file.";
constexpr char kSaveFailedTitle[] = "Failed to save config file";

void Error(PanelSession& session, BoxOwner owner, const std::string& text,
           const std::string& title) {
  session.desktop.MessageBox(owner, text, title, BoxIcon::kExclamation, BoxButtons::kOk);
}

bool AskYesNo(PanelSession& session, BoxOwner owner, const std::string& text,
              const std::string& title) {
  return session.desktop.MessageBox(owner, text, title, BoxIcon::kQuestion, BoxButtons::kYesNo) ==
         BoxAnswer::kYes;
}

// The panel's preferences travel in the settings record's ControlPanel... fields.
void PanelStateToConfig(const PanelState& state, Config& config) {
  config.controlPanelInstallDirectory = state.outputDir;
  config.controlPanelSiteFolder = state.siteFolder;
  config.controlPanelLogging = state.fileLogging;
  config.controlPanelDebugMode = state.panelDebugMode;
  config.controlPanelWarnWord = state.warnWord;
}

void ConfigToPanelState(const Config& config, PanelState& state) {
  state.outputDir = config.controlPanelInstallDirectory;
  state.siteFolder = config.controlPanelSiteFolder;
  state.fileLogging = config.controlPanelLogging;
  state.panelDebugMode = config.controlPanelDebugMode;
  state.warnWord = config.controlPanelWarnWord;
}

// Language file messages go to the panel log; the missing-entries warning to
// a message box over the main window.
class PanelLanguageMessages : public LanguageMessages {
 public:
  explicit PanelLanguageMessages(PanelSession& session) : session_(session) {}
  void Log(LanguageMessageKind, std::string_view line) override {
    session_.log.Write(kLogWarning, line);
  }
  void WarnMissingEntries(std::string_view title, std::string_view text) override {
    Error(session_, BoxOwner::kMainWindow, std::string(text), std::string(title));
  }

 private:
  PanelSession& session_;
};

void AppendLanguageLines(PanelSession& session, std::string& lines) {
  std::string path = LanguageFilePath(session.installDir, session.live.languageFileName);
  PanelLanguageMessages messages(session);
  if (session.sources.languageLines)
    session.sources.languageLines(path, lines, messages);
  else
    CopyLanguageStrings(path, lines, messages);
}

void WriteCategories(PanelSession& session, const std::string& directory, const Config& config) {
  if (session.sources.categoryNames)
    session.sources.categoryNames(directory, config.categoryNames);
  else
    WriteCategoryNames(directory, config.categoryNames);
}

}  // namespace

const FileFilter& SettingsFileFilter() {
  static const FileFilter filter{"Quorix ControlPanel config files (*.cpdat)", "*.cpdat"};
  return filter;
}

int ChooseFile(Desktop& desktop, FileDialogMode mode, std::string& path, const FileFilter& filter) {
  const std::string title = mode == FileDialogMode::kOpen ? "Open file" : "Save file";
  int result = desktop.ShowFileDialog(mode, title, filter, path);
  if (result == 0 || result == 1) return result;
  path.clear();
  return desktop.ShowFileDialog(mode, title, filter, path);
}

std::string WithSettingsExtension(const std::string& path) {
  size_t nameStart = path.find_last_of('/');
  nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
  size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || dot < nameStart) return path + ".cpdat";
  if (path.compare(dot, std::string::npos, ".cpdat") == 0) return path;
  return path.substr(0, dot) + ".cpdat";
}

int SaveSettings(PanelSession& session, const std::string& path, const std::string& fileName,
                 std::string* failure) {
  Config config = session.live;
  PanelStateToConfig(session.panel, config);
  SettingsWriteHooks hooks;
  hooks.askYesNo = [&session](const std::string& text, const std::string& title) {
    return AskYesNo(session, BoxOwner::kMainWindow, text, title);
  };
  hooks.showError = [&session](const std::string& text, const std::string& title) {
    Error(session, BoxOwner::kMainWindow, text, title);
  };
  hooks.sleep = [&session](int milliseconds) { session.Sleep(milliseconds); };
  hooks.appendLanguageLines = [&session](std::string& lines) {
    AppendLanguageLines(session, lines);
  };
  hooks.writeCategoryNames = [&session](const std::string& directory, const Config& written) {
    WriteCategories(session, directory, written);
  };
  hooks.nodeVerified = [&session](int slot) {
    return session.flags.verified && session.verifyStatus[slot] == kOk;
  };
  hooks.failure = failure;
  return quorix::SaveSettings(path, fileName, config, hooks);
}

bool LoadSettings(PanelSession& session, const std::string& path, std::string& reason) {
  Config loaded = session.live;
  PanelStateToConfig(session.panel, loaded);
  if (!LoadPanelSettings(path, loaded, session.log, reason)) return false;
  session.live = std::move(loaded);
  ConfigToPanelState(session.live, session.panel);
  return true;
}

bool LoadSettings(PanelSession& session, const std::string& path) {
  std::string reason;
  return LoadSettings(session, path, reason);
}

std::string LoadFailedText(const std::string& reason) {
  return reason.empty() ? kLoadFailedText : std::string(kLoadFailedText) + "\n" + reason;
}

void NewSettings(PanelSession& session) {
  if (session.flags.settingsLoaded) {
    BoxAnswer answer = session.desktop.MessageBox(
        BoxOwner::kMainWindow,
        "You have loaded a ControlPanel configuration file previously.\nDo you want to save all "
        "changes first before creating a new default ControlPanel configuration file?",
        "ControlPanel configuration file loaded", BoxIcon::kNone, BoxButtons::kYesNoCancel);
    if (answer == BoxAnswer::kCancel) return;
    if (answer == BoxAnswer::kYes && SaveSettingsAsFlow(session) == 1) return;
  }
  session.info.caption = "New default ControlPanel settings:";
  session.panel.configPath.clear();
  ApplyPanelDefaults(session.live);
  session.flags.settingsLoaded = false;
  session.flags.newDefaults = true;
  session.flags.unsaved = true;
  session.info.text =
      "New ControlPanel default values loaded.\r\nPlease remember to save this ControlPanel "
      "settings.";
  session.enabling.ForNewDefaults();
}

int LoadSettingsFlow(PanelSession& session) {
  if (session.flags.settingsLoaded &&
      !AskYesNo(session, BoxOwner::kMainWindow,
                "\"" + session.panel.configPath +
                    "\" is already loaded!  Do you want to load another file and ignore all "
                    "changes?",
                "Load another config file?"))
    return 1;
  std::string path;
  int chosen = ChooseFile(session.desktop, FileDialogMode::kOpen, path, SettingsFileFilter());
  if (chosen == 1) return 1;
  std::string reason;
  if (chosen != 0 || !LoadSettings(session, path, reason)) {
    Error(session, BoxOwner::kNone, LoadFailedText(reason), kLoadFailedTitle);
    return -1;
  }
  session.info.caption = "ControlPanel settings file loaded:";
  session.panel.configPath = path;
  session.flags.settingsLoaded = true;
  session.flags.newDefaults = false;
  session.flags.unsaved = false;
  session.info.text = path;
  session.enabling.ForLoaded();
  return 0;
}

int SaveSettingsFlow(PanelSession& session) {
  int result = SaveSettings(session, session.panel.configPath, "");
  if (result == 0) session.flags.unsaved = false;
  if (result == -1) Error(session, BoxOwner::kMainWindow, kSaveFailedText, kSaveFailedTitle);
  return result;
}

int SaveSettingsAsFlow(PanelSession& session) {
  std::string path;
  std::error_code error;
  if (!session.panel.configPath.empty() && std::filesystem::exists(session.panel.configPath, error))
    path = session.panel.configPath;
  int chosen = ChooseFile(session.desktop, FileDialogMode::kSave, path, SettingsFileFilter());
  if (chosen == 1) return 1;
  if (chosen != 0) {
    Error(session, BoxOwner::kMainWindow, kSaveFailedText, kSaveFailedTitle);
    return -1;
  }
  path = WithSettingsExtension(path);
  if (SaveSettings(session, path, "") != 0) return 1;
  session.flags.settingsLoaded = true;
  session.flags.unsaved = false;
  session.panel.configPath = path;
  session.enabling.save = true;
  return 0;
}

void SaveAsCommand(PanelSession& session) {
  if (!session.flags.settingsLoaded && !session.flags.newDefaults) return;
  if (SaveSettingsAsFlow(session) != 0) return;
  session.flags.newDefaults = false;
  session.info.text = session.panel.configPath;
}

bool VerificationGate(PanelSession& session) {
  if (session.flags.verified && session.flags.verifyPassed) return true;
  if (session.flags.verified)
    return AskYesNo(session, BoxOwner::kMainWindow,
                    "Verification was not successful.  Do you want to continue saving your "
                    "settings anyway?",
                    "Verification unsuccessful");
  return AskYesNo(session, BoxOwner::kMainWindow,
                  "You have not verified your settings.  Do you want to continue saving your "
                  "settings anyway?",
                  "Settings not verified");
}

}  // namespace quorix::panel
