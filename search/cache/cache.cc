#include "search/cache/cache.h"

#include <algorithm>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "nodequery/gated_log.h"
#include "search/cache/cache_files.h"
#include "search/cache/cache_name.h"

namespace quorix {

namespace {

constexpr const char* kReadLabel = "CCache::ReadCacheData";

}  // namespace

void CachePage::Clear() {
  header = CacheHeader();
  for (Channel& channel : nodes->channels) channel = Channel();
  nodes->capabilities.fill(NodeCapabilities());
  nodes->present.fill(false);
  items.clear();
  hit = false;
  shownItems = 0;
  shownAvailable = 0;
}

bool IsPurgeDue(int64_t epochSeconds) { return epochSeconds % 100 == 50; }

ResultPage CachedResultPage(CachePage&& loaded, const PageSpec& spec) {
  ResultPage page;
  page.source = PageSource::kCache;
  std::shared_ptr<const CachedNodes> nodes = std::move(loaded.nodes);
  page.channels = std::shared_ptr<const ChannelTable>(nodes, &nodes->channels);
  page.resultsValid = true;
  page.itemCount = loaded.shownItems;
  page.available = loaded.shownAvailable;
  page.invalid = IsInvalidPage(spec, page.available, page.itemCount);
  if (spec.page < 1 || spec.perPage < 1) return page;
  page.firstNumber = (int64_t{spec.page} - 1) * spec.perPage + 1;
  for (std::unique_ptr<Item>& item : loaded.items)
    if (item) page.items.push_back(std::move(*item));
  return page;
}

namespace {

// The page of node `node`'s items: the whole set is read and filtered, and
// the node's own total stands for the available count.
Status ReadNodePage(CacheSource& file, size_t itemsOffset, int32_t node, int32_t page,
                    int32_t perPage, CachePage* out) {
  const CacheHeader& header = out->header;
  ItemList all;
  if (DecodeCacheItems(file, itemsOffset, header, *out->nodes, 0, header.cachedItems, &all) != kOk)
    return kCacheReadFailed;
  ItemList mine = ItemsOfNode(all, node);
  const Channel& channel = out->nodes->channels[node];
  int64_t held = static_cast<int64_t>(mine.size());
  int64_t available = out->nodes->present[node] ? std::max(channel.totalResults, 0) : 0;
  out->shownItems = held;
  out->shownAvailable = std::max(available, held);
  int64_t last = int64_t{page} * perPage;
  int64_t skip = std::max<int64_t>(0, (int64_t{page} - 1) * perPage);
  bool wholeSet = header.cachedItems == header.cachedAvailable;
  if (held < last && held < out->shownAvailable && !wholeSet) return kCacheTooSmall;
  out->hit = true;
  if (skip >= held) return held == 0 && page == 1 ? kOk : kInvalidPage;
  for (int64_t i = skip; i < std::min(held, last); ++i) out->items.push_back(std::move(mine[i]));
  return kOk;
}

}  // namespace

Status ReadCachePage(CacheSource& file, int32_t nodeCount, int32_t page, int32_t perPage,
                     CachePage* out, int32_t nodeFilter) {
  out->hit = false;
  out->items.clear();
  // Products of 32-bit values, and the header's checks bound its counts:
  // nothing here overflows.
  int64_t last = int64_t{page} * perPage;
  int64_t skip = std::max<int64_t>(0, (int64_t{page} - 1) * perPage);
  size_t itemsOffset = 0;
  size_t pageOffset = 0;
  if (DecodeCacheHeader(file, &out->header) != kOk ||
      DecodeCacheBlocks(file, out->header, out->nodes.get(), &itemsOffset) != kOk ||
      CheckCacheItemLengths(file, out->header, itemsOffset, skip, &pageOffset) != kOk)
    return kCacheReadFailed;
  const CacheHeader& header = out->header;
  out->shownItems = header.cachedItems;
  out->shownAvailable = header.cachedAvailable;
  if (header.nodeCount != nodeCount) return kOk;  // a miss: written for other nodes
  if (nodeFilter >= 0 && nodeFilter < kMaxNodes)
    return ReadNodePage(file, itemsOffset, nodeFilter, page, perPage, out);

  if (header.cachedItems < last && header.cachedItems != header.cachedAvailable)
    return header.cachedItems < header.cachedAvailable ? kCacheTooSmall : kOk;
  int64_t toLoad = header.cachedItems >= last ? perPage : header.cachedItems - skip;
  if (toLoad < 1) {
    out->hit = true;
    return kInvalidPage;
  }
  toLoad = std::min({toLoad, header.cachedItems - skip, last - skip});
  if (DecodeCacheItems(file, pageOffset, header, *out->nodes, 0, toLoad, &out->items) != kOk)
    return kCacheReadFailed;
  out->hit = true;
  return kOk;
}

Status ReadCachePage(std::string_view file, int32_t nodeCount, int32_t page, int32_t perPage,
                     CachePage* out, int32_t nodeFilter) {
  MemoryCacheSource source(file);
  return ReadCachePage(source, nodeCount, page, perPage, out, nodeFilter);
}

CCache::CCache(std::string programDir, const Config& config, const VexaQuery& query, LogSink& log,
               std::function<SharedStore*()> shared)
    : programDir_(std::move(programDir)),
      config_(config),
      query_(query),
      log_(log),
      files_(programDir_, CacheDirectoryPath(programDir_)),
      shared_(std::move(shared)),
      purgeLog_(std::make_shared<GatedLog>(log)) {}

SharedStore& CCache::store() {
  SharedStore* shared = shared_ ? shared_() : nullptr;
  return shared ? *shared : files_;
}

bool CCache::Shared() { return shared_ && shared_() != nullptr; }

std::string CCache::EntryName() const {
  return cacheFilePath_.substr(cacheFilePath_.rfind('/') + 1);
}

CCache::~CCache() { purgeLog_->Close(); }

std::string CCache::CacheDirectory() const { return CacheDirectoryPath(programDir_); }

CacheDirState CCache::CacheDirectoryState() {
  // A shared store is always there to be cleared: it says itself when it is not.
  return Shared() ? CacheDirState::kWritable : CacheDirectoryStateOf(CacheDirectory());
}

Status CCache::IsCacheFileValid(const std::string& path) {
  return quorix::IsCacheFileValid(path, config_.cacheValidPeriodMins, log_);
}

Status CCache::DeleteCacheByQueryString() {
  if (!Shared()) return DeleteQueryCacheFiles(CacheDirectory(), log_);
  Status status = CacheFilePath(programDir_, config_, query_, &cacheFilePath_);
  return status == kOk ? store().DeleteEntry(EntryName(), log_) : kOk;
}

Status CCache::DeleteExpiredCache() {
  std::string keep;
  CacheFilePath(programDir_, config_, query_, &keep);
  return DeleteExpiredCacheFiles(CacheDirectory(), keep, config_.cacheValidPeriodMins, log_);
}

void CCache::StartExpiredPurge() {
  if (Shared()) return;  // the store expires its entries itself
  std::string keep;
  CacheFilePath(programDir_, config_, query_, &keep);
  std::shared_ptr<GatedLog> log = purgeLog_;
  try {
    std::thread([dir = CacheDirectory(), keep, mins = config_.cacheValidPeriodMins, log] {
      DeleteExpiredCacheFiles(dir, keep, mins, *log);
    }).detach();
  } catch (const std::system_error&) {
    // No thread: the files are purged on a later request.
  }
}

bool CCache::Holds(const VexaQuery& query) {
  if (config_.cacheValidPeriodMins == 0 ||
      CacheFilePath(programDir_, config_, query, &cacheFilePath_) != kOk)
    return false;
  std::unique_ptr<EntrySource> entry;
  return store().OpenEntry(EntryName(), config_.cacheValidPeriodMins, &entry, log_) == kOk;
}

Status CCache::CheckCacheByQueryString(const VexaQuery& query, CacheLookup* lookup) {
  *lookup = CacheLookup();
  Status status = CacheFilePath(programDir_, config_, query, &cacheFilePath_);
  if (status != kOk) return status;
  log_.Logf(kLogInfo, "gVexaQuery.escapedQuery is \"%s\"", query.escapedQuery.c_str());
  log_.Logf(kLogInfo, "Checking cache file \"%s\"", cacheFilePath_.c_str());

  CachePage loaded;
  std::unique_ptr<EntrySource> entry;
  status = store().OpenEntry(EntryName(), config_.cacheValidPeriodMins, &entry, log_);
  if (status == kCacheNotFound || status == kCacheExpired || status == kCacheAccessError ||
      status == kStoreUnavailable || status == kStoreRefused)
    return status;
  if (status == kCacheOutOfMemory)
    log_.Logf(kLogError, "%s(%d): Error allocating memory", kReadLabel, __LINE__);
  if (status == kOk) status = ReadCacheData(*entry, query, &loaded);
  return TakeLookup(status, loaded, query, lookup);
}

Status CCache::TakeLookup(Status status, CachePage& loaded, const VexaQuery& query,
                          CacheLookup* lookup) {
  if (status != kOk && status != kInvalidPage && status != kCacheTooSmall &&
      status != kCacheOpenFailed) {
    LogWithPath(log_, kLogError, "Error reading cache file", cacheFilePath_);
    // The counts of an unreadable file cannot be trusted: without them the
    // fresh search replaces the file instead of being kept from it.
    return status;
  }
  lookup->cachedItems = loaded.header.cachedItems;
  lookup->cachedAvailable = loaded.header.cachedAvailable;
  lookup->hit = loaded.hit;
  if (loaded.hit)
    lookup->page = CachedResultPage(std::move(loaded),
                                    {query.currentPageNum, query.itemsPerPage, query.nodeFilter});
  return status;
}

Status CCache::ReadCacheData(CacheSource& file, const VexaQuery& query, CachePage* loaded) {
  Status status = ReadCachePage(file, config_.nodeCount, query.currentPageNum, query.itemsPerPage,
                                loaded, query.nodeFilter);
  if (!loaded->hit) return status;
  LogNodes(*loaded);
  LogItems(*loaded);
  return status;
}

void CCache::LogNodes(const CachePage& loaded) {
  for (int i = 0; i < loaded.header.nodeCount; ++i) {
    const std::vector<Item>& links = loaded.nodes->channels[i].recommended;
    for (size_t k = 0; k < links.size(); ++k) {
      int index = static_cast<int>(k);
      log_.Logf(kLogDetail, "%s(%d): m_CachedChannel[%d].recommended[%d].title = %s", kReadLabel,
                __LINE__, i, index, links[k].title.c_str());
      log_.Logf(kLogDetail, "%s(%d): m_CachedChannel[%d].recommended[%d].link = %s", kReadLabel,
                __LINE__, i, index, links[k].link.c_str());
      log_.Logf(kLogDetail, "%s(%d): m_CachedChannel[%d].recommended[%d].description = %s",
                kReadLabel, __LINE__, i, index, links[k].description.c_str());
    }
  }
}

void CCache::LogItems(const CachePage& loaded) {
  const CachedNodes& cached = *loaded.nodes;
  for (size_t k = 0; k < loaded.items.size(); ++k) {
    const Item& item = *loaded.items[k];
    bool vexa = !cached.present[item.node] || !IsOpenSearchNode(cached.channels[item.node]);
    LogItem(static_cast<int>(k), item, vexa);
  }
}

void CCache::LogItem(int index, const Item& item, bool vexa) {
  auto text = [&](const char* field, const std::string& value) {
    log_.Logf(kLogDetail, "%s(%d): m_TotalCachedDisplayItems[%d].%s = %s", kReadLabel, __LINE__,
              index, field, value.c_str());
  };
  text("title", item.title);
  text("description", item.description);
  text("link", item.link);
  text("pubDate", item.pubDate);
  if (vexa) {
    for (int c = 0; c < kItemCategories; ++c)
      log_.Logf(kLogDetail, "%s(%d): m_TotalCachedDisplayItems[%d].category[%d] = %s", kReadLabel,
                __LINE__, index, c, item.category[c].c_str());
    text("vexaContext", item.vexaContext);
    log_.Logf(kLogDetail, "%s(%d): m_TotalCachedDisplayItems[%d].vexaTermsMatched = %d", kReadLabel,
              __LINE__, index, item.vexaTermsMatched);
    log_.Logf(kLogDetail, "%s(%d): m_TotalCachedDisplayItems[%d].vexaItemSize = %d", kReadLabel,
              __LINE__, index, item.vexaItemSize);
    text("vexaImageURL", item.vexaImageURL);
  }
  log_.Logf(kLogDetail, "%s(%d): m_TotalCachedDisplayItems[%d].vexaScore = %d", kReadLabel,
            __LINE__, index, item.vexaScore);
  log_.Logf(kLogDetail, "%s(%d): m_TotalCachedDisplayItems[%d].vexaDateTime = %lld", kReadLabel,
            __LINE__, index, static_cast<long long>(item.vexaDateTime));
}

Status CCache::WriteCacheByQueryString(const ResultSet& set) {
  Status status = CacheFilePath(programDir_, config_, query_, &cacheFilePath_);
  if (status != kOk) return status;
  log_.Logf(kLogInfo, "Writing cache file \"%s\"", cacheFilePath_.c_str());
  return WriteSet(set, EntryName(), {}, false);
}

Status CCache::WriteSet(const ResultSet& set, const std::string& name, std::string_view preamble,
                        bool evenEmpty) {
  // A node's negative total would make a file the reader refuses.
  if (set.available < 0 || (!evenEmpty && (set.items.empty() || set.itemCount <= 0))) return kOk;

  CacheHeader header;
  header.nodeCount = config_.nodeCount;
  header.query = query_.query;
  // Only where the file lies within the site, never the folders above it.
  header.path = "cache/" + cacheFilePath_.substr(cacheFilePath_.rfind('/') + 1);
  header.cachedAvailable = set.available;
  const NodeResults& nodes = *set.nodes;
  std::array<NodeCapabilities, kMaxNodes> capabilities;
  for (int i = 0; i < kMaxNodes; ++i) {
    capabilities[i].countSupported = nodes.runs[i].countSupported;
    capabilities[i].startPageSupported = nodes.runs[i].startPageSupported;
  }
  const size_t itemCount = static_cast<size_t>(std::max(set.itemCount, 0));
  Status status = CheckCacheFileCounts(header, nodes.channels, set.items, itemCount);
  if (status != kOk) {
    log_.Logf(kLogError, "%s(%d): Error writing cache", "CCache::WriteCacheData", __LINE__);
  } else {
    // Encoded straight into the file piece by piece: the set is never held twice.
    bool outOfMemory = false;
    auto encode = [&](const CacheBytesSink& sink) {
      try {
        if (!preamble.empty() && !sink(preamble)) return kCacheWriteFailed;
        return EncodeCacheFile(header, nodes.channels, capabilities, set.items, itemCount, sink);
      } catch (const std::bad_alloc&) {
        outOfMemory = true;
        return kCacheOutOfMemory;
      }
    };
    status = store().WriteEntry(name, config_.cacheValidPeriodMins, encode, log_);
    if (outOfMemory) {
      log_.Logf(kLogError, "%s(%d): Error allocating memory", "CCache::WriteCacheData", __LINE__);
      return kCacheOutOfMemory;
    }
  }
  if (status == kCacheWriteFailed)
    LogWithPath(log_, kLogWarning, "Error writing cache file", cacheFilePath_);
  return status;
}

}  // namespace quorix
