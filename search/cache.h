// The result cache: one file per distinct query in the directory "cache"
// inside the program's directory, holding the merged result set of a fresh
// search so that later pages of the same query are shown without asking the
// nodes again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "config/settings.h"
#include "nodequery/records.h"
#include "platform/log.h"
#include "platform/status.h"
#include "search/cache_file_format.h"
#include "search/cache_files.h"
#include "search/cache_name.h"
#include "search/query.h"
#include "search/search_steps.h"

namespace quorix {

class PurgeLog;

// True on the requests that start the purge of expired files: when the
// calendar time in seconds is 50 modulo 100 (about one request in a hundred).
bool IsPurgeDue(int64_t epochSeconds);

class CCache : public ResultCacheStep {
 public:
  // Everything is borrowed and must outlive the cache, except for the purge
  // thread, which keeps its own copies and stops logging once the cache is
  // gone. `freshChannels` and `totals` are the nodes' answers of a fresh
  // search (written to the file); DisplayResultsFromCache sets
  // totals.resultsValid and calls results.DisplayResults.
  CCache(std::string programDir, Config& config, const VexaQuery& query, LogSink& log,
         const ChannelTable& freshChannels, RequestTotals& totals, ResultsStep& results);
  ~CCache() override;
  CCache(const CCache&) = delete;
  CCache& operator=(const CCache&) = delete;

  void StartExpiredPurge() override;
  CacheDirState CacheDirectoryState() override;
  Status DeleteCacheByQueryString() override;
  // Returns 0 with cacheHit() (page loaded, or the file is for another node
  // count: 0 without cacheHit()); kInvalidPage with cacheHit() when the file
  // holds no item for the page; kCacheTooSmall; or another code for a miss.
  Status CheckCacheByQueryString(const VexaQuery& query) override;
  bool cacheHit() const override { return cacheHit_; }
  int64_t cachedItems() const override { return header_.cachedItems; }
  int64_t cachedAvailable() const override { return header_.cachedAvailable; }
  Status DisplayResultsFromCache() override;
  Status WriteCacheByQueryString(const ItemList& items, int32_t count) override;

  // Deletes the expired cache files on the calling thread; never the current
  // request's own file. Returns kCachePurgeDone, kCacheNotFound or -1.
  Status DeleteExpiredCache();
  // The expiry test of one file (see cache_files.h).
  Status IsCacheFileValid(const std::string& path);

  std::string CacheDirectory() const;
  // The path of the last lookup or write; empty when the query is not cached.
  const std::string& cacheFilePath() const { return cacheFilePath_; }
  // The node records and page items of the last successful lookup.
  const ChannelTable& cachedChannels() const { return cached_->channels; }
  const ItemList& cachedPageItems() const { return m_TotalCachedDisplayItems; }

 private:
  Status ReadCacheData(std::string_view file, const VexaQuery& query);
  Status LoadNodes(std::string_view file, size_t* itemsOffset);
  Status LoadPageItems(std::string_view file, size_t offset, int64_t skip, int64_t take);
  void LogNodes();
  void LogItem(int index, const Item& item, bool vexa);
  void ResetLoaded();

  std::string programDir_;
  Config& config_;
  const VexaQuery& query_;
  LogSink& log_;
  const ChannelTable& freshChannels_;
  RequestTotals& totals_;
  ResultsStep& results_;

  CacheHeader header_;
  std::string cacheFilePath_;
  bool cacheHit_ = false;
  std::unique_ptr<CachedNodes> cached_;  // the node records rebuilt from a file
  ItemList m_TotalCachedDisplayItems;
  std::shared_ptr<PurgeLog> purgeLog_;
};

}  // namespace quorix
