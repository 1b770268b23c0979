#include "search/cache/cache.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/clock.h"
#include "search/cache/cache_files.h"
#include "tests/search/cache_test_support.h"
#include "tests/support/recording_log.h"

namespace quorix {
namespace {

namespace fs = std::filesystem;
using testing::MakeItems;

class CacheTest : public ::testing::Test {
 protected:
  CacheTest() {
    config.nodeCount = 1;
    config.nodes[0].disabled = false;
    config.cacheValidPeriodMins = 60;
    query.query = "cats";
    query.escapedQuery = "cats";
  }

  std::unique_ptr<CCache> MakeCache(const VexaQuery& forQuery) {
    return std::make_unique<CCache>(dir.path(), config, forQuery, log);
  }

  // A fresh search that returned `count` of `available` items from node 0.
  Status WriteFresh(int count, int available) {
    Channel& channel = fresh.nodes->channels[0];
    channel.valid = true;
    channel.totalResults = available;
    channel.osTotalQueriedItems = count;
    fresh.items = MakeItems(count, 0);
    fresh.itemCount = count;
    fresh.available = available;
    return cache->WriteCacheByQueryString(fresh);
  }

  Status CheckPage(int page) {
    query.currentPageNum = page;
    return cache->CheckCacheByQueryString(query, &lookup);
  }

  std::vector<std::string> PageTitles() const {
    std::vector<std::string> titles;
    for (const Item& item : lookup.page.items) titles.push_back(item.title);
    return titles;
  }

  std::vector<std::string> CacheDirNames() {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(dir.path() + "/cache", ignored))
      names.push_back(entry.path().filename().string());
    return names;
  }

  void Age(const std::string& path, int minutes) {
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::minutes(minutes));
  }

  testing::ScratchDir dir;
  Config config;
  VexaQuery query;
  ResultSet fresh;
  quorix::testing::RecordingLog log;
  std::unique_ptr<CCache> cache = MakeCache(query);
  CacheLookup lookup;
};

std::vector<std::string> Titles(int first, int last) {
  std::vector<std::string> titles;
  for (int i = first; i <= last; ++i) titles.push_back("item " + std::to_string(i));
  return titles;
}

TEST_F(CacheTest, OverRequestedItemsServeLaterPagesUntilTheFileRunsOut) {
  ASSERT_EQ(WriteFresh(20, 100), kOk);  // page 1 with factor 2 and 10 per page

  EXPECT_EQ(CheckPage(2), kOk);
  ASSERT_TRUE(lookup.hit);
  const ResultPage& page = lookup.page;
  EXPECT_EQ(PageTitles(), Titles(11, 20));
  EXPECT_EQ(page.firstNumber, 11);
  EXPECT_EQ(page.itemCount, 20);
  EXPECT_EQ(page.available, 100);
  EXPECT_EQ(page.source, PageSource::kCache);
  EXPECT_TRUE(page.resultsValid);
  EXPECT_FALSE(page.invalid);
  ASSERT_TRUE(page.channels);
  EXPECT_TRUE(page.channels->at(0).valid);
  EXPECT_EQ(page.nodes[0].status, kNodeNotRun) << "a page from the cache asked no node";
  EXPECT_EQ(lookup.cachedItems, 20);

  EXPECT_EQ(CheckPage(3), kCacheTooSmall);
  EXPECT_FALSE(lookup.hit);
  EXPECT_EQ(lookup.cachedItems, 20);
  EXPECT_EQ(lookup.cachedAvailable, 100);

  ASSERT_EQ(WriteFresh(60, 100), kOk);  // the deeper search replaces the file
  EXPECT_EQ(CheckPage(3), kOk);
  EXPECT_EQ(PageTitles(), Titles(21, 30));
  EXPECT_EQ(CacheDirNames().size(), 1u) << "no temporary file is left behind";
}

TEST_F(CacheTest, LastPartialPageThenInvalidPage) {
  ASSERT_EQ(WriteFresh(15, 15), kOk);
  EXPECT_EQ(CheckPage(2), kOk);
  EXPECT_EQ(PageTitles(), Titles(11, 15));
  EXPECT_FALSE(lookup.page.invalid);

  EXPECT_EQ(CheckPage(3), kInvalidPage);
  EXPECT_TRUE(lookup.hit);
  EXPECT_TRUE(lookup.page.invalid);
  EXPECT_TRUE(PageTitles().empty());
  EXPECT_EQ(lookup.page.itemCount, 15);
  EXPECT_FALSE(log.Contains("Error reading cache file"));
}

