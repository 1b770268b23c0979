// Request counters shared by every run of the search program on one site
// (CGI runs and FastCGI processes alike): a file of 64-bit counters beside the
// cache, mapped into memory and added to atomically without a lock, and the
// OpenMetrics text that reports them.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "config/settings.h"
#include "platform/status.h"

namespace quorix {

// The counters file's name inside the cache directory.
inline constexpr const char* kMetricsFileName = "metrics.counters";

enum class SearchFormat : uint8_t { kHtml, kRss, kJson };
inline constexpr int kSearchFormats = 3;

// Why a node gave no answer. An HTTP error status is not told apart from an
// answer that is no result list: both are kUnreadable.
enum class NodeFailure : uint8_t { kTimeout, kConnection, kUnreadable, kSkipped, kOther, kNone };
inline constexpr int kNodeFailureKinds = 5;

// Upper bounds of the latency histogram's buckets in milliseconds; a last
// bucket takes everything above.
inline constexpr std::array<int32_t, 8> kLatencyBoundsMs = {50,   100,  250,  500,
                                                            1000, 2500, 5000, 10000};
inline constexpr int kLatencyBuckets = static_cast<int>(kLatencyBoundsMs.size()) + 1;

struct NodeCounters {
  uint64_t requests;  // nodes asked: answers plus failures other than kSkipped
  uint64_t answers;
  std::array<uint64_t, kNodeFailureKinds> failures;
  uint64_t items;
  std::array<uint64_t, kLatencyBuckets> latency;  // per bucket, not cumulative
  uint64_t latencySumMs;
};

// The file's layout: nothing but 64-bit counters.
struct CounterBlock {
  std::array<NodeCounters, kMaxNodes> nodes;
  std::array<uint64_t, kSearchFormats> searches;
  uint64_t cacheHits;
  uint64_t cacheMisses;
  uint64_t cacheWrites;
};

// The failure kind of a node's status; kNone for an answer or a node not run.
NodeFailure NodeFailureOf(Status status);

// The counters file of one site, mapped for the life of the object.
class SiteCounters {
 public:
  // Opens the file at `path`, creating it at its full size. Null, with the
  // reason in `why`, for a link, a file that is not regular or not of the
  // layout's size, or one that cannot be opened or mapped.
  static std::unique_ptr<SiteCounters> Open(const std::string& path, std::string& why);
  ~SiteCounters();
  SiteCounters(const SiteCounters&) = delete;
  SiteCounters& operator=(const SiteCounters&) = delete;

  void CountSearch(SearchFormat format);
  void CountCacheLookup(bool hit);
  void CountCacheWrite();
  // One node's part in a request: its status, the time it took, the items it sent.
  void CountNode(int node, Status status, int32_t elapsedMs, uint64_t items);
  CounterBlock Snapshot() const;

 private:
  explicit SiteCounters(CounterBlock* block) : block_(block) {}
  CounterBlock* block_;
};

// A node as the metrics label it.
struct NodeLabel {
  int node;
  std::string name;
};

// A label value as OpenMetrics writes it: backslash, double quote and line
// feed escaped with a backslash.
std::string EscapeLabelValue(std::string_view value);

// The OpenMetrics text of `counters` for the nodes in `nodes`, ending with "# EOF".
std::string OpenMetricsText(const CounterBlock& counters, const std::vector<NodeLabel>& nodes,
                            std::string_view version);

}  // namespace quorix
