#include "panel/core/session.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "config/panel_defaults.h"

namespace quorix::panel {

std::string UserStateDir() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state && *state == '/') return std::string(state) + "/quorix";
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/.local/state/quorix";
}

bool IsWritableFolder(const std::string& folder) { return access(folder.c_str(), W_OK) == 0; }

PanelState InitialPanelState(const std::string& installDir) {
  PanelState state;
  std::string logDir = IsWritableFolder(installDir) ? installDir : UserStateDir();
  state.logFilePath = logDir + "/QuorixControlPanel.log";
  return state;
}

std::string PanelSession::NewLanguageDir() const {
  return IsWritableFolder(LanguageDir()) ? LanguageDir() : UserLanguageDir();
}

PanelSession::PanelSession(Desktop& desktopIn, std::string installDirIn, SettingsSources sourcesIn)
    : desktop(desktopIn),
      installDir(std::move(installDirIn)),
      sources(std::move(sourcesIn)),
      panel(InitialPanelState(installDir)),
      panelWork(panel),
      log(panel, flags, desktop) {
  ApplyPanelDefaults(live);
  ApplyPanelDefaults(work);
  verifyStatus.fill(kNodeNotRun);
}

void PanelSession::ShowHelp(BoxOwner owner, const std::string& page) {
  if (!desktop.OpenHelpPage(HelpDir(), page))
    desktop.MessageBox(owner,
                       "Could not start your default internet browser\nto load the browser-based "
                       "help files.",
                       "No default browser", BoxIcon::kExclamation, BoxButtons::kOk);
}

void PanelSession::Sleep(int milliseconds) const {
  if (sources.sleep)
    sources.sleep(milliseconds);
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void BeginEdit(PanelSession& session, EditScope scope) {
  if (scope != EditScope::kPanelState) session.work = session.live;
  if (scope != EditScope::kSettings) session.panelWork = session.panel;
}

void CommitEdit(PanelSession& session, EditScope scope) {
  if (scope != EditScope::kPanelState) session.live = session.work;
  if (scope != EditScope::kSettings) session.panel = session.panelWork;
}

}  // namespace quorix::panel
