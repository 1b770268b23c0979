#include "search/cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "search/cache_files.h"
#include "search/cache_name.h"

namespace quorix {

// The log of the purge thread: forwards to the request's log until the cache
// is destroyed, then drops lines, so the detached thread never touches a log
// that has gone.
class PurgeLog : public LogSink {
 public:
  explicit PurgeLog(LogSink& target) : target_(&target) {}
  void Write(int level, std::string_view line) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (target_) target_->Write(level, line);
  }
  void WriteWithDetail(int level, std::string_view publicLine, std::string_view fullLine) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (target_) target_->WriteWithDetail(level, publicLine, fullLine);
  }
  void Detach() {
    std::lock_guard<std::mutex> lock(mutex_);
    target_ = nullptr;
  }

 private:
  std::mutex mutex_;
  LogSink* target_;
};

namespace {

// A cache file larger than this is treated as an allocation failure.
constexpr off_t kMaxCacheFileBytes = off_t{1} << 30;

// The code of an allocation failure (shared with the query server's group).
constexpr Status kOutOfMemory = kQueryUrlEmpty;

constexpr const char* kReadLabel = "CCache::ReadCacheData";

// Reads the whole of `path` into `bytes`. Returns 0, kCacheOpenFailed,
// kOutOfMemory or kCacheReadFailed.
Status ReadWholeFile(const std::string& path, std::string* bytes) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return kCacheOpenFailed;
  Status status = kOk;
  struct stat info;
  if (fstat(fd, &info) != 0) {
    status = kCacheReadFailed;
  } else if (info.st_size > kMaxCacheFileBytes) {
    status = kOutOfMemory;
  } else {
    try {
      bytes->assign(static_cast<size_t>(info.st_size), '\0');
    } catch (const std::bad_alloc&) {
      status = kOutOfMemory;
    }
  }
  size_t done = 0;
  while (status == kOk && done < bytes->size()) {
    ssize_t n = read(fd, bytes->data() + done, bytes->size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      status = kCacheReadFailed;
    else
      done += static_cast<size_t>(n);
  }
  close(fd);
  return status;
}

}  // namespace

bool IsPurgeDue(int64_t epochSeconds) { return epochSeconds % 100 == 50; }

CCache::CCache(std::string programDir, Config& config, const VexaQuery& query, LogSink& log,
               const ChannelTable& freshChannels, RequestTotals& totals, ResultsStep& results)
    : programDir_(std::move(programDir)),
      config_(config),
      query_(query),
      log_(log),
      freshChannels_(freshChannels),
      totals_(totals),
      results_(results),
      cached_(std::make_unique<CachedNodes>()),
      purgeLog_(std::make_shared<PurgeLog>(log)) {}

CCache::~CCache() { purgeLog_->Detach(); }

std::string CCache::CacheDirectory() const { return CacheDirectoryPath(programDir_); }

CacheDirState CCache::CacheDirectoryState() { return CacheDirectoryStateOf(CacheDirectory()); }

Status CCache::IsCacheFileValid(const std::string& path) {
  return quorix::IsCacheFileValid(path, config_.cacheValidPeriodMins, log_);
}

Status CCache::DeleteCacheByQueryString() { return DeleteQueryCacheFiles(CacheDirectory(), log_); }

Status CCache::DeleteExpiredCache() {
  std::string keep;
  CacheFilePath(programDir_, config_, query_, &keep);
  return DeleteExpiredCacheFiles(CacheDirectory(), keep, config_.cacheValidPeriodMins, log_);
}

void CCache::StartExpiredPurge() {
  std::string keep;
  CacheFilePath(programDir_, config_, query_, &keep);
  std::shared_ptr<PurgeLog> log = purgeLog_;
  try {
    std::thread([dir = CacheDirectory(), keep, mins = config_.cacheValidPeriodMins, log] {
      DeleteExpiredCacheFiles(dir, keep, mins, *log);
    }).detach();
  } catch (const std::system_error&) {
    // No thread: the files are purged on a later request.
  }
}

void CCache::ResetLoaded() {
  cached_ = std::make_unique<CachedNodes>();
  m_TotalCachedDisplayItems.clear();
}

Status CCache::CheckCacheByQueryString(const VexaQuery& query) {
  cacheHit_ = false;
  header_ = CacheHeader();
  ResetLoaded();
  Status status = CacheFilePath(programDir_, config_, query, &cacheFilePath_);
  if (status != kOk) return status;
  log_.Logf(kLogInfo, "gVexaQuery.escapedQuery is \"%s\"", query.escapedQuery.c_str());
  log_.Logf(kLogInfo, "Checking cache file \"%s\"", cacheFilePath_.c_str());

  status = IsCacheFileValid(cacheFilePath_);
  if (status != kOk) return status;

  std::string file;
  status = ReadWholeFile(cacheFilePath_, &file);
  if (status == kOutOfMemory)
    log_.Logf(kLogError, "%s(%d): Error allocating memory", kReadLabel, __LINE__);
  if (status == kOk) status = ReadCacheData(file, query);
  if (status != kOk && status != kInvalidPage && status != kCacheTooSmall &&
      status != kCacheOpenFailed) {
    log_.Logf(kLogError, "Error reading cache file \"%s\"", cacheFilePath_.c_str());
    // The counts of an unreadable file cannot be trusted: with them cleared the
    // fresh search replaces the file instead of being kept from it.
    header_ = CacheHeader();
    ResetLoaded();
  }
  return status;
}

