#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

#include "platform/text.h"
#include "search/cache/cache.h"
#include "search/cache/cache_file_format.h"
#include "search/cache/cache_source.h"
#include "tests/search/cache_test_support.h"

namespace quorix {
namespace {

using testing::MakeItems;

int32_t I32At(const std::string& bytes, size_t offset) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i)
    value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
  return static_cast<int32_t>(value);
}

// Writes the low `width` bytes of `value` little-endian at `offset`.
void PutLe(std::string& bytes, size_t offset, int64_t value, int width) {
  for (int i = 0; i < width; ++i)
    bytes[offset + i] = static_cast<char>((static_cast<uint64_t>(value) >> (8 * i)) & 0xFF);
}

// The one recommended record of the sample: title "Rec", empty link and description.
constexpr size_t kRecommendedBytes = (4 + 2 * 3) + 4 + 4;

// Node 0 an OpenSearch node, node 1 a Vexa node with one recommended link;
// items alternate between them.
struct Sample {
  CacheHeader header;
  std::unique_ptr<ChannelTable> channels = std::make_unique<ChannelTable>();
  std::array<NodeCapabilities, kMaxNodes> capabilities;
  ItemList items;

  Sample() {
    header.nodeCount = 2;
    header.query = "größe \"x\"";
    header.path = "/srv/cache/f";
    header.cachedAvailable = 77;
    for (int i = 0; i < 2; ++i) {
      (*channels)[i].valid = true;
      (*channels)[i].nodeType = i == 0 ? 1 : 0;
    }
    (*channels)[1].recommended.push_back(Item{});
    (*channels)[1].recommended[0].title = "Rec";
    items = MakeItems(4, 0);
    items[1]->node = 1;
    items[3]->node = 1;
    items[3]->title = "smile \xF0\x9F\x98\x80";  // a surrogate pair in UTF-16
  }
  std::string Encode() {
    std::string bytes;
    EXPECT_EQ(EncodeCacheFile(header, *channels, capabilities, items, items.size(), &bytes), kOk);
    return bytes;
  }
};

Status DecodeAll(const std::string& bytes, int64_t skip, int64_t take, ItemList* items) {
  CacheHeader header;
  Status status = DecodeCacheHeader(bytes, &header);
  if (status != kOk) return status;
  auto nodes = std::make_unique<CachedNodes>();
  size_t offset = 0;
  status = DecodeCacheNodes(bytes, header, nodes.get(), &offset);
  if (status != kOk) return status;
  return DecodeCacheItems(bytes, offset, header, *nodes, skip, take, items);
}

TEST(CacheFormatTest, RoundTripKeepsEveryFieldOfBothNodeKinds) {
  Sample sample;
  std::string bytes = sample.Encode();
  ItemList items;
  ASSERT_EQ(DecodeAll(bytes, 0, 4, &items), kOk);
  ASSERT_EQ(items.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    const Item& in = *sample.items[i];
    const Item& out = *items[i];
    bool vexa = in.node == 1;
    SCOPED_TRACE("item " + std::to_string(i));
    EXPECT_EQ(out.node, in.node);
    EXPECT_EQ(out.title, in.title);
    EXPECT_EQ(out.description, in.description);
    EXPECT_EQ(out.link, in.link);
    EXPECT_EQ(out.pubDate, in.pubDate);
    EXPECT_EQ(out.vexaScore, in.vexaScore);
    EXPECT_EQ(out.vexaDateTime, in.vexaDateTime);
    // OpenSearch records end after pubDate with score and date-time only.
    EXPECT_EQ(out.category[0], vexa ? in.category[0] : "");
    EXPECT_EQ(out.vexaContext, vexa ? in.vexaContext : "");
    EXPECT_EQ(out.vexaTermsMatched, vexa ? in.vexaTermsMatched : 0);
    EXPECT_EQ(out.vexaItemSize, vexa ? in.vexaItemSize : 0);
    EXPECT_EQ(out.vexaImageURL, vexa ? in.vexaImageURL : "");
  }
  CacheHeader header;
  ASSERT_EQ(DecodeCacheHeader(bytes, &header), kOk);
  EXPECT_EQ(header.query, sample.header.query);
  EXPECT_EQ(header.cachedItems, 4);
  EXPECT_EQ(header.cachedAvailable, 77);
}

