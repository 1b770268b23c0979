// Feeds an arbitrary settings file to both settings readers (the search
// program's and the control panel's).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "config/settings.h"
#include "config/settings_panel_reader.h"
#include "config/settings_reader.h"
#include "platform/log.h"

namespace {

// One file per process, rewritten for every input: the readers take a path.
const std::string& SettingsPath() {
  static const std::string path = [] {
    char pattern[] = "/tmp/quorix-settings-fuzz-XXXXXX";
    int fd = mkstemp(pattern);
    if (fd >= 0) close(fd);
    return std::string(pattern);
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = SettingsPath();
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  quorix::NullLog log;
  quorix::Config config;
  quorix::LoadConfig(path, config, log, size > 0 ? data[0] % 4 - 1 : -1, quorix::QueryDump{});
  quorix::Config panelConfig;
  std::string reason;
  quorix::LoadPanelSettings(path, panelConfig, log, reason);
  return 0;
}
