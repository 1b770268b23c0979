// What a page from the cache costs in the search process with the entry in a
// cache file and with it in a Redis store of the bench's own (a socket in a
// fresh folder): opening the entry and reading page 2 of a 40-item set, as
// the cache reader does on a hit. CPU time is this process's; the store's own
// work is in redis-server. Run on a Release build:
//   build-release/bench/shared_store_bench
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "platform/log.h"
#include "platform/store_connection.h"
#include "search/cache/cache.h"
#include "search/store/redis_store.h"
#include "tests/search/cache_test_support.h"
#include "tests/support/redis_server.h"

namespace quorix {
namespace {

std::string EntryBytes() {
  CacheHeader header;
  header.nodeCount = 1;
  header.query = "garden";
  header.path = "cache/vexa_query=garden";
  header.cachedAvailable = 40;
  auto channels = std::make_unique<ChannelTable>();
  (*channels)[0].valid = true;
  std::array<NodeCapabilities, kMaxNodes> capabilities{};
  ItemList items = testing::MakeItems(40, 0);
  std::string bytes;
  EncodeCacheFile(header, *channels, capabilities, items, items.size(), &bytes);
  return bytes;
}

void BM_CacheHit(benchmark::State& state) {
  const bool redis = state.range(0) == 1;
  testing::RedisServer server;  // its folder holds the files too
  if (redis && !server.Start()) return state.SkipWithError("redis-server did not start");
  NullLog log;
  StoreConnection connection;
  std::unique_ptr<SharedStore> store;
  if (redis) {
    StoreSettings settings;
    settings.address.socketPath = server.address().substr(5);
    connection.BeginRequest(settings);
    store = std::make_unique<RedisStore>(connection, "bench:");
  } else {
    store = std::make_unique<FileStore>(server.folder(), server.folder() + "/cache");
  }
  const std::string bytes = EntryBytes();
  store->WriteEntry(
      "q", 10, [&](const EntryBytesSink& sink) { return sink(bytes) ? kOk : kCacheWriteFailed; },
      log);
  CachePage page;
  for (auto _ : state) {
    std::unique_ptr<EntrySource> entry;
    page.Clear();
    if (store->OpenEntry("q", 10, &entry, log) != kOk ||
        ReadCachePage(*entry, 1, 2, 10, &page) != kOk || !page.hit)
      return state.SkipWithError("the entry was not read");
    benchmark::DoNotOptimize(page.items.data());
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(redis ? "redis store" : "file store");
}
// Hits per second of one client, from the wall time: the store answers in another process.
BENCHMARK(BM_CacheHit)->Arg(0)->Arg(1)->MinTime(2.0)->UseRealTime();

}  // namespace
}  // namespace quorix

BENCHMARK_MAIN();