TEST(CacheFormatTest, RecordLengthMatchesTheFieldsOfEachNodeKind) {
  Sample sample;
  std::string bytes = sample.Encode();
  size_t offset = kCacheHeaderBytes + 2 * kCacheNodeBlockBytes + kRecommendedBytes;
  for (const auto& item : sample.items) {
    size_t chars = Utf16Length(item->title) + Utf16Length(item->description) +
                   Utf16Length(item->link) + Utf16Length(item->pubDate);
    size_t expected = 2 * chars + 32;
    if (item->node == 1) {
      expected += (2 * Utf16Length(item->category[0]) + 8 * 4) +
                  2 * Utf16Length(item->vexaContext) + 2 * Utf16Length(item->vexaImageURL) + 16;
    }
    ASSERT_EQ(I32At(bytes, offset), static_cast<int32_t>(expected)) << item->title;
    EXPECT_EQ(I32At(bytes, offset + 4), item->node) << item->title;
    offset += 4 + expected;
  }
  EXPECT_EQ(offset, bytes.size());
}

// Only a merged item carries the mask of its other nodes, so files without
// merged items keep the layout above.
TEST(CacheFormatTest, MergedItemsKeepTheirOtherNodes) {
  Sample sample;
  sample.items[0]->alsoFoundAt = 0b10;
  std::string bytes = sample.Encode();
  EXPECT_EQ(bytes.size(), Sample().Encode().size() + 8);
  ItemList items;
  ASSERT_EQ(DecodeAll(bytes, 0, 4, &items), kOk);
  EXPECT_EQ(items[0]->alsoFoundAt, 0b10u);
  EXPECT_EQ(items[1]->alsoFoundAt, 0u);

  const size_t firstItem = kCacheHeaderBytes + 2 * kCacheNodeBlockBytes + kRecommendedBytes;
  const size_t mask = firstItem + 4 + I32At(bytes, firstItem) - 8;
  for (int64_t corrupt : {int64_t{0}, int64_t{0b100}, int64_t{-1}}) {
    std::string spoilt = bytes;
    PutLe(spoilt, mask, corrupt, 8);
    ItemList read;
    EXPECT_EQ(DecodeAll(spoilt, 0, 4, &read), kCacheReadFailed) << corrupt;
  }
}

TEST(CacheFormatTest, SkippingByLengthReachesTheLaterItems) {
  Sample sample;
  ItemList items;
  ASSERT_EQ(DecodeAll(sample.Encode(), 2, 2, &items), kOk);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0]->title, "item 3");
  EXPECT_EQ(items[1]->title, sample.items[3]->title);
}

TEST(CacheFormatTest, PiecesMakeTheSameFileAndARefusedPieceStopsIt) {
  Sample sample;
  const std::string whole = sample.Encode();
  for (size_t pieceBytes : {size_t{1}, size_t{100}, kCacheHeaderBytes + 1, whole.size()}) {
    std::string joined;
    int pieces = 0;
    auto keep = [&](std::string_view piece) {
      joined.append(piece);
      ++pieces;
      return true;
    };
    ASSERT_EQ(EncodeCacheFile(sample.header, *sample.channels, sample.capabilities, sample.items, 4,
                              keep, pieceBytes),
              kOk);
    EXPECT_EQ(joined, whole) << pieceBytes;
    // Pieces end between records: the smallest size gives one per record.
    if (pieceBytes == 1) {
      EXPECT_EQ(pieces, 4);
    }
    if (pieceBytes == whole.size()) {
      EXPECT_EQ(pieces, 1);
    }

    int offered = 0;
    auto refuseSecond = [&](std::string_view) { return ++offered < 2; };
    Status refused = EncodeCacheFile(sample.header, *sample.channels, sample.capabilities,
                                     sample.items, 4, refuseSecond, pieceBytes);
    EXPECT_EQ(refused, pieces > 1 ? kCacheWriteFailed : kOk) << pieceBytes;
  }
}

