// What counting one request costs: opening and mapping the site's counters
// file (once per CGI run), then the increments of a search that asked eight
// nodes, looked in the cache and wrote it.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "search/metrics/metrics.h"

namespace quorix {
namespace {

void CountOneRequest(SiteCounters& counters) {
  counters.CountSearch(SearchFormat::kHtml);
  counters.CountCacheLookup(false);
  for (int node = 0; node < 8; ++node)
    counters.CountNode(node, node % 3 == 0 ? kNodeTimeoutExceeded : kOk, 120 * node, 20);
  counters.CountCacheWrite();
}

void BM_CountRequest(benchmark::State& state) {
  std::string path = "/tmp/quorix_metrics_bench." + std::to_string(getpid());
  std::remove(path.c_str());
  const bool openEachTime = state.range(0) == 1;
  std::string why;
  auto kept = SiteCounters::Open(path, why);
  if (!kept) state.SkipWithError(why.c_str());
  for (auto _ : state) {
    if (openEachTime) {
      if (auto counters = SiteCounters::Open(path, why)) CountOneRequest(*counters);
    } else {
      CountOneRequest(*kept);
    }
  }
  std::remove(path.c_str());
}
BENCHMARK(BM_CountRequest)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quorix

BENCHMARK_MAIN();
