// Reading a cache file: its header, node blocks and item records.
#include <algorithm>
#include <cstring>

#include "platform/text.h"
#include "search/cache/cache_file_format.h"
#include "search/cache/cache_file_layout.h"
#include "search/cache/cache_source.h"

namespace quorix {
namespace {

using cache_layout::HasVexaFields;
using cache_layout::kDisplayFlags;
using cache_layout::kItemRecordMinBytes;
using cache_layout::kMaxAvailable;
using cache_layout::NodesBelow;

// UTF-16LE `raw` as UTF-8. ASCII, the usual case, is narrowed in place.
std::string NarrowLe(std::string_view raw) {
  std::string narrow(raw.size() / 2, '\0');
  for (size_t i = 0; i < narrow.size(); ++i) {
    char low = raw[2 * i];
    if (raw[2 * i + 1] != 0 || static_cast<unsigned char>(low) >= 0x80)
      return Utf16ToUtf8(LeBytesToUtf16(raw));
    narrow[i] = low;
  }
  return narrow;
}

// The code units of `raw` before its first zero unit.
size_t UnitsBeforeTerminator(std::string_view raw) {
  size_t at = 0;
  while (at + 1 < raw.size() && (raw[at] != 0 || raw[at + 1] != 0)) at += 2;
  return at / 2;
}

// Checks that a counted string's `count` is possible.
bool CountFits(int32_t count) { return count >= 0 && count <= kCacheStringMaxUnits; }

// Reads little-endian values within a window of the file. Every read checks
// the window; after the first failure `ok()` is false and reads yield zero.
class ByteReader {
 public:
  ByteReader(std::string_view data, size_t pos) : data_(data), pos_(pos) {
    if (pos_ > data_.size()) ok_ = false;
  }

  bool ok() const { return ok_; }
  void Fail() { ok_ = false; }
  size_t remaining() const { return ok_ ? data_.size() - pos_ : 0; }

  bool Skip(size_t count) {
    if (!Has(count)) return false;
    pos_ += count;
    return true;
  }
  uint8_t U8() { return static_cast<uint8_t>(Unsigned(1)); }
  int32_t I32() { return static_cast<int32_t>(static_cast<uint32_t>(Unsigned(4))); }
  int64_t I64() { return static_cast<int64_t>(Unsigned(8)); }

  // A zero-terminated wide field of `units` code units (the text ends at the
  // first zero unit or at the field's end). The padding is never looked at.
  std::string FixedWide(size_t units) {
    if (!Has(2 * units)) return {};
    std::string_view field = data_.substr(pos_, 2 * units);
    pos_ += 2 * units;
    return NarrowLe(field.substr(0, 2 * UnitsBeforeTerminator(field)));
  }

  // A counted string; a negative or too long count fails the read.
  std::string Counted() {
    int32_t count = I32();
    if (!ok_) return {};
    if (!CountFits(count)) {
      ok_ = false;
      return {};
    }
    size_t bytes = 2 * static_cast<size_t>(count);
    if (!Has(bytes)) return {};
    pos_ += bytes;
    return NarrowLe(data_.substr(pos_ - bytes, bytes));
  }

 private:
  bool Has(size_t count) {
    if (!ok_ || count > data_.size() - pos_) ok_ = false;
    return ok_;
  }
  uint64_t Unsigned(int bytes) {
    if (!Has(static_cast<size_t>(bytes))) return 0;
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
      value |= static_cast<uint64_t>(static_cast<unsigned char>(data_[pos_ + i])) << (8 * i);
    pos_ += static_cast<size_t>(bytes);
    return value;
  }

  std::string_view data_;
  size_t pos_;
  bool ok_ = true;
};

// Reads a source in order, taking each value's bytes as one view. After the
// first failure `ok()` is false and reads yield zero.
class SourceReader {
 public:
  SourceReader(CacheSource& source, size_t pos, size_t readAhead)
      : source_(source), pos_(pos), readAhead_(readAhead), ok_(pos <= source.size()) {}

  bool ok() const { return ok_; }
  size_t pos() const { return pos_; }
  size_t remaining() const { return ok_ ? source_.size() - pos_ : 0; }

