// The search program's settings reader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/settings.h"
#include "platform/log.h"

namespace quorix {

// The request values that the reader's debug dump shows, as they are when the
// settings are loaded.
struct QueryDump {
  int32_t sortDate = 0;
  int32_t currentPageNum = 1;
  int32_t itemsPerPage = 10;
  int32_t wordMatchAll = 0;
  std::string queryOut;
  std::vector<int32_t> cat;
};

// Reads `path` into `config` (which holds the defaults; a process that keeps
// its files, see config/loaded_files.h, takes them to be a fresh Config's and
// reads the file only when it has changed). `debugOverride` other
// than -1 (the request's vexa_debug) replaces the file's DEBUG when the file
// allows it with AllowRequestDebug = 1. Logs the debug dump at information level.
// Returns false (after an error-level line) when the file cannot be read.
bool LoadConfig(const std::string& path, Config& config, LogSink& log, int32_t debugOverride,
                const QueryDump& dump);

}  // namespace quorix
