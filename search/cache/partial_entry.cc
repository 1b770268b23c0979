// The query's partial entry: the cache file of a set some of whose nodes
// were still answering, led by a preamble
//   "QXPART1\n", pending-node mask (64 bits), due time (ms since 1970, 64 bits),
// little-endian, under the complete entry's name with kPartialEntrySuffix.
#include <cstring>

#include "platform/clock.h"
#include "search/cache/cache.h"

namespace quorix {
namespace {

constexpr std::string_view kPartialMagic = "QXPART1\n";
constexpr size_t kPreambleBytes = 24;

void PutLe64(uint64_t value, char* out) {
  for (int i = 0; i < 8; ++i) out[i] = static_cast<char>((value >> (8 * i)) & 0xff);
}

uint64_t GetLe64(const char* in) {
  uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(in[i]);
  return value;
}

std::string Preamble(const PartialMark& mark) {
  std::string bytes(kPreambleBytes, '\0');
  std::memcpy(bytes.data(), kPartialMagic.data(), kPartialMagic.size());
  PutLe64(mark.pendingNodes, bytes.data() + 8);
  PutLe64(static_cast<uint64_t>(mark.dueEpochMs), bytes.data() + 16);
  return bytes;
}

// The entry's bytes after the preamble, as a cache file of their own.
class AfterPreamble : public EntrySource {
 public:
  explicit AfterPreamble(EntrySource& entry) : entry_(entry) {}
  size_t size() const override { return entry_.size() - kPreambleBytes; }
  Status View(size_t offset, size_t count, size_t readAhead, std::string_view* bytes) override {
    return entry_.View(offset + kPreambleBytes, count, readAhead, bytes);
  }

 private:
  EntrySource& entry_;
};

Status ReadPreamble(EntrySource& entry, PartialMark* mark) {
  std::string_view bytes;
  if (entry.size() < kPreambleBytes || entry.View(0, kPreambleBytes, 0, &bytes) != kOk ||
      !bytes.starts_with(kPartialMagic))
    return kCacheReadFailed;
  mark->pendingNodes = GetLe64(bytes.data() + 8);
  mark->dueEpochMs = static_cast<int64_t>(GetLe64(bytes.data() + 16));
  return kOk;
}

}  // namespace

std::string CCache::PartialEntryName() const {
  return EntryName() + std::string(kPartialEntrySuffix);
}

Status CCache::CheckPartialEntry(const VexaQuery& query, CacheLookup* lookup) {
  *lookup = CacheLookup();
  Status status = CacheFilePath(programDir_, config_, query, &cacheFilePath_);
  if (status != kOk) return status;
  std::unique_ptr<EntrySource> entry;
  status = store().OpenEntry(PartialEntryName(), config_.cacheValidPeriodMins, &entry, log_);
  if (status != kOk) return status;
  CachePage loaded;
  status = ReadPreamble(*entry, &lookup->partial);
  if (status == kOk) {
    AfterPreamble file(*entry);
    status = ReadCacheData(file, query, &loaded);
  }
  return TakeLookup(status, loaded, query, lookup);
}

Status CCache::WritePartialEntry(const ResultSet& set, const PartialMark& mark) {
  Status status = CacheFilePath(programDir_, config_, query_, &cacheFilePath_);
  if (status != kOk) return status;
  log_.Logf(kLogInfo, "Writing the partial cache file \"%s%s\"", cacheFilePath_.c_str(),
            std::string(kPartialEntrySuffix).c_str());
  return WriteSet(set, PartialEntryName(), Preamble(mark), true);
}

Status CCache::DeletePartialEntry() {
  Status status = CacheFilePath(programDir_, config_, query_, &cacheFilePath_);
  if (status != kOk) return status;
  return store().DeleteEntry(PartialEntryName(), log_);
}

bool CCache::HoldsPartial(const VexaQuery& query) {
  if (config_.cacheValidPeriodMins == 0 ||
      CacheFilePath(programDir_, config_, query, &cacheFilePath_) != kOk)
    return false;
  std::unique_ptr<EntrySource> entry;
  PartialMark mark;
  return store().OpenEntry(PartialEntryName(), config_.cacheValidPeriodMins, &entry, log_) == kOk &&
         ReadPreamble(*entry, &mark) == kOk && mark.dueEpochMs > EpochMs();
}

}  // namespace quorix
