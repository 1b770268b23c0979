#include "panel/core/session.h"

#include <chrono>
#include <thread>

#include "config/panel_defaults.h"

namespace quorix::panel {

PanelState InitialPanelState(const std::string& installDir) {
  PanelState state;
  state.logFilePath = installDir + "/QuorixControlPanel.log";
  return state;
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
