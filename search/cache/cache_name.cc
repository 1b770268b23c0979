#include "search/cache/cache_name.h"

#include "platform/file_name_check.h"
#include "platform/text.h"

namespace quorix {
namespace {

std::string ReplaceStars(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '*')
      out += "%2A";
    else
      out += c;
  }
  return out;
}

}  // namespace

std::string CacheQueryString(const Config& config, const VexaQuery& query) {
  const char* escaped = query.escapedQuery.c_str();
  int matchAll = query.wordMatchAll ? 1 : 0;
  int sortDate = query.sortDate ? 1 : 0;
  std::string text;
  if (!config.useCats) {
    text = Format("vexa_query=%s&vexa_and=%d&vexa_cat%%5B%%5D=-1&vexa_sort=%d", escaped, matchAll,
                  sortDate);
  } else if (config.searchMultiCats) {
    text = Format("vexa_query=%s&vexa_and=%d", escaped, matchAll);
    for (int32_t cat : query.cat) text += Format("&vexa_cat%%5B%%5D=%d", cat);
    text += Format("&vexa_sort=%d", sortDate);
  } else {
    int32_t first = query.cat.empty() ? -1 : query.cat.front();
    text = Format("vexa_query=%s&vexa_and=%d&vexa_cat%%5B%%5D=%d&vexa_sort=%d", escaped, matchAll,
                  first, sortDate);
  }
  text = CutUtf16(text, kCacheQueryStringMaxUnits);
  return CutUtf16(ReplaceStars(text), kCacheQueryStringMaxUnits);
}

std::string CacheDirectoryPath(const std::string& programDir) {
  if (programDir.empty()) return "cache";
  if (programDir.back() == '/') return programDir + "cache";
  return programDir + "/cache";
}

Status CacheFilePath(const std::string& programDir, const Config& config, const VexaQuery& query,
                     std::string* path) {
  path->clear();
  std::string name = CacheQueryString(config, query);
  // The name must also leave room for the directory in a short path.
  if (FileNameNeedsCleaning(name) || Utf16Length(name) + 6 >= 260) return kCacheNameNotUsable;
  *path = CacheDirectoryPath(programDir) + "/" + name;
  return kOk;
}

bool IsCacheFileName(std::string_view name) {
  if (name.ends_with(kPartialEntrySuffix)) name.remove_suffix(kPartialEntrySuffix.size());
  // A usable name is never cut (CacheFilePath refuses long ones), so it always
  // ends with the sort flag.
  return name.starts_with("vexa_query=") && name.find("&vexa_and=") != std::string_view::npos &&
         (name.ends_with("&vexa_sort=0") || name.ends_with("&vexa_sort=1")) &&
         !FileNameNeedsCleaning(name);
}

}  // namespace quorix