TEST(CacheFormatTest, WriterRefusesWhatTheReaderWouldRefuse) {
  const struct {
    const char* label;
    void (*spoil)(Sample&);
  } cases[] = {
      {"item of a node outside the node count", [](Sample& s) { s.items[2]->node = 2; }},
      {"negative available count", [](Sample& s) { s.header.cachedAvailable = -1; }},
      {"available count above 32 bits",
       [](Sample& s) { s.header.cachedAvailable = int64_t{INT32_MAX} + 1; }},
      {"negative queried items of a node",
       [](Sample& s) { (*s.channels)[1].osTotalQueriedItems = -1; }},
      {"also found at a node outside the node count",
       [](Sample& s) { s.items[0]->alsoFoundAt = 0b100; }},
  };
  for (const auto& c : cases) {
    Sample sample;
    c.spoil(sample);
    std::string bytes = "x";
    EXPECT_EQ(EncodeCacheFile(sample.header, *sample.channels, sample.capabilities, sample.items, 4,
                              &bytes),
              kCacheWriteFailed)
        << c.label;
    EXPECT_TRUE(bytes.empty()) << c.label;
  }
}

TEST(CacheFormatTest, EveryTruncationIsAReadErrorNeverAnOverrun) {
  Sample sample;
  std::string bytes = sample.Encode();
  // Every cut within the header and the records, and a sample inside the blocks.
  for (size_t size = 0; size < bytes.size();
       size += (size > 1200 && size + 600 < bytes.size()) ? 61 : 1) {
    ItemList items;
    // A heap copy of exactly `size` bytes lets the sanitizers see any overrun.
    std::unique_ptr<char[]> copy(new char[size + 1]);
    std::memcpy(copy.get(), bytes.data(), size);
    EXPECT_EQ(DecodeAll(std::string(copy.get(), size), 0, 4, &items), kCacheReadFailed)
        << "file cut to " << size << " bytes";
  }
}

TEST(CacheFormatTest, CorruptCountsAndIndexesAreReadErrors) {
  const size_t block = kCacheHeaderBytes;
  const size_t firstItem = kCacheHeaderBytes + 2 * kCacheNodeBlockBytes + kRecommendedBytes;
  const size_t itemCount = 1040, availableCount = 1048;
  struct Corruption {
    const char* label;
    size_t offset;
    int64_t value;
    int width = 4;
  } cases[] = {
      {"node count above 64", 0, 65},
      {"negative node count", 0, -1},
      {"more blocks than nodes", 4, 3},
      {"negative item count", itemCount, -1, 8},
      {"item count the largest int64", itemCount, INT64_MAX, 8},
      {"item count beyond what the bytes could hold", itemCount, 1 << 20, 8},
      {"more items counted than held", itemCount, 5, 8},
      {"fewer items counted than held", itemCount, 3, 8},
      {"no items counted", itemCount, 0, 8},
      {"available count the largest int64", availableCount, INT64_MAX, 8},
      {"available count above 32 bits", availableCount, int64_t{INT32_MAX} + 1, 8},
      {"negative available count", availableCount, -1, 8},
      {"block node index at the node count", block, 2},
      {"block node index negative", block, -1},
      {"negative queried items of a node", block + 8, -1},
      {"second block not after the first", block + kCacheNodeBlockBytes, 0},
      {"recommended count beyond the file", block + kCacheNodeBlockBytes + 25128, 1 << 30},
      {"negative recommended count", block + kCacheNodeBlockBytes + 25128, -1},
      {"recommended title too long", block + 2 * kCacheNodeBlockBytes, 4096},
      {"negative record length", firstItem, -5},
      {"record length shorter than its fields", firstItem, 20},
      {"record length past the end", firstItem, 1 << 30},
      {"item node index at the node count", firstItem + 4, 2},
      {"item title count too long", firstItem + 8, 4096},
      {"item title count negative", firstItem + 8, -2},
  };
  Sample sample;
  const std::string good = sample.Encode();
  for (const Corruption& c : cases) {
    std::string bytes = good;
    PutLe(bytes, c.offset, c.value, c.width);
    ItemList items;
    EXPECT_EQ(DecodeAll(bytes, 0, 4, &items), kCacheReadFailed) << c.label;
  }
  ItemList items;
  EXPECT_EQ(DecodeAll(good + std::string(40, '\0'), 0, 4, &items), kCacheReadFailed)
      << "bytes after the last record";
}

