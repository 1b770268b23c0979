// Feeds arbitrary bytes to the cache reader as a query's cache file: reads
// pages of it as a lookup does and shows each one as a page from the cache is
// shown. The reader must reject what does not fit, never read outside the
// bytes it was given, and hand the display nothing it cannot show.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "search/cache/cache.h"
#include "search/page/query_terms.h"
#include "search/page/results_page.h"

namespace {

using namespace quorix;

// Every part of the results page that a cached file can reach is switched on.
Config MakeConfig() {
  Config config;
  config.spelling = 1;
  config.spellingWhenLessThan = 1000;
  config.recommended = 1;
  config.recommendedMax = 5;
  config.useDateTime = 1;
  config.useCats = 1;
  for (int key = 0; key < kLangStringCount; ++key) config.langStrings[key] = "text";
  return config;
}

void ShowPage(std::string_view file, int32_t page, int32_t perPage) {
  static Config config = MakeConfig();
  static const TermList terms = BuildTermList("item \"about 1\" c++");
  CachePage cached;
  CacheHeader header;
  // Like a lookup, for the node count the file was written for.
  int32_t nodeCount = DecodeCacheHeader(file, &header) == kOk ? header.nodeCount : 1;
  Status status = ReadCachePage(file, nodeCount, page, perPage, &cached);
  if (!cached.hit) return;
  if (status != kOk && status != kInvalidPage) __builtin_trap();  // a hit is always usable

  PageOutput out;
  NullLog log;
  VexaQuery query;
  query.query = query.query_out = query.rawQuery = "item";
  query.currentPageNum = page;
  query.itemsPerPage = perPage;
  config.nodeCount = cached.header.nodeCount;  // a hit is for the configured node count
  ResultsPage results(out, config, query, terms, log);
  RequestOutcome outcome;
  results.WriteResults(CachedResultPage(std::move(cached), {page, perPage, -1}), &outcome);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view file(reinterpret_cast<const char*>(data), size);
  ShowPage(file, 2, 10);         // skipping records by their length
  ShowPage(file, 5, 10);         // an invalid page of a small set
  ShowPage(file, 1, INT32_MAX);  // every record at once
  return 0;
}
