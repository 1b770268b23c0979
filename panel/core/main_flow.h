// The main window's logic: start-up, the commands it carries out itself, and
// the exit question.
#pragma once

#include <string>
#include <vector>

#include "panel/core/session.h"

namespace quorix::panel {

// Start-up after the session exists: reads the command line (args[0] is the
// program), then either applies new defaults or loads the -c file (showing
// "Could not load config file." when that fails), then applies -d.
void StartUp(PanelSession& session, const std::vector<std::string>& args);

// The exit command: true when the window may close. Asks to save unsaved
// settings first (Yes, No, Cancel).
bool ExitFlow(PanelSession& session);

// The Create CGI files command: ignored unless new defaults or loaded settings
// are held; reports a failed generation.
void GenerateCommand(PanelSession& session);

// Runs main-window command `command` when it needs no dialog of its own (New,
// Load, Save, Save as, Create CGI files, Help). Returns false for the others,
// which the window opens itself (Exit goes through ExitFlow).
bool RunMainCommand(PanelSession& session, int command);

}  // namespace quorix::panel
