// The control panel's run state: the live settings and their working copy, the
// panel's preferences, the flags, the main window's information area and the
// panel log. One per process, owned by the main window; every flow takes it.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "config/language_file.h"
#include "config/settings.h"
#include "panel/core/desktop.h"
#include "panel/core/os_name.h"
#include "panel/core/panel_log.h"
#include "panel/core/run_state.h"
#include "platform/status.h"

namespace quorix::panel {

// Pieces of the settings writer that other components provide.
struct SettingsSources {
  // Reads the language file at `path` and appends its entries as settings
  // lines to `lines`, reporting through `messages`. Returns false when the
  // file cannot be read. Empty: CopyLanguageStrings.
  std::function<bool(const std::string& path, std::string& lines, LanguageMessages& messages)>
      languageLines;
  // Writes the category names file into `directory`. Empty: WriteCategoryNames.
  std::function<void(const std::string& directory, const std::vector<std::string>& names)>
      categoryNames;
  // Waits before a second attempt to create a file; empty: really waits.
  std::function<void(int milliseconds)> sleep;
};

class PanelSession {
 public:
  // The live record starts as the control panel's defaults; nothing is loaded.
  PanelSession(Desktop& desktop, std::string installDir, SettingsSources sources = {});
  PanelSession(const PanelSession&) = delete;
  PanelSession& operator=(const PanelSession&) = delete;

  Desktop& desktop;
  const std::string installDir;  // the directory of the control panel's executable
  SettingsSources sources;

  Config live;           // the settings as they will be saved
  Config work;           // the working copy an open dialog edits
  PanelState panel;      // the panel's preferences
  PanelState panelWork;  // their working copy
  RunFlags flags;
  CommandEnabling enabling;
  InfoArea info;
  bool commandLineConfig = false;
  // Per node slot: the result of its last verification (1: not looked at).
  std::array<Status, kMaxNodes> verifyStatus;
  OsVersion os = CurrentOsVersion();
  PanelLog log;

  std::string CgiFilesDir() const { return installDir + "/cgi files"; }
  std::string LanguageDir() const { return CgiFilesDir() + "/lang"; }  // the shipped files
  // Where "New file" puts language files: LanguageDir(), or UserLanguageDir()
  // when the user may not write there.
  std::string NewLanguageDir() const;
  std::string HelpDir() const { return installDir + "/HELP"; }

  // Opens a help page; tells the user when no browser could be started.
  void ShowHelp(BoxOwner owner, const std::string& page);

  // Waits `milliseconds` through sources.sleep, or really.
  void Sleep(int milliseconds) const;
};

// Which records a dialog edits through the working copies.
enum class EditScope { kSettings, kPanelState, kBoth };

// Copies the live records into the working copies.
void BeginEdit(PanelSession& session, EditScope scope);
// Copies the working copies back over the live records (OK only).
void CommitEdit(PanelSession& session, EditScope scope);

}  // namespace quorix::panel
