#include "search/cache/file_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "nodequery/backoff_state.h"
#include "search/cache/cache_files.h"
#include "search/cache/cache_source.h"

namespace quorix {
namespace {

// A cache file larger than this is treated as an allocation failure.
constexpr size_t kMaxEntryBytes = size_t{1} << 30;

constexpr const char* kCountersFile = "window_counters.table";
constexpr uint32_t kCounterSlots = 4096;

struct CounterSlot {
  uint64_t fingerprint = 0;
  int64_t window = 0;
  int64_t count = 0;
};

// 64-bit FNV-1a.
uint64_t Fingerprint(std::string_view text) {
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
  return hash;
}

// Holds an exclusive flock on `fd` and closes it when it goes.
class ExclusiveLock {
 public:
  explicit ExclusiveLock(int fd) : fd_(fd) {
    int result = -1;
    while (fd_ >= 0 && (result = flock(fd_, LOCK_EX)) != 0 && errno == EINTR) {
    }
    locked_ = result == 0;
    error_ = locked_ ? 0 : errno;
  }
  ~ExclusiveLock() {
    if (fd_ >= 0) close(fd_);
  }
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;
  bool locked() const { return locked_; }
  int fd() const { return fd_; }
  int error() const { return error_; }

 private:
  int fd_;
  bool locked_ = false;
  int error_ = 0;
};

}  // namespace

FileStore::FileStore(std::string programDir, std::string dir)
    : programDir_(std::move(programDir)), dir_(std::move(dir)) {}

Status FileStore::OpenEntry(const std::string& name, int32_t validMins,
                            std::unique_ptr<EntrySource>* entry, LogSink& log) {
  const std::string path = dir_ + "/" + name;
  Status status = IsCacheFileValid(path, validMins, log);
  if (status != kOk) return status;
  auto file = std::make_unique<FileCacheSource>();
  status = file->Open(path);
  if (status == kOk && file->size() > kMaxEntryBytes) status = kCacheOutOfMemory;
  if (status == kOk) *entry = std::move(file);
  return status;
}

Status FileStore::WriteEntry(const std::string& name, int32_t, const EntryProducer& produce,
                             LogSink& log) {
  Status status = PrepareCacheDirectory(programDir_, dir_, log);
  if (status != kOk) return status;
  return WriteCacheFileAtomically(dir_, dir_ + "/" + name, produce, log);
}

Status FileStore::DeleteEntry(const std::string& name, LogSink& log) {
  const std::string path = dir_ + "/" + name;
  if (unlink(path.c_str()) == 0 || errno == ENOENT) return kOk;
  LogWithPath(log, kLogWarning, "Error deleting cache file", path);
  return kCacheWriteFailed;
}

Status FileStore::UpdateRecord(const std::string& name,
                               const std::function<bool(std::string&)>& change, LogSink& log) {
  // The directory is made first: a record is kept from the first change on,
  // not only once a cache file has been written.
  if (PrepareCacheDirectory(programDir_, dir_, log) != kOk) {
    log.Logf(kLogWarning, "Shared record %s is off for this request: %s cannot be written",
             name.c_str(), dir_.c_str());
    return kCacheAccessError;
  }
  const std::string lockPath = dir_ + "/" + name + ".lock";
  const std::string statePath = dir_ + "/" + name + ".state";
  std::string why;
  ExclusiveLock lock(OpenBackoffLock(lockPath, why));
  if (!lock.locked()) {
    if (why.empty()) why = std::strerror(lock.error());
    log.Logf(kLogWarning, "Shared record %s is off for this request: %s: %s", name.c_str(),
             lockPath.c_str(), why.c_str());
    return kCacheAccessError;
  }
  std::string text;
  StateFileRead read = ReadBackoffState(statePath, text, why);
  if (read == StateFileRead::kFailed) {
    log.Logf(kLogWarning, "Shared record %s is off for this request: %s: %s", name.c_str(),
             statePath.c_str(), why.c_str());
    return kCacheAccessError;
  }
  if (read == StateFileRead::kRefused)
    log.Logf(kLogWarning, "State file %s was not read (%s); its record starts afresh",
             statePath.c_str(), why.c_str());
  if (!change(text) && read != StateFileRead::kRefused) return kOk;
  if (!ReplaceBackoffState(statePath, text, why)) {
    log.Logf(kLogWarning, "Could not write the state file %s: %s", statePath.c_str(), why.c_str());
    return kCacheWriteFailed;
  }
  return kOk;
}

Status FileStore::CountInWindow(const std::string& name, int32_t windowSecs, int64_t now,
                                int64_t* count, LogSink& log) {
  *count = 0;
  if (PrepareCacheDirectory(programDir_, dir_, log) != kOk) return kCacheAccessError;
  const std::string path = dir_ + "/" + kCountersFile;
  std::string why;
  ExclusiveLock lock(OpenBackoffLock(path, why));
  if (!lock.locked()) {
    log.Logf(kLogWarning, "Counters are off for this request: %s: %s", path.c_str(),
             why.empty() ? std::strerror(lock.error()) : why.c_str());
    return kCacheAccessError;
  }
  const int fd = lock.fd();
  const uint64_t fingerprint = Fingerprint(name);
  const off_t offset = static_cast<off_t>((fingerprint % kCounterSlots) * sizeof(CounterSlot));
  const int64_t window = now / std::max(windowSecs, 1);
  CounterSlot slot;
  ssize_t got = pread(fd, &slot, sizeof slot, offset);
  if (got != static_cast<ssize_t>(sizeof slot) || slot.fingerprint != fingerprint ||
      slot.window != window)
    slot = CounterSlot{fingerprint, window, 0};
  ++slot.count;
  bool written = pwrite(fd, &slot, sizeof slot, offset) == static_cast<ssize_t>(sizeof slot);
  *count = slot.count;
  return written ? kOk : kCacheWriteFailed;
}

}  // namespace quorix
