#include "search/cache/cache_file_format.h"

#include <algorithm>
#include <limits>

#include "platform/text.h"
#include "search/cache/cache_file_layout.h"

namespace quorix {
namespace {

using cache_layout::HasVexaFields;
using cache_layout::kDisplayFlags;
using cache_layout::kItemRecordMinBytes;
using cache_layout::kMaxAvailable;
using cache_layout::NodesBelow;

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

}  // namespace quorix
