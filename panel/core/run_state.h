// The control panel's own preferences and the flags that describe what it holds.
#pragma once

#include <cstdint>
#include <string>

namespace quorix::panel {

// Preferences saved with the settings file under the ControlPanel... keys.
struct PanelState {
  int32_t panelDebugMode = 0;  // 0 "Normal", otherwise "Detailed" (ControlPanelDebugMode)
  std::string configPath;      // the .cpdat file loaded or last saved; empty for new settings
  std::string outputDir;  // where the CGI files were last generated (ControlPanelInstallDirectory)
  // The folder the search runs from on the web server, asked at the first
  // generation (ControlPanelSiteFolder); the rules and advice name it.
  std::string siteFolder;
  int32_t fileLogging = 1;  // panel log lines also go to logFilePath (ControlPanelLogging)
  std::string logFilePath;  // QuorixControlPanel.log in the install folder or UserStateDir()
  int32_t warnWord = 1;     // warn about a word processor as HTML editor (ControlPanelWarnWord)
};

// The user's own folder for the panel log: $XDG_STATE_HOME/quorix, or
// ~/.local/state/quorix.
std::string UserStateDir();
// True when this process may create files in `folder`.
bool IsWritableFolder(const std::string& folder);

// The state of PanelState at start-up for a panel installed in `installDir`;
// the log goes to UserStateDir() when the install folder is not writable.
PanelState InitialPanelState(const std::string& installDir);

struct RunFlags {
  bool settingsLoaded = false;  // settings came from a file or were written out
  bool newDefaults = false;     // fresh defaults not yet saved
  bool unsaved = false;         // changed since last loaded or saved
  bool verified = false;        // a verification run started since the last change
  bool verifyPassed = false;    // the last verification run succeeded
};

// Which main-window commands are available. Changed by the events that the
// flows name (start, load, New, save-as), not recomputed from the flags.
struct CommandEnabling {
  bool editCommands = false;  // Configure slaves, Search options, Verify, Create CGI files
  bool saveAs = false;        // Save ControlPanel settings as
  bool save = false;          // Save loaded ControlPanel settings (needs a file)

  void ForLoaded() { editCommands = saveAs = save = true; }
  void ForNewDefaults() {
    editCommands = saveAs = true;
    save = false;
  }
};

// The main window's information area: group caption and text.
struct InfoArea {
  std::string caption;
  std::string text;
};

// Main-window command identifiers.
enum Command : int {
  kCmdExit = 2,
  kCmdHelp = 9,
  kCmdAbout = 104,
  kCmdSave = 1001,
  kCmdSearchOptions = 1002,
  kCmdConfigureNodes = 1003,
  kCmdVerify = 1004,
  kCmdLoad = 1005,
  kCmdNew = 1006,
  kCmdGenerate = 1043,
  kCmdSaveAs = 32775,
  kCmdVerificationPreferences = 32786,
};

}  // namespace quorix::panel