TEST_F(CacheTest, ItemsAndRecommendedLinksAreLoggedInDetail) {
  fresh.nodes->channels[0].recommended.push_back(Item{});
  fresh.nodes->channels[0].recommended[0].title = "See also";
  ASSERT_EQ(WriteFresh(20, 20), kOk);
  ASSERT_EQ(CheckPage(2), kOk);
  EXPECT_TRUE(log.Contains("CCache::ReadCacheData("));
  EXPECT_TRUE(log.Contains("m_CachedChannel[0].recommended[0].title = See also"));
  EXPECT_TRUE(log.Contains("m_TotalCachedDisplayItems[0].title = item 11"));
  EXPECT_TRUE(log.Contains("m_TotalCachedDisplayItems[9].vexaDateTime = 5000000019"));
}

TEST_F(CacheTest, QueriesWithoutAUsableFileNameAreNeverCached) {
  for (const char* escaped : {"say%20\"hi\"", "site:example"}) {
    query.escapedQuery = escaped;
    auto other = MakeCache(query);
    fresh.items = MakeItems(5, 0);
    fresh.itemCount = 5;
    EXPECT_EQ(other->WriteCacheByQueryString(fresh), kCacheNameNotUsable) << escaped;
    EXPECT_EQ(other->CheckCacheByQueryString(query, &lookup), kCacheNameNotUsable) << escaped;
    EXPECT_FALSE(lookup.hit) << escaped;
  }
  EXPECT_FALSE(fs::exists(dir.path() + "/cache"));
}

TEST_F(CacheTest, StarInTheQueryIsEscapedInTheFileName) {
  query.escapedQuery = "cat*";
  cache = MakeCache(query);
  ASSERT_EQ(WriteFresh(5, 5), kOk);
  ASSERT_EQ(CacheDirNames().size(), 1u);
  EXPECT_EQ(CacheDirNames()[0], "vexa_query=cat%2A&vexa_and=0&vexa_cat%5B%5D=-1&vexa_sort=0");
  EXPECT_EQ(CheckPage(1), kOk);
  EXPECT_TRUE(log.Has(kLogInfo, "Created cache directory \"" + dir.path() + "/cache\""));
}

TEST_F(CacheTest, PurgeDeletesOnlyExpiredCacheFilesNeverTheCurrentRequests) {
  ASSERT_EQ(WriteFresh(5, 5), kOk);
  std::string current = cache->cacheFilePath();
  VexaQuery otherQuery = query;
  otherQuery.escapedQuery = "dogs";
  auto other = MakeCache(otherQuery);
  ASSERT_EQ(other->WriteCacheByQueryString(fresh), kOk);
  std::string expired = other->cacheFilePath();
  const std::string cacheDir = dir.path() + "/cache/";
  const std::string staleWrite = cacheDir + ".writing-a1B2c3";  // left by a crash mid-write
  testing::WriteBytes(staleWrite, "x");
  // What an administrator may keep in the folder, some of it named like cache files.
  const std::string outside = dir.path() + "/notes.txt";
  testing::WriteBytes(outside, "keep");
  const std::string kept[] = {
      cacheDir + ".htaccess",
      cacheDir + "index.html",
      cacheDir + "vexa_query=old&vexa_and=0&vexa_sort=0.bak",
      cacheDir + "vexa_query=folder&vexa_and=0&vexa_sort=0",
      cacheDir + "vexa_query=link&vexa_and=0&vexa_sort=0",
  };
  testing::WriteBytes(kept[0], "Require all denied");
  testing::WriteBytes(kept[1], "");
  testing::WriteBytes(kept[2], "old");
  fs::create_directory(kept[3]);
  fs::create_symlink(outside, kept[4]);
  for (const std::string& path :
       {current, expired, staleWrite, outside, kept[0], kept[1], kept[2], kept[3]})
    Age(path, 61);

  EXPECT_EQ(CheckPage(1), kCacheExpired);
  EXPECT_FALSE(lookup.hit);

  EXPECT_EQ(cache->DeleteExpiredCache(), kCachePurgeDone);
  EXPECT_TRUE(fs::exists(current)) << "the current request's own file";
  EXPECT_FALSE(fs::exists(expired));
  EXPECT_FALSE(fs::exists(staleWrite));
  for (const std::string& path : kept) EXPECT_TRUE(fs::exists(fs::symlink_status(path))) << path;
  EXPECT_TRUE(fs::exists(outside));
}

