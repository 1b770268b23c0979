// The result cache: one file per distinct query in the directory "cache"
// inside the program's directory, holding the merged result set of a fresh
// search so that later pages of the same query are shown without asking the
// nodes again.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "config/settings.h"
#include "nodequery/records.h"
#include "platform/log.h"
#include "platform/status.h"
#include "search/cache/cache_file_format.h"
#include "search/cache/cache_files.h"
#include "search/cache/cache_name.h"
#include "search/cache/cache_source.h"
#include "search/cache/file_store.h"
#include "search/pipeline/pipeline.h"

namespace quorix {

class GatedLog;

// True on the requests that start the purge of expired files: when the
// calendar time in seconds is 50 modulo 100 (about one request in a hundred).
bool IsPurgeDue(int64_t epochSeconds);

// What ReadCachePage takes from a cache file.
struct CachePage {
  CacheHeader header;
  std::unique_ptr<CachedNodes> nodes = std::make_unique<CachedNodes>();
  ItemList items;    // the requested page's items
  bool hit = false;  // the file answers the request (items, or an invalid page)
  // The counts the page shows: the header's, or those of the filtered node.
  int64_t shownItems = 0;
  int64_t shownAvailable = 0;

  // Back to the state of a new page, keeping the node records' memory (a new
  // table is some 180 KB of fresh pages).
  void Clear();
};

// Reads page `page` of `perPage` items from a cache file, for `nodeCount`
// configured nodes. The whole file is checked against its counts first, the
// items by their length fields alone. Returns 0 with `hit` (page loaded); 0 without `hit` (the file
// is for another node count, or is short of the page but holds more items than the nodes said were
// available); kInvalidPage with `hit` when the file holds the whole set and no item for the page;
// kCacheTooSmall; or kCacheReadFailed for a file that is not whole. With `nodeFilter` (0 or more)
// the page is one of that node's items alone (see ItemsOfNode), counted by shownItems and
// shownAvailable; kCacheTooSmall when the file holds too few of them.
Status ReadCachePage(CacheSource& file, int32_t nodeCount, int32_t page, int32_t perPage,
                     CachePage* out, int32_t nodeFilter = -1);
Status ReadCachePage(std::string_view file, int32_t nodeCount, int32_t page, int32_t perPage,
                     CachePage* out, int32_t nodeFilter = -1);

// The result page of `loaded`, a page ReadCachePage read for `spec`: its
// items numbered from the page's start (none for a page or size below 1),
// the shown counts, the file's node records (taken from `loaded`).
ResultPage CachedResultPage(CachePage&& loaded, const PageSpec& spec);

class CCache : public ResultCacheStep {
 public:
  // Everything is borrowed and must outlive the cache, except for the purge
  // thread, which keeps its own copies and stops logging once the cache is
  // gone.
  // `shared` gives the store the settings name for the entries once they are
  // read; without it, or when it gives null, the files of the cache directory.
  CCache(std::string programDir, const Config& config, const VexaQuery& query, LogSink& log,
         std::function<SharedStore*()> shared = {});
  ~CCache() override;
  CCache(const CCache&) = delete;
  CCache& operator=(const CCache&) = delete;

  void StartExpiredPurge() override;
  CacheDirState CacheDirectoryState() override;
  Status DeleteCacheByQueryString() override;
  // See ResultCacheStep. A page from the cache shares the file's node records
  // and lists no node outcome; an unreadable file leaves `lookup` empty.
  Status CheckCacheByQueryString(const VexaQuery& query, CacheLookup* lookup) override;
  // Writes the first set.itemCount merged items with the node records and
  // set.available. Returns kOk without writing for an empty set.
  Status WriteCacheByQueryString(const ResultSet& set) override;

  // The partial entry (see ResultCacheStep): the bytes of a cache file after
  // a preamble with the partial mark, under the complete entry's name with
  // kPartialEntrySuffix, which no reader of complete entries opens.
  bool HoldsCompleteEntry(const VexaQuery& query) override { return Holds(query); }
  Status CheckPartialEntry(const VexaQuery& query, CacheLookup* lookup) override;
  Status WritePartialEntry(const ResultSet& set, const PartialMark& mark) override;
  Status DeletePartialEntry() override;

  // True when the store holds a valid entry for `query` (its page may still
  // lie beyond the entry's items).
  bool Holds(const VexaQuery& query);
  // The same for a partial entry that is not yet due.
  bool HoldsPartial(const VexaQuery& query);

  // Deletes the expired cache files on the calling thread; never the current
  // request's own file. Returns kCachePurgeDone, kCacheNotFound or kCacheListFailed.
  Status DeleteExpiredCache();
  // The expiry test of one file (see cache_files.h).
  Status IsCacheFileValid(const std::string& path);

  std::string CacheDirectory() const;
  // The path of the last lookup or write; empty when the query is not cached.
  const std::string& cacheFilePath() const { return cacheFilePath_; }

 private:
  SharedStore& store();
  bool Shared();                  // the entries are in a shared store, not in the cache directory
  std::string EntryName() const;  // the file name of cacheFilePath_
  std::string PartialEntryName() const;  // EntryName() with kPartialEntrySuffix
  Status ReadCacheData(CacheSource& file, const VexaQuery& query, CachePage* loaded);
  // Fills `lookup` from the entry read into `loaded` with `status`.
  Status TakeLookup(Status status, CachePage& loaded, const VexaQuery& query, CacheLookup* lookup);
  // Writes `set` to entry `name`, after `preamble`; `evenEmpty` keeps a set
  // without items too.
  Status WriteSet(const ResultSet& set, const std::string& name, std::string_view preamble,
                  bool evenEmpty);
  void LogNodes(const CachePage& loaded);
  void LogItems(const CachePage& loaded);
  void LogItem(int index, const Item& item, bool vexa);

  std::string programDir_;
  const Config& config_;
  const VexaQuery& query_;
  LogSink& log_;

  FileStore files_;
  std::function<SharedStore*()> shared_;
  std::string cacheFilePath_;
  std::shared_ptr<GatedLog> purgeLog_;  // the purge thread's log, closed with the cache
};

}  // namespace quorix