  // The next `count` bytes, valid until the next read.
  std::string_view Next(size_t count) {
    std::string_view bytes;
    if (ok_ && source_.View(pos_, count, readAhead_, &bytes) != kOk) ok_ = false;
    if (!ok_) return {};
    pos_ += count;
    return bytes;
  }
  bool Skip(size_t count) {
    if (count > remaining()) ok_ = false;
    if (ok_) pos_ += count;
    return ok_;
  }
  int32_t I32() {
    ByteReader value(Next(4), 0);
    return value.I32();
  }
  // A counted string; a negative or too long count fails the read.
  std::string Counted() {
    int32_t count = I32();
    if (ok_ && !CountFits(count)) ok_ = false;
    return ok_ ? NarrowLe(Next(2 * static_cast<size_t>(count))) : std::string();
  }
  // Passes over one item record by its length.
  bool SkipRecord() {
    int32_t length = I32();
    return ok_ && length >= 0 && Skip(static_cast<size_t>(length));
  }

 private:
  CacheSource& source_;
  size_t pos_;
  size_t readAhead_;
  bool ok_;
};

// Bytes worth reading past a node block (its recommended records, usually
// short) and past an item length field (the records that follow).
constexpr size_t kBlockReadAhead = 4096;
constexpr size_t kItemsReadAhead = 32768;

// Reads the fields of a node block after its node index; returns the count
// of recommended records that follow the block.
int32_t DecodeBlockFields(ByteReader& in, int32_t index, CachedNodes* nodes) {
  Channel& channel = nodes->channels[index];
  channel.node = index;
  channel.nodeType = in.U8();
  channel.valid = in.U8() != 0;
  in.Skip(2);
  channel.osTotalQueriedItems = in.I32();
  if (channel.osTotalQueriedItems < 0) in.Fail();
  channel.totalResults = in.I32();
  nodes->capabilities[index].countSupported = in.I32() != 0;
  nodes->capabilities[index].startPageSupported = in.I32() != 0;
  for (auto flag : kDisplayFlags) channel.settings.*flag = in.U8() != 0;
  in.Skip(1);
  channel.settings.LinkTarget = in.FixedWide(kCacheLinkTargetUnits);
  for (std::string& suggestion : channel.vexaSpellingSuggestions)
    suggestion = in.FixedWide(kCacheSuggestionUnits);
  in.Skip(2);
  int32_t recommendedCount = in.I32();
  in.Skip(4);
  return recommendedCount;
}

// Reads the next node block and its recommended records; `previous` is the
// node index of the block before it (-1 for the first).
bool DecodeNodeBlock(SourceReader& in, const CacheHeader& header, int32_t* previous,
                     CachedNodes* nodes) {
  if (in.remaining() < kCacheNodeBlockBytes) return false;
  ByteReader block(in.Next(kCacheNodeBlockBytes), 0);
  int32_t index = block.I32();
  if (!in.ok() || index <= *previous || index >= header.nodeCount || index >= kMaxNodes)
    return false;
  *previous = index;
  int32_t recommendedCount = DecodeBlockFields(block, index, nodes);
  // Each record takes at least 12 bytes, which bounds a corrupt count.
  if (!block.ok() || recommendedCount < 0 ||
      static_cast<size_t>(recommendedCount) > in.remaining() / 12)
    return false;
  Channel& channel = nodes->channels[index];
  channel.recommended.resize(static_cast<size_t>(recommendedCount));
  for (Item& link : channel.recommended) {
    link.node = index;
    link.title = in.Counted();
    link.link = in.Counted();
    link.description = in.Counted();
  }
  nodes->present[index] = in.ok();
  return in.ok();
}

// The longest record whose fields could fill it: node, every counted string
// at its longest, terms matched, size, score, date-time and mask.
constexpr size_t kItemCountedStrings = 6 + kItemCategories;
constexpr size_t kItemRecordMaxBytes =
    4 + kItemCountedStrings * (4 + 2 * size_t{kCacheStringMaxUnits}) + 4 + 4 + 4 + 8 + 8;

// Appends the item of one record (the bytes after its length field).
bool DecodeItemRecord(std::string_view bytes, const CacheHeader& header, const CachedNodes& nodes,
                      ItemList* items) {
  ByteReader record(bytes, 0);
  auto item = std::make_unique<Item>();
  item->node = record.I32();
  if (!record.ok() || item->node < 0 || item->node >= header.nodeCount || item->node >= kMaxNodes)
    return false;
  item->title = record.Counted();
  item->description = record.Counted();
  item->link = record.Counted();
  item->pubDate = record.Counted();
  if (HasVexaFields(nodes.channels, nodes.present, item->node)) {
    for (std::string& category : item->category) category = record.Counted();
    item->vexaContext = record.Counted();
    item->vexaTermsMatched = record.I32();
    item->vexaItemSize = record.I32();
    item->vexaImageURL = record.Counted();
  }
  item->vexaScore = record.I32();
  item->vexaDateTime = record.I64();
  if (record.ok() && record.remaining() == 8) {
    item->alsoFoundAt = static_cast<uint64_t>(record.I64());
    if (item->alsoFoundAt == 0 || !NodesBelow(item->alsoFoundAt, header.nodeCount)) return false;
  }
  if (!record.ok() || record.remaining() != 0) return false;
  items->push_back(std::move(item));
  return true;
}

}  // namespace

Status DecodeCacheHeader(CacheSource& file, CacheHeader* header) {
  *header = CacheHeader();
  std::string_view bytes;
  // The first node block usually comes with the header.
  if (file.View(0, kCacheHeaderBytes, kCacheNodeBlockBytes + kBlockReadAhead, &bytes) != kOk)
    return kCacheReadFailed;
  ByteReader in(bytes, 0);
  header->nodeCount = in.I32();
  header->nodeBlocks = in.I32();
  header->query = in.FixedWide(kCacheQueryUnits);
  header->path = in.FixedWide(kCacheFilePathUnits);
  header->cachedItems = in.I64();
  header->cachedAvailable = in.I64();
  bool sane = header->nodeCount >= 0 && header->nodeCount <= kMaxNodes && header->nodeBlocks >= 0 &&
              header->nodeBlocks <= header->nodeCount && header->cachedItems >= 0 &&
              header->cachedAvailable >= 0 && header->cachedAvailable <= kMaxAvailable;
  if (!in.ok() || !sane) return kCacheReadFailed;
  size_t blocksEnd =
      kCacheHeaderBytes + static_cast<size_t>(header->nodeBlocks) * kCacheNodeBlockBytes;
  size_t roomForItems = file.size() > blocksEnd ? file.size() - blocksEnd : 0;
  if (static_cast<uint64_t>(header->cachedItems) > roomForItems / kItemRecordMinBytes)
    return kCacheReadFailed;
  return kOk;
}

Status DecodeCacheHeader(std::string_view file, CacheHeader* header) {
  MemoryCacheSource source(file);
  return DecodeCacheHeader(source, header);
}

Status DecodeCacheBlocks(CacheSource& file, const CacheHeader& header, CachedNodes* nodes,
                         size_t* itemsOffset) {
  SourceReader in(file, kCacheHeaderBytes, kBlockReadAhead);
  int32_t previous = -1;
  for (int32_t block = 0; block < header.nodeBlocks; ++block) {
    if (!DecodeNodeBlock(in, header, &previous, nodes)) return kCacheReadFailed;
  }
  *itemsOffset = in.pos();
  return kOk;
}

Status CheckCacheItemLengths(CacheSource& file, const CacheHeader& header, size_t itemsOffset,
                             int64_t mark, size_t* markOffset) {
  SourceReader in(file, itemsOffset, kItemsReadAhead);
  *markOffset = itemsOffset;
  for (int64_t i = 0; i < header.cachedItems; ++i) {
    if (i == mark) *markOffset = in.pos();
    if (!in.SkipRecord()) return kCacheReadFailed;
  }
  if (mark >= header.cachedItems) *markOffset = in.pos();
  return in.ok() && in.remaining() == 0 ? kOk : kCacheReadFailed;
}

Status DecodeCacheNodes(std::string_view file, const CacheHeader& header, CachedNodes* nodes,
                        size_t* itemsOffset) {
  MemoryCacheSource source(file);
  size_t end = 0;
  Status status = DecodeCacheBlocks(source, header, nodes, itemsOffset);
  return status == kOk ? CheckCacheItemLengths(source, header, *itemsOffset, 0, &end) : status;
}

Status DecodeCacheItems(CacheSource& file, size_t offset, const CacheHeader& header,
                        const CachedNodes& nodes, int64_t skip, int64_t take, ItemList* items) {
  SourceReader in(file, offset, kItemsReadAhead);
  for (int64_t i = 0; i < skip; ++i) {
    if (!in.SkipRecord()) return kCacheReadFailed;
  }
  for (int64_t i = 0; i < take; ++i) {
    int32_t length = in.I32();
    if (!in.ok() || length < 0 || static_cast<size_t>(length) > kItemRecordMaxBytes)
      return kCacheReadFailed;
    std::string_view record = in.Next(static_cast<size_t>(length));
    if (!in.ok() || !DecodeItemRecord(record, header, nodes, items)) return kCacheReadFailed;
  }
  return kOk;
}

Status DecodeCacheItems(std::string_view file, size_t offset, const CacheHeader& header,
                        const CachedNodes& nodes, int64_t skip, int64_t take, ItemList* items) {
  MemoryCacheSource source(file);
  return DecodeCacheItems(source, offset, header, nodes, skip, take, items);
}

}  // namespace quorix