TEST_F(CacheTest, BackgroundPurgeOutlivesTheCache) {
  ASSERT_EQ(WriteFresh(5, 5), kOk);
  std::string path = cache->cacheFilePath();
  Age(path, 120);
  VexaQuery otherQuery = query;
  otherQuery.escapedQuery = "dogs";
  auto other = MakeCache(otherQuery);
  other->StartExpiredPurge();
  other.reset();  // the thread must not log into a destroyed cache
  for (int i = 0; i < 500 && fs::exists(path); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_FALSE(fs::exists(path));
}

TEST_F(CacheTest, FileOfAnotherNodeCountIsIgnored) {
  ASSERT_EQ(WriteFresh(20, 100), kOk);
  config.nodeCount = 2;
  EXPECT_EQ(CheckPage(1), kOk);
  EXPECT_FALSE(lookup.hit);
  EXPECT_EQ(lookup.cachedItems, 20);
}

TEST_F(CacheTest, CorruptFileIsAMissWhoseCountsDoNotBlockRewriting) {
  const struct {
    const char* label;
    size_t offset;  // where the 64-bit value goes; 0 cuts the file short instead
    int64_t value;
  } cases[] = {
      {"cut short", 0, 0},
      {"available count the largest int64", 1048, INT64_MAX},
      {"more items counted than held", 1040, 21},
  };
  ASSERT_EQ(WriteFresh(20, 100), kOk);
  const std::string good = testing::ReadBytes(cache->cacheFilePath());
  for (const auto& c : cases) {
    std::string bytes = good;
    if (c.offset == 0)
      bytes.resize(bytes.size() - 3);
    else
      std::memcpy(&bytes[c.offset], &c.value, sizeof c.value);  // little-endian host
    testing::WriteBytes(cache->cacheFilePath(), bytes);
    EXPECT_EQ(CheckPage(2), kCacheReadFailed) << c.label;
    EXPECT_FALSE(lookup.hit) << c.label;
    EXPECT_EQ(lookup.cachedItems, 0) << c.label;
    EXPECT_EQ(lookup.cachedAvailable, 0) << c.label;
  }
  EXPECT_TRUE(log.Has(kLogError, "Error reading cache file \"" + cache->cacheFilePath() + "\""));
}

TEST_F(CacheTest, NodeCapabilitiesAreKeptInTheFile) {
  fresh.nodes->runs[0].countSupported = false;
  ASSERT_EQ(WriteFresh(5, 5), kOk);
  CachePage loaded;
  ASSERT_EQ(ReadCachePage(testing::ReadBytes(cache->cacheFilePath()), 1, 1, 10, &loaded), kOk);
  EXPECT_FALSE(loaded.nodes->capabilities[0].countSupported);
  EXPECT_TRUE(loaded.nodes->capabilities[0].startPageSupported);
}

TEST_F(CacheTest, FailedWriteLeavesNoPartialFile) {
  ASSERT_EQ(WriteFresh(5, 5), kOk);
  std::string path = cache->cacheFilePath();
  fs::remove(path);
  fs::create_directory(path);  // the rename into place cannot succeed
  EXPECT_EQ(WriteFresh(5, 5), kCacheWriteFailed);
  EXPECT_EQ(CacheDirNames().size(), 1u);
  EXPECT_TRUE(log.Has(kLogWarning, "Error writing cache file \"" + path + "\""));
  EXPECT_TRUE(log.Contains("CCache::WriteCacheData("));
}

TEST_F(CacheTest, WriteWithoutAProgramDirectoryFails) {
  cache = std::make_unique<CCache>(dir.path() + "/missing", config, query, log);
  EXPECT_EQ(WriteFresh(5, 5), kCacheWriteFailed);
}

TEST_F(CacheTest, UnwritableCacheDirectoryIsReported) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  fs::create_directory(dir.path() + "/cache");
  fs::permissions(dir.path() + "/cache", fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_EQ(cache->CacheDirectoryState(), CacheDirState::kNotWritable);
  EXPECT_EQ(WriteFresh(5, 5), kCacheWriteFailed);
  EXPECT_TRUE(log.Contains("No permission writing to cache directory"));
  fs::permissions(dir.path() + "/cache", fs::perms::owner_all);
}

TEST_F(CacheTest, DeletingAllCacheFilesKeepsOtherFiles) {
  EXPECT_EQ(cache->CacheDirectoryState(), CacheDirState::kMissing);
  EXPECT_EQ(cache->DeleteCacheByQueryString(), kCacheListFailed);
  EXPECT_TRUE(log.Contains("Invalid file handle. Error is "));

  ASSERT_EQ(WriteFresh(5, 5), kOk);
  EXPECT_EQ(cache->CacheDirectoryState(), CacheDirState::kWritable);
  testing::WriteBytes(dir.path() + "/cache/readme.txt", "keep");
  testing::WriteBytes(dir.path() + "/cache/vexa_query=x&vexa_and=0&vexa_sort=1", "old");
  EXPECT_EQ(cache->DeleteCacheByQueryString(), kOk);
  EXPECT_EQ(CacheDirNames(), std::vector<std::string>{"readme.txt"});
  EXPECT_TRUE(log.Has(kLogInfo, "Cache file \"" + cache->cacheFilePath() + "\" deleted"));
}

TEST(CachePurgeTest, DueOnceInAHundredSeconds) {
  int due = 0;
  for (int64_t t = 1700000000; t < 1700001000; ++t) due += IsPurgeDue(t) ? 1 : 0;
  EXPECT_EQ(due, 10);
  EXPECT_TRUE(IsPurgeDue(1700000050));
}

}  // namespace
}  // namespace quorix

