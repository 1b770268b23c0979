#include "platform/program_dir.h"

#include <unistd.h>

#include <climits>
#include <cstring>

namespace quorix {
namespace {

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return path.substr(0, slash);
}

}  // namespace

std::string ProgramDir(const char* argv0) {
  std::string fromArgv = argv0 ? DirectoryOf(argv0) : std::string();
  if (argv0 && std::strchr(argv0, '/')) return fromArgv;
  char buffer[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return {};
  return DirectoryOf(std::string(buffer, static_cast<size_t>(length)));
}

}  // namespace quorix
