// The directory that holds the running program.
#pragma once

#include <string>

namespace quorix {

// The directory part of `argv0` (cut at its last '/', the separator dropped).
// When `argv0` names no directory, the directory of /proc/self/exe. Empty when
// neither gives one.
std::string ProgramDir(const char* argv0);

}  // namespace quorix
