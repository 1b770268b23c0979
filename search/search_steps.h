// The steps the search driver hands to other components. Each is an interface
// so that the driver can be tested with fakes; the real implementations hold
// references to what they need (page output, settings, request, log).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "config/settings.h"
#include "nodequery/records.h"
#include "platform/status.h"
#include "search/query.h"

namespace quorix {

using ItemList = std::vector<std::unique_ptr<Item>>;
using ChannelTable = std::array<Channel, kMaxNodes>;

// The search form heading the page.
class SearchFormStep {
 public:
  virtual ~SearchFormStep() = default;
  // Writes the form. Returns 0 to search, -1 when there is nothing to search
  // (empty query, or page x per-page of 1000000 or more) after writing its message.
  virtual int DisplaySearchForm(const Config& config, const VexaQuery& query) = 0;
};

enum class CacheDirState { kMissing, kWritable, kNotWritable };

// The result cache of one request.
class ResultCacheStep {
 public:
  virtual ~ResultCacheStep() = default;
  // Starts the purge of expired cache files on a detached background thread.
  virtual void StartExpiredPurge() = 0;
  virtual CacheDirState CacheDirectoryState() = 0;
  // Deletes every cache file (caching is off).
  virtual Status DeleteCacheByQueryString() = 0;
  // Looks for the request's cache file and loads the requested page. Sets
  // cacheHit(), cachedItems(), cachedAvailable() (the counts even on a miss).
  virtual Status CheckCacheByQueryString(const VexaQuery& query) = 0;
  virtual bool cacheHit() const = 0;
  virtual int64_t cachedItems() const = 0;
  virtual int64_t cachedAvailable() const = 0;
  // Writes the results page from the loaded cache file.
  virtual Status DisplayResultsFromCache() = 0;
  // Writes the sorted result set of a fresh search.
  virtual Status WriteCacheByQueryString(const ItemList& items, int32_t count) = 0;
};

// Asking the nodes.
class NodeQueryStep {
 public:
  virtual ~NodeQueryStep() = default;
  // Queries every usable node in parallel within its time-out; fills `results`.
  virtual void PerformVexaQuery(const Config& config, int32_t requested, NodeResults& results) = 0;
  // Compares the settings the nodes reported; 0 when they agree.
  virtual int CheckVexaNodeSettings(const Config& config, NodeResults& results) = 0;
};

// Merging and showing the results.
class ResultsStep {
 public:
  virtual ~ResultsStep() = default;
  // Moves every valid node's items into `merged` and sorts them. Returns 0.
  virtual int ConsolidateResults(NodeResults& results, bool sortDate, ItemList& merged) = 0;
  // Writes the results. `items` holds the whole merged set for a fresh search,
  // or only the requested page's items when `fromCache`. Returns 0 or -10000.
  virtual Status DisplayResults(int32_t nodeCount, const ChannelTable& channels,
                                const ItemList& items, int64_t availableItems, int64_t itemCount,
                                bool fromCache) = 0;
};

// Footer, the template's rest and the search log line.
class PageTailStep {
 public:
  virtual ~PageTailStep() = default;
  virtual void WritePageTail() = 0;
};

}  // namespace quorix