Status CCache::ReadCacheData(std::string_view file, const VexaQuery& query) {
  if (DecodeCacheHeader(file, &header_) != kOk) return kCacheReadFailed;
  if (header_.nodeCount != config_.nodeCount) return kOk;  // a miss: written for other nodes

  int64_t page = query.currentPageNum;
  int64_t perPage = query.itemsPerPage;
  int64_t last = page * perPage;
  if (header_.cachedItems < last && header_.cachedItems != header_.cachedAvailable)
    return header_.cachedItems < header_.cachedAvailable ? kCacheTooSmall : kOk;

  size_t itemsOffset = 0;
  Status status = LoadNodes(file, &itemsOffset);
  if (status != kOk) return status;

  int64_t skip = std::max<int64_t>(0, (page - 1) * perPage);
  int64_t toLoad = header_.cachedItems >= last ? perPage : header_.cachedItems - skip;
  if (toLoad < 1) {
    cacheHit_ = true;
    return kInvalidPage;
  }
  toLoad = std::min({toLoad, header_.cachedItems - skip, last - skip});
  status = LoadPageItems(file, itemsOffset, skip, toLoad);
  if (status != kOk) return status;
  cacheHit_ = true;
  return kOk;
}

Status CCache::LoadNodes(std::string_view file, size_t* itemsOffset) {
  if (DecodeCacheNodes(file, header_, cached_.get(), itemsOffset) != kOk) return kCacheReadFailed;
  for (int i = 0; i < header_.nodeCount; ++i) {
    if (!cached_->present[i]) continue;
    // Capabilities go back to the node record; nothing queries the node on a hit.
    config_.nodes[i].countSupported = cached_->capabilities[i].countSupported;
    config_.nodes[i].startPageSupported = cached_->capabilities[i].startPageSupported;
  }
  LogNodes();
  return kOk;
}

void CCache::LogNodes() {
  for (int i = 0; i < header_.nodeCount; ++i) {
    const std::vector<Item>& links = cached_->channels[i].recommended;
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

Status CCache::LoadPageItems(std::string_view file, size_t offset, int64_t skip, int64_t take) {
  ItemList items;
  if (DecodeCacheItems(file, offset, header_, *cached_, skip, take, &items) != kOk)
    return kCacheReadFailed;
  for (size_t k = 0; k < items.size(); ++k) {
    const Item& item = *items[k];
    bool vexa = !cached_->present[item.node] || cached_->channels[item.node].nodeType == 0;
    LogItem(static_cast<int>(k), item, vexa);
  }
  m_TotalCachedDisplayItems = std::move(items);
  return kOk;
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

Status CCache::DisplayResultsFromCache() {
  totals_.resultsValid = true;
  return results_.DisplayResults(header_.nodeCount, cached_->channels, m_TotalCachedDisplayItems,
                                 header_.cachedAvailable, header_.cachedItems, true);
}

Status CCache::WriteCacheByQueryString(const ItemList& items, int32_t count) {
  Status status = CacheFilePath(programDir_, config_, query_, &cacheFilePath_);
  if (status != kOk) return status;
  log_.Logf(kLogInfo, "Writing cache file \"%s\"", cacheFilePath_.c_str());
  if (items.empty() || count <= 0) return kOk;

  std::string dir = CacheDirectory();
  status = PrepareCacheDirectory(programDir_, dir, log_);
  if (status != kOk) return status;

  CacheHeader header;
  header.nodeCount = config_.nodeCount;
  header.query = query_.query;
  header.path = cacheFilePath_;
  header.cachedAvailable = totals_.availableItems;
  std::array<NodeCapabilities, kMaxNodes> capabilities;
  for (int i = 0; i < kMaxNodes; ++i) {
    capabilities[i].countSupported = config_.nodes[i].countSupported;
    capabilities[i].startPageSupported = config_.nodes[i].startPageSupported;
  }
  std::string bytes;
  try {
    status = EncodeCacheFile(header, freshChannels_, capabilities, items,
                             static_cast<size_t>(count), &bytes);
  } catch (const std::bad_alloc&) {
    log_.Logf(kLogError, "%s(%d): Error allocating memory", "CCache::WriteCacheData", __LINE__);
    return kOutOfMemory;
  }
  if (status != kOk)
    log_.Logf(kLogError, "%s(%d): Error writing cache", "CCache::WriteCacheData", __LINE__);
  else
    status = WriteCacheFileAtomically(dir, cacheFilePath_, bytes, log_);
  if (status == kCacheWriteFailed)
    log_.Logf(kLogWarning, "Error writing cache file \"%s\"", cacheFilePath_.c_str());
  return status;
}

}  // namespace quorix
