// Runs the window test classes: all of them, or the one named as the first
// argument (the rest goes to QTest).
#include <sys/stat.h>

#include <QApplication>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "ui_harness.h"

namespace quorix::panelui::testing {
std::map<std::string, TestFactory>& Registry();
}

int main(int argc, char** argv) {
  using quorix::panelui::testing::Registry;
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  if (!std::getenv("XDG_RUNTIME_DIR")) {
    std::string runtime = "/tmp/quorix-ui-runtime-" + std::to_string(getuid());
    mkdir(runtime.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  }
  QApplication app(argc, argv);
  std::string only;
  std::vector<char*> qtestArgs = {argv[0]};
  for (int i = 1; i < argc; ++i) {
    if (only.empty() && Registry().count(argv[i]))
      only = argv[i];
    else
      qtestArgs.push_back(argv[i]);
  }
  if (only.empty() && argc > 1 && argv[1][0] != '-') {
    std::fprintf(stderr, "no test class %s\n", argv[1]);
    return 1;
  }
  int failures = 0;
  for (auto& [name, factory] : Registry()) {
    if (!only.empty() && name != only) continue;
    std::unique_ptr<QObject> test = factory();
    failures += QTest::qExec(test.get(), static_cast<int>(qtestArgs.size()), qtestArgs.data());
  }
  return failures == 0 ? 0 : 1;
}
