// The cache directory and its files: expiry, deletion, directory checks and
// writing a file so that a reader never sees it half written.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/log.h"
#include "platform/status.h"
#include "search/cache/cache_file_format.h"
#include "search/pipeline/pipeline.h"

namespace quorix {

// Logs `sentence` followed by `path` in quotes, as in: Error reading cache
// file "/srv/cgi/cache/vexa_query=...". Visitors' pages get the sentence alone.
void LogWithPath(LogSink& log, int level, std::string_view sentence, const std::string& path);

// Whether `dir` exists and can be written.
CacheDirState CacheDirectoryStateOf(const std::string& dir);

// 0 when `path` exists and was modified less than `validMins` minutes ago;
// kCacheExpired when older; kCacheNotFound when missing or access is denied;
// kCacheAccessError on other errors. Logs the outcome at information level.
Status IsCacheFileValid(const std::string& path, int32_t validMins, LogSink& log);

// Deletes every regular file in `dir` whose name is a cache file name
// (IsCacheFileName). Returns 0, or kCacheListFailed when the directory cannot be listed.
Status DeleteQueryCacheFiles(const std::string& dir, LogSink& log);

// Deletes the expired cache files in `dir`, and the temporary files of writes
// that never finished, except `keepPath` (the current request's file, formed
// the same way). Only regular files with those names are touched: whatever an
// administrator keeps in the directory stays. Returns kCachePurgeDone, kCacheNotFound when the
// directory does not exist, or kCacheListFailed when it cannot be listed.
Status DeleteExpiredCacheFiles(const std::string& dir, const std::string& keepPath,
                               int32_t validMins, LogSink& log);

// Makes sure the cache directory `dir` inside `programDir` exists and can be
// written, creating it when missing. Returns 0 or kCacheWriteFailed.
Status PrepareCacheDirectory(const std::string& programDir, const std::string& dir, LogSink& log);

// Writes what `produce` hands its sink to a new file in `dir` and renames it
// to `path` once complete, so `path` always holds either the old or the whole
// new file. Returns 0; kCacheOpenFailed when the file cannot be created;
// kCacheWriteFailed when writing or renaming fails; or what `produce` returned
// other than 0. On failure the partial file is removed.
Status WriteCacheFileAtomically(const std::string& dir, const std::string& path,
                                const std::function<Status(const CacheBytesSink&)>& produce,
                                LogSink& log);

// The same for bytes already encoded.
Status WriteCacheFileAtomically(const std::string& dir, const std::string& path,
                                std::string_view bytes, LogSink& log);

}  // namespace quorix
