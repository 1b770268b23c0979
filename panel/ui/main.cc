// QuorixControlPanel: the main window, or with --generate the headless
// generation for deploy scripts.
#include <QApplication>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "panel/core/main_flow.h"
#include "panel/core/session.h"
#include "panel/ui/headless.h"
#include "panel/ui/main_window.h"
#include "panel/ui/qt_desktop.h"
#include "panel/ui/widgets_common.h"
#include "platform/program_dir.h"

namespace {

// The folder of the running executable, where the shipped files lie.
std::string InstallDir(const char* argv0) {
  std::error_code error;
  std::filesystem::path self = std::filesystem::canonical("/proc/self/exe", error);
  if (!error) return self.parent_path().string();
  std::string dir = quorix::ProgramDir(argv0);
  std::filesystem::path absolute = std::filesystem::absolute(dir.empty() ? "." : dir, error);
  return error ? dir : absolute.lexically_normal().string();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quorix;
  std::vector<std::string> args(argv, argv + argc);
  std::string installDir = InstallDir(argv[0]);
  // Before the application object, which needs a display.
  if (panelui::IsHeadlessRequest(args))
    return panelui::RunHeadless(args, installDir, std::cout, std::cerr);

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("QuorixControlPanel"));
  QApplication::setWindowIcon(panelui::PanelIcon(QStringLiteral("quorix-control-panel")));
  panelui::QtDesktop desktop;
  panel::PanelSession session(desktop, installDir);
  desktop.SetSession(&session);
  panelui::MainWindow window(session, desktop);
  desktop.SetMainWindow(&window);
  panel::StartUp(session, args);
  window.Refresh();
  window.adjustSize();
  panelui::CentreOnScreen(&window);
  window.show();
  return app.exec();
}
