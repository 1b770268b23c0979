#include "search/cache_file_format.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/text.h"
#include "search/cache_source.h"

namespace quorix {
namespace {

// The shortest item record: length, node, four empty counted strings, score
// and date-time.
constexpr size_t kItemRecordMinBytes = 4 + 4 + 4 * 4 + 4 + 8;
// The available count is the nodes' totals summed in 32 bits.
constexpr int64_t kMaxAvailable = INT32_MAX;

// Appends little-endian values and UTF-16LE text.
class ByteWriter {
 public:
  explicit ByteWriter(std::string* out) : out_(out) {}

  void U8(uint8_t value) { out_->push_back(static_cast<char>(value)); }
  void I32(int32_t value) { Unsigned(static_cast<uint32_t>(value), 4); }
  void I64(int64_t value) { Unsigned(static_cast<uint64_t>(value), 8); }
  void Zeros(size_t count) { out_->append(count, '\0'); }

  // `text` cut to units - 1 code units, then zero-filled to `units`.
  void FixedWide(std::string_view text, size_t units) {
    size_t written = Wide(text, units - 1);
    Zeros(2 * (units - written));
  }

  void Counted(std::string_view text) {
    size_t lengthAt = size();
    I32(0);
    PatchI32(lengthAt, static_cast<int32_t>(Wide(text, kCacheStringMaxUnits)));
  }

  size_t size() const { return out_->size(); }
  // Overwrites a 32-bit value written earlier at `offset`.
  void PatchI32(size_t offset, int32_t value) {
    uint32_t bits = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) (*out_)[offset + i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
  }

 private:
  void Unsigned(uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out_->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  }

