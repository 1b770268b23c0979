// Stand-ins for the request components that are not wired in yet: they show
// no results and write nothing, so that the program runs end to end.
#pragma once

#include "search/request_components.h"

namespace quorix {

class PendingPageResources : public PageResources {
 public:
  void WriteTemplateHead() override {}
  int LoadCategoryNames(Config&) override { return 0; }
};

// Refuses an empty query and a page beyond the millionth result; writes nothing.
class PendingSearchForm : public SearchFormStep {
 public:
  int DisplaySearchForm(const Config& config, const VexaQuery& query) override;
};

// A cache that never holds anything.
class PendingCache : public ResultCacheStep {
 public:
  void StartExpiredPurge() override {}
  CacheDirState CacheDirectoryState() override { return CacheDirState::kMissing; }
  Status DeleteCacheByQueryString() override { return kOk; }
  Status CheckCacheByQueryString(const VexaQuery&) override { return kCacheNotFound; }
  bool cacheHit() const override { return false; }
  int64_t cachedItems() const override { return 0; }
  int64_t cachedAvailable() const override { return 0; }
  Status DisplayResultsFromCache() override { return kOk; }
  Status WriteCacheByQueryString(const ItemList&, int32_t) override { return kOk; }
};

// Starts no node.
class PendingNodeQuery : public NodeQueryStep {
 public:
  void PerformVexaQuery(Config&, int32_t, NodeResults&) override {}
  int CheckVexaNodeSettings(Config&, NodeResults&) override { return 0; }
};

class PendingResults : public ResultsStep {
 public:
  int ConsolidateResults(NodeResults&, bool, ItemList&) override { return 0; }
  Status DisplayResults(int32_t, const ChannelTable&, const ItemList&, int64_t, int64_t,
                        bool) override {
    return kOk;
  }
};

class PendingPageTail : public PageTailStep {
 public:
  void WritePageTail() override {}
};

}  // namespace quorix