// Fixed fields end at their first zero unit whatever follows it, and a field
// without one is text to its last unit.
TEST(CacheFormatTest, FixedWideFieldsEndAtTheirTerminator) {
  const size_t block = kCacheHeaderBytes + kCacheNodeBlockBytes;      // node 1's
  const size_t suggestion = block + 550 + 2 * kCacheSuggestionUnits;  // the second
  std::string wideX;
  for (size_t i = 0; i < kCacheSuggestionUnits; ++i) wideX += std::string("x\0", 2);
  const struct {
    const char* label;
    std::string written;
    std::string filler;  // put after the terminator, or over the whole field
    bool overTerminator;
    std::string read;
  } cases[] = {
      {"ascii", "katzen", "", false, "katzen"},
      {"non-ascii", "k\xC3\xA4tzchen \xF0\x9F\x98\x80", "", false,
       "k\xC3\xA4tzchen \xF0\x9F\x98\x80"},
      {"as long as the field holds", std::string(4095, 'a'), "", false, std::string(4095, 'a')},
      {"longer than the field", std::string(5000, 'b'), "", false, std::string(4095, 'b')},
      {"bytes after the terminator", "ab", "zz", false, "ab"},
      {"no terminator", "", wideX, true, std::string(kCacheSuggestionUnits, 'x')},
  };
  for (const auto& c : cases) {
    Sample sample;
    (*sample.channels)[1].vexaSpellingSuggestions[1] = c.written;
    std::string bytes = sample.Encode();
    size_t at = c.overTerminator ? suggestion : suggestion + 2 * Utf16Length(c.written) + 2;
    bytes.replace(at, c.filler.size(), c.filler);
    CacheHeader header;
    auto nodes = std::make_unique<CachedNodes>();
    size_t offset = 0;
    ASSERT_EQ(DecodeCacheHeader(bytes, &header), kOk) << c.label;
    ASSERT_EQ(DecodeCacheNodes(bytes, header, nodes.get(), &offset), kOk) << c.label;
    EXPECT_EQ(nodes->channels[1].vexaSpellingSuggestions[1], c.read) << c.label;
    EXPECT_EQ(nodes->channels[1].vexaSpellingSuggestions[2], "") << c.label;
  }
}

// A lookup reads the file by range into a buffer much smaller than the file:
// every page must come out as from the bytes in memory, and a file that
// shrinks after it was opened is a read error.
TEST(CacheFormatTest, FileReadByRangeGivesThePagesOfTheBytes) {
  Sample sample;
  sample.items = MakeItems(300, 0);
  for (size_t i = 0; i < sample.items.size(); ++i) {
    sample.items[i]->node = static_cast<int32_t>(i % 2);
    sample.items[i]->description.assign(100 + i * 53 % 3000, static_cast<char>('a' + i % 26));
  }
  sample.header.cachedAvailable = 300;
  const std::string bytes = sample.Encode();
  ASSERT_GT(bytes.size(), 16u * 32768);
  testing::ScratchDir dir;
  const std::string path = dir.path() + "/f";
  const struct {
    int32_t page, perPage;
    size_t shrinkBy;  // bytes cut from the file once it is open
  } cases[] = {{1, 10, 0},  {7, 13, 0}, {12, 25, 0}, {13, 25, 0},    {1, 300, 0},
               {2, 150, 0}, {1, 10, 1}, {30, 10, 0}, {1, 300, 40000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "page " << c.page << " of " << c.perPage << ", cut " << c.shrinkBy);
    testing::WriteBytes(path, bytes);
    FileCacheSource file;
    ASSERT_EQ(file.Open(path), kOk);
    if (c.shrinkBy) {
      ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(bytes.size() - c.shrinkBy)), 0);
    }
    CachePage fromFile, fromMemory;
    Status status = ReadCachePage(file, 2, c.page, c.perPage, &fromFile);
    if (c.shrinkBy) {
      EXPECT_EQ(status, kCacheReadFailed);
      continue;
    }
    EXPECT_EQ(status, ReadCachePage(bytes, 2, c.page, c.perPage, &fromMemory));
    EXPECT_EQ(fromFile.hit, fromMemory.hit);
    ASSERT_EQ(fromFile.items.size(), fromMemory.items.size());
    for (size_t i = 0; i < fromFile.items.size(); ++i) {
      EXPECT_EQ(fromFile.items[i]->title, fromMemory.items[i]->title);
      EXPECT_EQ(fromFile.items[i]->description, fromMemory.items[i]->description);
    }
  }
}

}  // namespace
}  // namespace quorix
