// The control panel's settings reader (`.cpdat` files).
#pragma once

#include <string>
#include <string_view>

#include "config/settings.h"
#include "platform/log.h"

namespace quorix {

// Reads `path` into `config`. Settings the file does not name keep their values,
// but the node table is replaced: every slot is reset and the node count is the
// number of NODE%d_DISABLED lines. Node URLs are canonicalised and split; a URL
// that is not valid fails the whole load, leaving what was read so far in
// `config`. The search options the control panel does not edit (categories,
// spelling, recommended links, dates), NODE%d_OS_URL and the STR_ lines are not
// read. Logs the debug mode, cache period and over-request factor at
// information level. Returns false, with the reason in `reason`, when the file
// cannot be read, a URL is invalid, or no line names a setting (the file is not
// a settings file); `config` may then hold part of the file, so callers load
// into a copy.
bool LoadPanelSettings(const std::string& path, Config& config, LogSink& log, std::string& reason);

// Undoes the writer's escaping: "\"" and "\\" become the character, and the
// character references of the writer's table the character they stand for.
std::string UnescapeSettingsValue(std::string_view value);

}  // namespace quorix
