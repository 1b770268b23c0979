// The name and place of a query's cache file.
#pragma once

#include <string>
#include <string_view>

#include "config/settings.h"
#include "platform/status.h"
#include "search/pipeline/pipeline.h"

namespace quorix {

inline constexpr size_t kCacheQueryStringMaxUnits = 259;
inline constexpr size_t kCachePathMaxUnits = 259;

// The query written as a query string: escaped query, match-all flag, the
// categories (as the category settings select them) and the sort flag, cut to
// 259 characters, with every "*" written as "%2A".
std::string CacheQueryString(const Config& config, const VexaQuery& query);

// The cache directory: "cache" inside the program's directory ("cache" in the
// current directory only when the program's directory is unknown).
std::string CacheDirectoryPath(const std::string& programDir);

// Fills `path` with the query's cache file path inside CacheDirectoryPath.
// Returns 0, or kCacheNameNotUsable (path left empty) when the name would need
// cleaning or is too long for a path.
Status CacheFilePath(const std::string& programDir, const Config& config, const VexaQuery& query,
                     std::string* path);

// What a query's partial entry adds to its cache file name. Older readers
// never open such a name, so they never take a partial set for a whole one.
inline constexpr std::string_view kPartialEntrySuffix = "&vexa_partial=1";

// True when `name` (less kPartialEntrySuffix, when it ends with it) has the form of the names
// CacheFilePath makes: it starts with "vexa_query=", holds "&vexa_and=", ends with "&vexa_sort=0"
// or
// "&vexa_sort=1" and needs no cleaning. Only such files are ever deleted.
bool IsCacheFileName(std::string_view name);

}  // namespace quorix
