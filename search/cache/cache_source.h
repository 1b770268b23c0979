// Where the cache reader takes a file's bytes from, one range at a time, so
// that a page from the cache reads the header, the node blocks and the length
// fields and records it needs instead of the whole file.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/shared_store.h"
#include "platform/status.h"

namespace quorix {

using CacheSource = EntrySource;

// The bytes of a file already in memory.
class MemoryCacheSource : public CacheSource {
 public:
  explicit MemoryCacheSource(std::string_view file) : file_(file) {}
  size_t size() const override { return file_.size(); }
  Status View(size_t offset, size_t count, size_t readAhead, std::string_view* bytes) override;

 private:
  std::string_view file_;
};

// An open file, read with pread into a buffer that is kept between calls.
// A cache file no larger than this is read whole by its first View.
inline constexpr size_t kWholeFileReadBytes = 512 * 1024;

class FileCacheSource : public CacheSource {
 public:
  FileCacheSource() = default;
  ~FileCacheSource() override;
  FileCacheSource(const FileCacheSource&) = delete;
  FileCacheSource& operator=(const FileCacheSource&) = delete;

  // Opens `path` and takes its size. Returns 0; kCacheOpenFailed when it
  // cannot be opened or is not a regular file (opening does not wait for a
  // FIFO's writer); kCacheReadFailed when its size cannot be had.
  Status Open(const std::string& path);
  size_t size() const override { return size_; }
  Status View(size_t offset, size_t count, size_t readAhead, std::string_view* bytes) override;

 private:
  bool Fill(size_t offset, size_t count);

  int fd_ = -1;
  size_t size_ = 0;
  std::unique_ptr<char[]> buffer_;
  size_t capacity_ = 0;
  size_t start_ = 0;   // file offset of buffer_[0]
  size_t filled_ = 0;  // bytes of buffer_ that hold the file from start_
};

}  // namespace quorix
