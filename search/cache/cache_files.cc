#include "search/cache/cache_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/safe_file.h"
#include "search/cache/cache_name.h"

namespace quorix {
namespace {

namespace fs = std::filesystem;

bool IsDotEntry(const std::string& name) { return name == "." || name == ".."; }

// The names in `dir`, or an error: listing first and deleting afterwards keeps
// the listing unaffected by the deletions.
std::error_code ListNames(const std::string& dir, std::vector<std::string>* names,
                          bool* couldStart) {
  std::error_code error;
  fs::directory_iterator it(dir, error);
  *couldStart = !error;
  if (error) return error;
  for (; it != fs::directory_iterator(); it.increment(error)) {
    std::string name = it->path().filename().string();
    if (!IsDotEntry(name)) names->push_back(name);
    if (error) break;
  }
  return error;
}

// The temporary files a write makes; a crash mid-write leaves one behind.
constexpr std::string_view kTempPrefix = ".writing-";

bool IsTempFileName(std::string_view name) {
  return name.starts_with(kTempPrefix) && name.size() == kTempPrefix.size() + kUniqueSuffixLength;
}

bool IsDirectory(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Not following links: a link, folder or device is never a file the cache made.
bool IsRegularFile(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

void LogWriteError(LogSink& log, int line) {
  log.Logf(kLogError, "%s(%d): Error writing cache", "CCache::WriteCacheData", line);
}

}  // namespace

void LogWithPath(LogSink& log, int level, std::string_view sentence, const std::string& path) {
  log.WriteWithDetail(level, sentence, std::string(sentence) + " \"" + path + "\"");
}

CacheDirState CacheDirectoryStateOf(const std::string& dir) {
  struct stat info;
  if (stat(dir.c_str(), &info) != 0) return CacheDirState::kMissing;
  if (S_ISDIR(info.st_mode) && access(dir.c_str(), W_OK | X_OK) == 0)
    return CacheDirState::kWritable;
  return CacheDirState::kNotWritable;
}

Status IsCacheFileValid(const std::string& path, int32_t validMins, LogSink& log) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) {
    switch (errno) {
      case ENOENT:
        log.Logf(kLogInfo, "File name or path not found for \"%s\"", path.c_str());
        return kCacheNotFound;
      case EACCES:
        log.Logf(kLogInfo,
                 "Access denied: the file's permission setting does not allow specified access "
                 "for \"%s\"",
                 path.c_str());
        return kCacheNotFound;
      case EINVAL:
        log.Logf(kLogInfo, "Invalid parameter \"%s\"", path.c_str());
        return kCacheAccessError;
      default:
        return kCacheAccessError;
    }
  }
  int64_t age = static_cast<int64_t>(std::time(nullptr)) - static_cast<int64_t>(info.st_mtime);
  if (age < static_cast<int64_t>(validMins) * 60) {
    log.Logf(kLogInfo, "Cache file \"%s\" not expired", path.c_str());
    return kOk;
  }
  log.Logf(kLogInfo, "Cache file \"%s\" expired", path.c_str());
  return kCacheExpired;
}

Status DeleteQueryCacheFiles(const std::string& dir, LogSink& log) {
  std::vector<std::string> names;
  bool couldStart = false;
  std::error_code error = ListNames(dir, &names, &couldStart);
  if (!couldStart) {
    log.Logf(kLogError, "Invalid file handle. Error is %u\n", static_cast<unsigned>(error.value()));
    return kCacheListFailed;
  }
  for (const std::string& name : names) {
    std::string path = dir + "/" + name;
    if (!IsCacheFileName(name) || !IsRegularFile(path)) continue;
    if (access(path.c_str(), W_OK) != 0)
      log.Logf(kLogInfo, "No permission deleting \"%s\"", path.c_str());
    if (unlink(path.c_str()) == 0)
      log.Logf(kLogInfo, "Cache file \"%s\" deleted", path.c_str());
    else
      LogWithPath(log, kLogError, "Failed to delete cache file", path);
  }
  if (error) {
    log.Logf(kLogError, "FindNextFile error. Error is %u\n", static_cast<unsigned>(error.value()));
    return kCacheListFailed;
  }
  return kOk;
}

Status DeleteExpiredCacheFiles(const std::string& dir, const std::string& keepPath,
                               int32_t validMins, LogSink& log) {
  if (!IsDirectory(dir)) {
    log.Logf(kLogInfo, "Cache directory \"%s\" does not exist", dir.c_str());
    return kCacheNotFound;
  }
  log.Logf(kLogInfo, "%s(%d): Cleaning up cache files...", "CCache::DeleteExpiredCache", __LINE__);
  std::vector<std::string> names;
  bool couldStart = false;
  std::error_code error = ListNames(dir, &names, &couldStart);
  if (!couldStart) return kCacheListFailed;
  for (const std::string& name : names) {
    std::string path = dir + "/" + name;
    if (path == keepPath || !(IsCacheFileName(name) || IsTempFileName(name))) continue;
    if (!IsRegularFile(path)) continue;
    if (IsCacheFileValid(path, validMins, log) != kCacheExpired) continue;
    log.Logf(kLogInfo, "%s(%d): Deleting \"%s\"", "CCache::DeleteExpiredCache", __LINE__,
             path.c_str());
    unlink(path.c_str());
  }
  return error ? kCacheListFailed : kCachePurgeDone;
}

Status PrepareCacheDirectory(const std::string& programDir, const std::string& dir, LogSink& log) {
  struct stat info;
  if (stat(dir.c_str(), &info) != 0) {
    log.Logf(kLogInfo, "Cache directory \"%s\" does not exist exist", dir.c_str());
    std::string parent = programDir.empty() ? "." : programDir;
    if (access(parent.c_str(), W_OK) != 0) return kCacheWriteFailed;
    if (mkdir(dir.c_str(), 0777) == 0) {
      log.Logf(kLogInfo, "Created cache directory \"%s\"", dir.c_str());
    } else if (errno == ENOENT) {
      LogWithPath(log, kLogError, "Invalid path for creating cache directory", dir);
      return kCacheWriteFailed;
    }
    return kOk;
  }
  if (!S_ISDIR(info.st_mode) || access(dir.c_str(), W_OK | X_OK) != 0) {
    LogWithPath(log, kLogError, "No permission writing to cache directory", dir);
    return kCacheWriteFailed;
  }
  return kOk;
}

Status WriteCacheFileAtomically(const std::string& dir, const std::string& path,
                                const std::function<Status(const CacheBytesSink&)>& produce,
                                LogSink& log) {
  std::string temp;
  int fd = CreateUniqueFile(dir, kTempPrefix, &temp);
  if (fd < 0) {
    LogWithPath(log, kLogError, "Failed to create a cache file in", dir);
    return kCacheOpenFailed;
  }
  bool failed = false;
  auto writePiece = [&](std::string_view bytes) {
    if (WriteAll(fd, bytes)) return true;
    failed = true;
    LogWriteError(log, __LINE__);
    return false;
  };
  Status produced = produce(writePiece);
  if (produced != kOk && !failed) failed = true;
  // On disk before it takes the real name, so a crash leaves the old file or the whole new one.
  if (!failed && fsync(fd) != 0) {
    failed = true;
    LogWriteError(log, __LINE__);
  }
  if (close(fd) != 0 && !failed) {
    failed = true;
    LogWriteError(log, __LINE__);
  }
  if (!failed && rename(temp.c_str(), path.c_str()) != 0) {
    failed = true;
    LogWriteError(log, __LINE__);
  }
  if (failed) {
    unlink(temp.c_str());
    return produced != kOk ? produced : kCacheWriteFailed;
  }
  return kOk;
}

Status WriteCacheFileAtomically(const std::string& dir, const std::string& path,
                                std::string_view bytes, LogSink& log) {
  return WriteCacheFileAtomically(
      dir, path,
      [bytes](const CacheBytesSink& sink) { return sink(bytes) ? kOk : kCacheWriteFailed; }, log);
}

}  // namespace quorix