namespace quorix {
namespace {

// A partial entry stands beside the complete one: readers of complete entries
// (this one and older ones) never find it, and the complete set replaces it.
TEST_F(CacheTest, APartialEntryIsNeverReadAsTheCompleteOne) {
  Channel& channel = fresh.nodes->channels[0];
  channel.valid = true;
  channel.totalResults = 30;
  channel.osTotalQueriedItems = 15;
  fresh.items = MakeItems(15, 0);
  fresh.itemCount = 15;
  fresh.available = 30;
  const int64_t due = EpochMs() + 60000;
  ASSERT_EQ(cache->WritePartialEntry(fresh, {0b10, due}), kOk);

  EXPECT_EQ(CheckPage(1), kCacheNotFound) << "a partial entry read as a complete one";
  EXPECT_FALSE(cache->Holds(query));
  ASSERT_EQ(cache->CheckPartialEntry(query, &lookup), kOk);
  ASSERT_TRUE(lookup.hit);
  EXPECT_EQ(lookup.partial.pendingNodes, 0b10u);
  EXPECT_EQ(lookup.partial.dueEpochMs, due);
  EXPECT_EQ(PageTitles(), Titles(1, 10));
  EXPECT_TRUE(cache->HoldsPartial(query));
  std::vector<std::string> names = CacheDirNames();
  ASSERT_EQ(names.size(), 1u);
  EXPECT_TRUE(IsCacheFileName(names[0])) << "the purge would never remove " << names[0];

  // A damaged preamble is a failed read, never a page.
  const std::string path = dir.path() + "/cache/" + names[0];
  fs::resize_file(path, 10);
  EXPECT_NE(cache->CheckPartialEntry(query, &lookup), kOk);
  EXPECT_FALSE(lookup.hit);
  EXPECT_FALSE(cache->HoldsPartial(query));

  ASSERT_EQ(cache->WriteCacheByQueryString(fresh), kOk);
  ASSERT_EQ(cache->DeletePartialEntry(), kOk);
  EXPECT_EQ(CacheDirNames().size(), 1u);
  EXPECT_EQ(CheckPage(1), kOk);
  EXPECT_EQ(cache->CheckPartialEntry(query, &lookup), kCacheNotFound);
}

}  // namespace
}  // namespace quorix
