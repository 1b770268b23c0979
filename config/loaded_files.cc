#include "config/loaded_files.h"

#include <sys/stat.h>

#include <atomic>
#include <ctime>

namespace quorix {
namespace {

std::atomic<bool> keepLoadedFiles{false};

}  // namespace

FileStamp StampOf(const std::string& path) {
  FileStamp stamp;
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return stamp;
  stamp.exists = true;
  stamp.device = info.st_dev;
  stamp.inode = info.st_ino;
  stamp.size = info.st_size;
  stamp.modifiedNs = int64_t{info.st_mtim.tv_sec} * 1'000'000'000 + info.st_mtim.tv_nsec;
  return stamp;
}

void KeepLoadedFiles(bool keep) { keepLoadedFiles.store(keep); }

bool LoadedFilesKept() { return keepLoadedFiles.load(); }

int64_t WallClockNs() {
  timespec now;
  ::clock_gettime(CLOCK_REALTIME, &now);
  return int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

}  // namespace quorix
