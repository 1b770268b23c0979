#include "panel/core/main_flow.h"

#include "panel/core/command_line.h"
#include "panel/core/generation.h"
#include "panel/core/settings_flows.h"

namespace quorix::panel {

void StartUp(PanelSession& session, const std::vector<std::string>& args) {
  CommandLine commandLine;
  if (args.size() > 1) commandLine = ParseCommandLine(args);
  if (commandLine.hasConfig) {
    session.panel.configPath = commandLine.configPath;
    session.commandLineConfig = true;
    session.log.Logf(kLogFileOnly, "Command line argument '-c' \"%s\"",
                     commandLine.configPath.c_str());
  }
  if (commandLine.debugLevel != -1)
    session.log.Logf(kLogFileOnly, "Command line argument '-d' \"%d\"", commandLine.debugLevel);

  session.info = {"No ControlPanel settings loaded:",
                  "No configuration file chosen.\r\nPlease load a ControlPanel configuration file "
                  "or create a new one."};
  std::string reason;
  if (!session.commandLineConfig) {
    NewSettings(session);
  } else if (LoadSettings(session, session.panel.configPath, reason)) {
    session.info = {"ControlPanel settings auto-loaded:", session.panel.configPath};
    session.flags.settingsLoaded = true;
    session.flags.newDefaults = false;
    session.enabling.ForLoaded();
  } else {
    session.desktop.MessageBox(BoxOwner::kNone, LoadFailedText(reason),
                               "Failed to load config file", BoxIcon::kExclamation,
                               BoxButtons::kOk);
  }
  if (commandLine.debugLevel != -1) session.panel.panelDebugMode = commandLine.debugLevel;
}

bool ExitFlow(PanelSession& session) {
  if (!session.flags.unsaved) return true;
  BoxAnswer answer = session.desktop.MessageBox(
      BoxOwner::kMainWindow,
      "You have not saved this settings.  Do you want to save your settings?", "Settings not saved",
      BoxIcon::kQuestion, BoxButtons::kYesNoCancel);
  if (answer == BoxAnswer::kNo) return true;
  if (answer != BoxAnswer::kYes) return false;
  int saved = SaveSettingsAsFlow(session);
  if (saved == 0) {
    session.flags.unsaved = false;
    return true;
  }
  if (saved == 1) return false;
  return session.desktop.MessageBox(
             BoxOwner::kMainWindow,
             "There were errors trying to save the configuration.  Do you want to exit anyway?",
             "Settings not saved", BoxIcon::kQuestion, BoxButtons::kYesNo) == BoxAnswer::kYes;
}

void GenerateCommand(PanelSession& session) {
  if (!session.flags.newDefaults && !session.flags.settingsLoaded) return;
  std::string failure;
  if (GenerateCgiFiles(session, failure) != -1) return;
  std::string text = "There were errors copying files to the destination.";
  if (!failure.empty()) text += "\n" + failure;
  session.desktop.MessageBox(BoxOwner::kMainWindow, text, "Settings not saved",
                             BoxIcon::kExclamation, BoxButtons::kOk);
}

bool RunMainCommand(PanelSession& session, int command) {
  switch (command) {
    case kCmdNew:
      NewSettings(session);
      return true;
    case kCmdLoad:
      LoadSettingsFlow(session);
      return true;
    case kCmdSave:
      SaveSettingsFlow(session);
      return true;
    case kCmdSaveAs:
      SaveAsCommand(session);
      return true;
    case kCmdGenerate:
      GenerateCommand(session);
      return true;
    case kCmdHelp:
      session.ShowHelp(BoxOwner::kMainWindow, "index.html");
      return true;
    default:
      return false;
  }
}

}  // namespace quorix::panel
