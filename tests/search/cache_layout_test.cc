// The bytes of a written cache file at the offsets of its layout, so that files
// stay readable by every build.
#include <gtest/gtest.h>

#include "platform/text.h"
#include "search/cache/cache.h"
#include "tests/search/cache_test_support.h"

namespace quorix {
namespace {

int64_t IntAt(const std::string& bytes, size_t offset, int size) {
  uint64_t value = 0;
  for (int i = 0; i < size; ++i)
    value |= static_cast<uint64_t>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
  return size == 4 ? static_cast<int32_t>(value) : static_cast<int64_t>(value);
}

std::string Wide(const std::string& text) { return Utf16ToLeBytes(Utf8ToUtf16(text)); }

TEST(CacheLayoutTest, WrittenFileHasEveryFieldAtItsOffset) {
  testing::ScratchDir dir;
  Config config;
  config.nodeCount = 3;
  VexaQuery query;
  query.query = "kätzchen";
  query.escapedQuery = "k%C3%A4tzchen";
  ResultSet fresh;
  fresh.nodes->runs[1].startPageSupported = false;
  Channel& node = fresh.nodes->channels[1];  // slot 0 and 2 gave nothing usable
  node.valid = true;
  node.nodeType = 0;
  node.osTotalQueriedItems = 2;
  node.totalResults = 42;
  node.settings.DisplayTitle = true;
  node.settings.UseCats = true;
  node.settings.LinkTarget = "_blank";
  node.vexaSpellingSuggestions[1] = "katzen";
  node.recommended.push_back(Item{});
  node.recommended[0].title = "Rec";
  node.recommended[0].link = "http://r";
  fresh.available = 42;
  fresh.items = testing::MakeItems(2, 1);
  fresh.itemCount = 2;
  NullLog log;
  CCache cache(dir.path(), config, query, log);
  ASSERT_EQ(cache.WriteCacheByQueryString(fresh), kOk);
  std::string b = testing::ReadBytes(cache.cacheFilePath());

  // Header.
  EXPECT_EQ(IntAt(b, 0, 4), 3) << "node count";
  EXPECT_EQ(IntAt(b, 4, 4), 1) << "node blocks";
  EXPECT_EQ(b.substr(8, 18), Wide("kätzchen") + std::string(2, '\0')) << "query";
  const std::string& full = cache.cacheFilePath();
  std::string path = Wide("cache/" + full.substr(full.rfind('/') + 1)) + std::string(2, '\0');
  EXPECT_EQ(b.substr(520, path.size()), path) << "own path, within the site only";
  EXPECT_EQ(IntAt(b, 1040, 8), 2) << "item count";
  EXPECT_EQ(IntAt(b, 1048, 8), 42) << "available count";

  // Node block.
  const size_t n = 1056;
  EXPECT_EQ(IntAt(b, n + 0, 4), 1) << "node index";
  EXPECT_EQ(b[n + 4], 0) << "type";
  EXPECT_EQ(b[n + 5], 1) << "valid";
  EXPECT_EQ(IntAt(b, n + 8, 4), 2) << "osTotalQueriedItems";
  EXPECT_EQ(IntAt(b, n + 12, 4), 42) << "totalResults";
  EXPECT_EQ(IntAt(b, n + 16, 4), 1) << "countSupported";
  EXPECT_EQ(IntAt(b, n + 20, 4), 0) << "startPageSupported";
  for (int i = 0; i < 13; ++i) {
    bool set = i == 4 || i == 12;  // DisplayTitle, UseCats
    EXPECT_EQ(b[n + 24 + i], set ? 1 : 0) << "display byte " << i;
  }
  EXPECT_EQ(b.substr(n + 38, 14), Wide("_blank") + std::string(2, '\0')) << "LinkTarget";
  EXPECT_EQ(b.substr(n + 550, 2), std::string(2, '\0')) << "first suggestion empty";
  EXPECT_EQ(b.substr(n + 550 + 8192, 14), Wide("katzen") + std::string(2, '\0'));
  EXPECT_EQ(IntAt(b, n + 25128, 4), 1) << "recommended count";

  // Recommended record: counted title, link, description.
  size_t r = n + 25136;
  EXPECT_EQ(IntAt(b, r, 4), 3);
  EXPECT_EQ(b.substr(r + 4, 6), Wide("Rec"));
  EXPECT_EQ(IntAt(b, r + 10, 4), 8);
  EXPECT_EQ(b.substr(r + 14, 16), Wide("http://r"));
  EXPECT_EQ(IntAt(b, r + 30, 4), 0);

  // First item record, of a Vexa node.
  size_t item = r + 34;
  const Item& first = *fresh.items[0];
  int32_t length = 2 * (6 + 7 + 21 + 29) + 32 +            // title, description, link, pubDate
                   (2 * 4 + 8 * 4) + 2 * 7 + 2 * 25 + 16;  // category, context, image
  ASSERT_EQ(first.link.size(), 21u);
  EXPECT_EQ(IntAt(b, item, 4), length) << "L";
  EXPECT_EQ(IntAt(b, item + 4, 4), 1) << "node index";
  EXPECT_EQ(IntAt(b, item + 8, 4), 6) << "title count";
  EXPECT_EQ(b.substr(item + 12, 12), Wide("item 1"));
  size_t end = item + 4 + length;
  EXPECT_EQ(IntAt(b, end - 12, 4), first.vexaScore) << "vexaScore";
  EXPECT_EQ(IntAt(b, end - 8, 8), first.vexaDateTime) << "vexaDateTime";
  EXPECT_EQ(IntAt(b, end, 4), length) << "second item's L";
}

}  // namespace
}  // namespace quorix
