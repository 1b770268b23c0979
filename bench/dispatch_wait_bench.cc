// How much CPU the dispatching thread uses while it waits for slow nodes.
//
// Each run queries nodes on a local test server that hold their answer (or
// never answer) and reads the calling thread's own CPU clock around the
// dispatch. The counters give the wall time waited and the CPU time the
// waiting thread consumed meanwhile; a sleeping wait keeps the latter near zero.
#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>

#include "nodequery/dispatch.h"
#include "nodequery/response_parser.h"
#include "nodequery/xml_scan.h"
#include "tests/support/test_http_server.h"

namespace quorix {
namespace {

using namespace std::chrono_literals;
using testing::HttpAnswer;
using testing::TestHttpServer;

double ThreadCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// state.range(0) nodes; state.range(1) == 1: they never answer (time-out after
// 300 ms), else they answer with an empty 404 page after 200 ms.
void BM_DispatchWait(benchmark::State& state) {
  TestHttpServer server;
  server.Answer("/slow.cgi", HttpAnswer("").Status(404).Delay(200ms));
  server.Answer("/never.cgi", HttpAnswer().Never());
  int nodes = static_cast<int>(state.range(0));
  bool never = state.range(1) == 1;
  NullLog log;
  double cpuMs = 0, wallMs = 0;
  for (auto _ : state) {
    Config config;
    config.nodeCount = nodes;
    for (int n = 0; n < nodes; ++n) {
      NodeRecord& node = config.nodes[n];
      node.disabled = false;
      node.vexaScheme = "http";
      node.vexaHost = server.HostPort();
      node.vexaPath = never ? "/never.cgi" : "/slow.cgi";
      node.timeoutMs = 300;
    }
    NodeQueryRequest request;
    request.escapedQuery = "test";
    NodeResults results;
    auto wallStart = std::chrono::steady_clock::now();
    double cpuStart = ThreadCpuMs();
    PerformVexaQuery(config, request, 10, results, log);
    cpuMs += ThreadCpuMs() - cpuStart;
    wallMs +=
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallStart)
            .count();
  }
  double runs = static_cast<double>(state.iterations());
  state.counters["wait_ms"] = wallMs / runs;
  state.counters["main_cpu_ms"] = cpuMs / runs;
  state.counters["main_cpu_share_pct"] = wallMs > 0 ? 100.0 * cpuMs / wallMs : 0;
}
BENCHMARK(BM_DispatchWait)
    ->Args({1, 1})
    ->Args({8, 1})
    ->Args({8, 0})
    ->Args({32, 0})
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

}  // namespace quorix

BENCHMARK_MAIN();