  // Appends `text`, cut to `maxUnits` code units, as UTF-16LE; returns the
  // units written. ASCII, the usual case, is widened in place.
  size_t Wide(std::string_view text, size_t maxUnits) {
    bool ascii = true;
    for (char c : text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (!ascii) {
      std::u16string wide = Utf8ToUtf16(CutUtf16(text, maxUnits));
      out_->append(Utf16ToLeBytes(wide));
      return wide.size();
    }
    text = text.substr(0, maxUnits);
    size_t at = out_->size();
    out_->resize(at + 2 * text.size());
    char* to = out_->data() + at;
    for (char c : text) {
      *to++ = c;
      *to++ = '\0';
    }
    return text.size();
  }
  std::string* out_;
};

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

// The thirteen display settings of a node block, in file order.
constexpr bool SettingsBlock::*kDisplayFlags[] = {
    &SettingsBlock::Highlighting,      &SettingsBlock::DisplayMetaDesc,
    &SettingsBlock::DisplayDate,       &SettingsBlock::DisplayContext,
    &SettingsBlock::DisplayTitle,      &SettingsBlock::DisplayTerms,
    &SettingsBlock::DisplayScore,      &SettingsBlock::DisplayURL,
    &SettingsBlock::DisplayFilesize,   &SettingsBlock::UseVexaImage,
    &SettingsBlock::SearchAsSubstring, &SettingsBlock::ToLowerSearchWords,
    &SettingsBlock::UseCats,
};

uint8_t TypeByte(int32_t nodeType) {
  if (nodeType == 0) return 0;
  uint8_t low = static_cast<uint8_t>(nodeType & 0xFF);
  return low != 0 ? low : 1;
}

void EncodeNodeBlock(ByteWriter& out, int32_t index, const Channel& channel,
                     const NodeCapabilities& capabilities) {
  out.I32(index);
  out.U8(TypeByte(channel.nodeType));
  out.U8(1);
  out.Zeros(2);
  out.I32(channel.osTotalQueriedItems);
  out.I32(channel.totalResults);
  out.I32(capabilities.countSupported ? 1 : 0);
  out.I32(capabilities.startPageSupported ? 1 : 0);
  for (auto flag : kDisplayFlags) out.U8(channel.settings.*flag ? 1 : 0);
  out.Zeros(1);
  out.FixedWide(channel.settings.LinkTarget, kCacheLinkTargetUnits);
  for (const std::string& suggestion : channel.vexaSpellingSuggestions)
    out.FixedWide(suggestion, kCacheSuggestionUnits);
  out.Zeros(2);
  out.I32(static_cast<int32_t>(channel.recommended.size()));
  out.Zeros(4);
  for (const Item& link : channel.recommended) {
    out.Counted(link.title);
    out.Counted(link.link);
    out.Counted(link.description);
  }
}

// Whether an item of `node` carries the Vexa-only fields: decided by the type
// of the node's block, and a node without a block counts as a Vexa node.
bool HasVexaFields(const ChannelTable& channels, const std::array<bool, kMaxNodes>& present,
                   int32_t node) {
  return !present[node] || channels[node].nodeType == 0;
}

// True when every bit of `mask` names a node below `nodeCount`.
bool NodesBelow(uint64_t mask, int32_t nodeCount) {
  return nodeCount >= kMaxNodes || (mask >> nodeCount) == 0;
}

void EncodeItem(ByteWriter& out, const Item& item, bool vexa) {
  size_t lengthAt = out.size();
  out.I32(0);
  out.I32(item.node);
  out.Counted(item.title);
  out.Counted(item.description);
  out.Counted(item.link);
  out.Counted(item.pubDate);
  if (vexa) {
    for (const std::string& category : item.category) out.Counted(category);
    out.Counted(item.vexaContext);
    out.I32(item.vexaTermsMatched);
    out.I32(item.vexaItemSize);
    out.Counted(item.vexaImageURL);
  }
  out.I32(item.vexaScore);
  out.I64(item.vexaDateTime);
  // Only merged items carry the mask, so other records keep their old layout.
  if (item.alsoFoundAt != 0) out.I64(static_cast<int64_t>(item.alsoFoundAt));
  out.PatchI32(lengthAt, static_cast<int32_t>(out.size() - lengthAt - 4));
}

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

Status CheckCacheFileCounts(const CacheHeader& header, const ChannelTable& channels,
                            const ItemList& items, size_t itemCount) {
  if (header.nodeCount < 0 || header.nodeCount > kMaxNodes) return kCacheWriteFailed;
  if (header.cachedAvailable < 0 || header.cachedAvailable > kMaxAvailable)
    return kCacheWriteFailed;
  itemCount = std::min(itemCount, items.size());
  for (int32_t i = 0; i < header.nodeCount; ++i) {
    if (channels[i].valid && channels[i].osTotalQueriedItems < 0) return kCacheWriteFailed;
  }
  for (size_t i = 0; i < itemCount; ++i) {
    if (!items[i] || items[i]->node < 0 || items[i]->node >= header.nodeCount ||
        !NodesBelow(items[i]->alsoFoundAt, header.nodeCount))
      return kCacheWriteFailed;
  }
  return kOk;
}

Status EncodeCacheFile(const CacheHeader& header, const ChannelTable& channels,
                       const std::array<NodeCapabilities, kMaxNodes>& capabilities,
                       const ItemList& items, size_t itemCount, const CacheBytesSink& sink,
                       size_t pieceBytes) {
  Status status = CheckCacheFileCounts(header, channels, items, itemCount);
  if (status != kOk) return status;
  itemCount = std::min(itemCount, items.size());
  std::array<bool, kMaxNodes> present{};
  int32_t blocks = 0;
  for (int32_t i = 0; i < header.nodeCount; ++i) {
    present[i] = channels[i].valid;
    if (present[i]) ++blocks;
  }

  size_t estimate = kCacheHeaderBytes + static_cast<size_t>(blocks) * 32768;
  for (size_t i = 0; i < itemCount && estimate < pieceBytes; ++i) {
    const Item& item = *items[i];
    estimate += kItemRecordMinBytes + 64 +
                2 * (item.title.size() + item.description.size() + item.link.size() +
                     item.pubDate.size() + item.vexaContext.size() + item.vexaImageURL.size());
  }
  std::string buffer;
  buffer.reserve(std::min(estimate, pieceBytes) + 65536);
  ByteWriter out(&buffer);
  out.I32(header.nodeCount);
  out.I32(blocks);
  out.FixedWide(header.query, kCacheQueryUnits);
  out.FixedWide(header.path, kCacheFilePathUnits);
  out.I64(static_cast<int64_t>(itemCount));
  out.I64(header.cachedAvailable);
  for (int32_t i = 0; i < header.nodeCount; ++i) {
    if (present[i]) EncodeNodeBlock(out, i, channels[i], capabilities[i]);
  }
  for (size_t i = 0; i < itemCount; ++i) {
    EncodeItem(out, *items[i], HasVexaFields(channels, present, items[i]->node));
    // Pieces end between records: a record's length is written after its fields.
    if (buffer.size() >= pieceBytes) {
      if (!sink(buffer)) return kCacheWriteFailed;
      buffer.clear();
    }
  }
  if (!buffer.empty() && !sink(buffer)) return kCacheWriteFailed;
  return kOk;
}

Status EncodeCacheFile(const CacheHeader& header, const ChannelTable& channels,
                       const std::array<NodeCapabilities, kMaxNodes>& capabilities,
                       const ItemList& items, size_t itemCount, std::string* bytes) {
  bytes->clear();
  auto keep = [bytes](std::string_view piece) {
    bytes->append(piece);
    return true;
  };
  Status status = EncodeCacheFile(header, channels, capabilities, items, itemCount, keep,
                                  std::numeric_limits<size_t>::max());
  if (status != kOk) bytes->clear();
  return status;
}

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
