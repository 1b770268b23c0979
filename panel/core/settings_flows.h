// Moving the control panel's settings between memory and .cpdat files: New,
// Load, Save, Save as, and the question asked before generating unverified
// settings. Results: 0 done, 1 stopped by the user (or not saved), -1 failed.
#pragma once

#include <string>

#include "panel/core/desktop.h"
#include "panel/core/session.h"

namespace quorix::panel {

// The one file type of the settings file choosers.
const FileFilter& SettingsFileFilter();

// Shows the file chooser; when it fails with an extended error, clears the
// initial name and shows it once more. Returns 0 with the full path in `path`,
// 1 when cancelled, or the extended error code.
int ChooseFile(Desktop& desktop, FileDialogMode mode, std::string& path, const FileFilter& filter);

// `path` with its last component's extension made ".cpdat": appended when it
// has none, replacing any other (the comparison is case-sensitive).
std::string WithSettingsExtension(const std::string& path);

// Writes the live settings and the panel's own keys to `path` (or
// `path`/`fileName`), with the language lines and, when categories are used,
// the category names file. 0 written, 1 overwrite declined, -1 failed (with
// "FILE: reason" in `failure` when given).
int SaveSettings(PanelSession& session, const std::string& path, const std::string& fileName,
                 std::string* failure = nullptr);

// Reads `path` into the live settings and the panel's own keys. False, with
// the reason in `reason` and the live settings as they were, when the file
// cannot be read, holds an invalid node URL or is not a settings file.
bool LoadSettings(PanelSession& session, const std::string& path, std::string& reason);
bool LoadSettings(PanelSession& session, const std::string& path);

// "Could not load config file." followed by `reason` on its own line.
std::string LoadFailedText(const std::string& reason);

// Replaces the live settings with the defaults, first offering to save loaded ones.
void NewSettings(PanelSession& session);
int LoadSettingsFlow(PanelSession& session);
int SaveSettingsFlow(PanelSession& session);
int SaveSettingsAsFlow(PanelSession& session);
// The Save-as menu command: the flow, then the information area shows the file.
void SaveAsCommand(PanelSession& session);

// Asks before going on with settings that are not verified, or failed their
// verification. True to go on.
bool VerificationGate(PanelSession& session);

}  // namespace quorix::panel
