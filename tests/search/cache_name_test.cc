#include "search/cache/cache_name.h"

#include <gtest/gtest.h>

namespace quorix {
namespace {

struct NameCase {
  const char* label;
  int useCats;
  int multiCats;
  std::vector<int32_t> cats;
  bool matchAll;
  bool sortDate;
  const char* expected;
};

TEST(CacheNameTest, QueryStringFollowsTheCategorySettings) {
  const NameCase cases[] = {
      {"categories off",
       0,
       0,
       {3, 5},
       false,
       true,
       "vexa_query=big%20cat&vexa_and=0&vexa_cat%5B%5D=-1&vexa_sort=1"},
      {"several categories",
       1,
       1,
       {3, 5},
       true,
       false,
       "vexa_query=big%20cat&vexa_and=1&vexa_cat%5B%5D=3&vexa_cat%5B%5D=5&vexa_sort=0"},
      {"one category of several chosen",
       1,
       0,
       {3, 5},
       false,
       false,
       "vexa_query=big%20cat&vexa_and=0&vexa_cat%5B%5D=3&vexa_sort=0"},
      {"all categories",
       1,
       0,
       {-1},
       false,
       false,
       "vexa_query=big%20cat&vexa_and=0&vexa_cat%5B%5D=-1&vexa_sort=0"},
  };
  for (const NameCase& c : cases) {
    Config config;
    config.useCats = c.useCats;
    config.searchMultiCats = c.multiCats;
    VexaQuery query;
    query.escapedQuery = "big%20cat";
    query.cat = c.cats;
    query.wordMatchAll = c.matchAll;
    query.sortDate = c.sortDate;
    EXPECT_EQ(CacheQueryString(config, query), c.expected) << c.label;
    // The purge deletes nothing else.
    EXPECT_TRUE(IsCacheFileName(c.expected)) << c.label;
  }
}

TEST(CacheNameTest, StarIsWrittenAsEscapedAndStillCached) {
  Config config;
  VexaQuery query;
  query.escapedQuery = "wild*card*";
  std::string path;
  ASSERT_EQ(CacheFilePath("/srv/cgi", config, query, &path), kOk);
  EXPECT_EQ(path,
            "/srv/cgi/cache/vexa_query=wild%2Acard%2A&vexa_and=0&vexa_cat%5B%5D=-1&vexa_sort=0");
}

TEST(CacheNameTest, NamesThatWouldNeedCleaningAreNeverCached) {
  const std::string queries[] = {"say \"hi\"", "title:word", "a/b",  "a\\b",
                                 "a?b",        "a|b",        "a<b>", std::string(250, 'x')};
  for (const std::string& text : queries) {
    Config config;
    VexaQuery query;
    query.escapedQuery = text;
    std::string path = "unchanged";
    EXPECT_EQ(CacheFilePath("/srv/cgi", config, query, &path), kCacheNameNotUsable) << text;
    EXPECT_EQ(path, "") << text;
  }
}

TEST(CacheNameTest, DirectoryIsAlwaysCacheInsideTheProgramDirectory) {
  EXPECT_EQ(CacheDirectoryPath("/srv/cgi-bin"), "/srv/cgi-bin/cache");
  EXPECT_EQ(CacheDirectoryPath("/srv/cgi-bin/"), "/srv/cgi-bin/cache");
  EXPECT_EQ(CacheDirectoryPath(""), "cache");
}

}  // namespace
}  // namespace quorix
