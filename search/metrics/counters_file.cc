#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <type_traits>

#include "search/metrics/metrics.h"

namespace quorix {
namespace {

static_assert(std::is_trivially_copyable_v<CounterBlock>);
static_assert(sizeof(CounterBlock) % sizeof(uint64_t) == 0);
static_assert(std::atomic_ref<uint64_t>::is_always_lock_free);

void Add(uint64_t& counter, uint64_t amount) {
  std::atomic_ref<uint64_t>(counter).fetch_add(amount, std::memory_order_relaxed);
}

std::string Reason(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// Gives a file of size 0 the layout's size; two processes may both do it.
bool SizeFile(int fd, const struct stat& info, std::string& why) {
  const auto size = static_cast<off_t>(sizeof(CounterBlock));
  if (info.st_size == size) return true;
  if (info.st_size != 0) {
    why = "the file is not of the counters' size";
    return false;
  }
  if (ftruncate(fd, size) != 0) {
    why = Reason("the file could not be sized");
    return false;
  }
  return true;
}

}  // namespace

NodeFailure NodeFailureOf(Status status) {
  switch (status) {
    case kOk:
    case kNodeNotRun:
    case kFewerItemsThanRequested:
      return NodeFailure::kNone;
    case kNodeTimeoutExceeded:
      return NodeFailure::kTimeout;
    case kDescConnectFailed:
    case kDescSendFailed:
    case kDescNoResponse:
    case kQueryConnectFailed:
    case kQuerySendFailed:
    case kQueryNoResponse:
    case kHttpAddressRefused:
      return NodeFailure::kConnection;
    case kDescNotRecognised:
    case kResponseNotRecognised:
    case kResponseMalformed:
      return NodeFailure::kUnreadable;
    case kNodeBackedOff:
      return NodeFailure::kSkipped;
    default:
      return NodeFailure::kOther;
  }
}

std::unique_ptr<SiteCounters> SiteCounters::Open(const std::string& path, std::string& why) {
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) {
    why = errno == ELOOP ? "the path is a symbolic link" : Reason("the file could not be opened");
    return nullptr;
  }
  struct stat info;
  void* mapped = MAP_FAILED;
  if (fstat(fd, &info) != 0)
    why = Reason("the file could not be examined");
  else if (!S_ISREG(info.st_mode))
    why = "not a regular file";
  else if (SizeFile(fd, info, why))
    mapped = mmap(nullptr, sizeof(CounterBlock), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (mapped == MAP_FAILED && why.empty()) why = Reason("the file could not be mapped");
  close(fd);
  if (mapped == MAP_FAILED) return nullptr;
  return std::unique_ptr<SiteCounters>(new SiteCounters(static_cast<CounterBlock*>(mapped)));
}

SiteCounters::~SiteCounters() { munmap(block_, sizeof(CounterBlock)); }

void SiteCounters::CountSearch(SearchFormat format) {
  Add(block_->searches[static_cast<int>(format)], 1);
}

void SiteCounters::CountCacheLookup(bool hit) {
  Add(hit ? block_->cacheHits : block_->cacheMisses, 1);
}

void SiteCounters::CountCacheWrite() { Add(block_->cacheWrites, 1); }

void SiteCounters::CountNode(int node, Status status, int32_t elapsedMs, uint64_t items) {
  if (node < 0 || node >= kMaxNodes || status == kNodeNotRun) return;
  NodeCounters& counters = block_->nodes[node];
  const NodeFailure failure = NodeFailureOf(status);
  if (failure == NodeFailure::kSkipped) {
    Add(counters.failures[static_cast<int>(failure)], 1);
    return;
  }
  Add(counters.requests, 1);
  if (failure == NodeFailure::kNone)
    Add(counters.answers, 1);
  else
    Add(counters.failures[static_cast<int>(failure)], 1);
  Add(counters.items, items);
  int bucket = 0;
  while (bucket < kLatencyBuckets - 1 && elapsedMs > kLatencyBoundsMs[bucket]) ++bucket;
  Add(counters.latency[bucket], 1);
  Add(counters.latencySumMs, static_cast<uint64_t>(std::max(elapsedMs, 0)));
}

CounterBlock SiteCounters::Snapshot() const {
  CounterBlock copy;
  auto* from = reinterpret_cast<uint64_t*>(block_);
  uint64_t values[sizeof(CounterBlock) / sizeof(uint64_t)];
  for (size_t i = 0; i < std::size(values); ++i)
    values[i] = std::atomic_ref<uint64_t>(from[i]).load(std::memory_order_relaxed);
  std::memcpy(&copy, values, sizeof copy);
  return copy;
}

}  // namespace quorix
