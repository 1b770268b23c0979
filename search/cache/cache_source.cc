#include "search/cache/cache_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>

#include "search/cache/cache_file_format.h"

namespace quorix {

namespace {

bool Within(size_t size, size_t offset, size_t count) {
  return offset <= size && count <= size - offset;
}

}  // namespace

Status MemoryCacheSource::View(size_t offset, size_t count, size_t, std::string_view* bytes) {
  if (!Within(file_.size(), offset, count)) return kCacheReadFailed;
  *bytes = file_.substr(offset, count);
  return kOk;
}

FileCacheSource::~FileCacheSource() {
  if (fd_ >= 0) close(fd_);
}

Status FileCacheSource::Open(const std::string& path) {
  fd_ = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) return kCacheOpenFailed;
  struct stat info;
  if (fstat(fd_, &info) != 0) return kCacheReadFailed;
  if (!S_ISREG(info.st_mode)) return kCacheOpenFailed;
  size_ = static_cast<size_t>(info.st_size);
  return kOk;
}

Status FileCacheSource::View(size_t offset, size_t count, size_t readAhead,
                             std::string_view* bytes) {
  if (!Within(size_, offset, count)) return kCacheReadFailed;
  bool held =
      offset >= start_ && offset - start_ <= filled_ && count <= filled_ - (offset - start_);
  // A small file is read whole at once: one read instead of one per piece.
  size_t ahead = size_ <= kWholeFileReadBytes ? size_ - offset - count
                                              : std::min(readAhead, size_ - offset - count);
  if (!held && !Fill(offset, count + ahead)) return kCacheReadFailed;
  *bytes = std::string_view(buffer_.get() + (offset - start_), count);
  return kOk;
}

// Reads `count` bytes from `offset` into the buffer; false when the file
// cannot be read or has become shorter.
bool FileCacheSource::Fill(size_t offset, size_t count) {
  filled_ = 0;
  if (count > capacity_) {
    buffer_.reset(new (std::nothrow) char[count]);
    capacity_ = buffer_ ? count : 0;
    if (!buffer_) return false;
  }
  start_ = offset;
  while (filled_ < count) {
    ssize_t n =
        pread(fd_, buffer_.get() + filled_, count - filled_, static_cast<off_t>(offset + filled_));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      filled_ = 0;
      return false;
    }
    filled_ += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace quorix
