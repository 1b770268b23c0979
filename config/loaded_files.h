// What a long-running process read from a site's files, kept between requests.
//
// A FastCGI process answers request after request from the same settings,
// template and category names. It keeps what it parsed and reads a file again
// only when the file may have changed: when its device, inode, size or
// modification time (to the nanosecond) differ from when it was read, or when
// it had been modified so shortly before it was read that a later edit could
// have kept the same modification time. A process that does not keep files
// (a CGI run) reads every file each time it is asked.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace quorix {

// Who a file is and when it last changed; `exists` false when it cannot be
// looked at.
struct FileStamp {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  int64_t modifiedNs = 0;
  bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const std::string& path);

// A file modified less than this long before it was read is read again at
// every request until it has been left alone for that long: file systems
// with coarse times can hide an edit made within the same tick.
inline constexpr int64_t kFileSettleNs = 2'000'000'000;

// Turns keeping on or off for this process (off by default).
void KeepLoadedFiles(bool keep);
bool LoadedFilesKept();

// Nanoseconds on the wall clock, comparable with FileStamp::modifiedNs.
int64_t WallClockNs();

// One file's parsed contents. Not thread-safe: a process keeps its files on
// the thread that answers its requests.
template <typename Value>
class LoadedFile {
 public:
  // Fills a fresh Value from `path`; false when the file could not be used.
  using Loader = std::function<bool(const std::string& path, Value& value)>;

  // The contents of `path`: the kept ones when keeping is on and the file has
  // not changed since, else what `load` makes of it now (kept when it
  // succeeded). Null when `load` failed.
  std::shared_ptr<const Value> Get(const std::string& path, const Loader& load) {
    const bool keep = LoadedFilesKept();
    if (keep && value_ && trusted_ && path == path_ && StampOf(path) == stamp_) return value_;
    // Stamped before reading: an edit during the read shows as a change next time.
    FileStamp stamp = keep ? StampOf(path) : FileStamp();
    int64_t readAt = WallClockNs();
    auto value = std::make_shared<Value>();
    if (!load(path, *value)) return nullptr;
    if (keep) {
      path_ = path;
      stamp_ = stamp;
      trusted_ = stamp.exists && readAt - stamp.modifiedNs >= kFileSettleNs;
      value_ = value;
    }
    return value;
  }

 private:
  std::string path_;
  FileStamp stamp_;
  bool trusted_ = false;
  std::shared_ptr<const Value> value_;
};

}  // namespace quorix
