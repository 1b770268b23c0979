#include "search/request/site_metrics.h"

#include "config/loaded_files.h"
#include "config/settings_reader.h"
#include "search/cache/cache.h"
#include "search/request/answer_format.h"
#include "search/request/diag_log.h"

namespace quorix {
namespace {

constexpr std::string_view kDefaultMetricsAllowFrom = "127.0.0.1 ::1";

// The counters file a process keeps mapped, and which file it was.
struct KeptCounters {
  std::string path;
  FileStamp stamp;
  std::shared_ptr<SiteCounters> counters;
  // The counters change the file's time; only another file at the path matters.
  bool Same(const FileStamp& now) const {
    return now.exists && now.device == stamp.device && now.inode == stamp.inode &&
           now.size == stamp.size;
  }
};

// Counts the look-ups and writes of the cache it passes them to.
class CountedCache : public ResultCacheStep {
 public:
  CountedCache(std::unique_ptr<ResultCacheStep> cache, std::shared_ptr<SiteCounters> counters)
      : cache_(std::move(cache)), counters_(std::move(counters)) {}

  void StartExpiredPurge() override { cache_->StartExpiredPurge(); }
  CacheDirState CacheDirectoryState() override { return cache_->CacheDirectoryState(); }
  Status DeleteCacheByQueryString() override { return cache_->DeleteCacheByQueryString(); }
  Status CheckCacheByQueryString(const VexaQuery& query, CacheLookup* lookup) override {
    Status status = cache_->CheckCacheByQueryString(query, lookup);
    counters_->CountCacheLookup(lookup->hit);
    return status;
  }
  Status WriteCacheByQueryString(const ResultSet& set) override {
    Status status = cache_->WriteCacheByQueryString(set);
    if (status == kOk && set.itemCount > 0) counters_->CountCacheWrite();
    return status;
  }
  bool HoldsCompleteEntry(const VexaQuery& query) override {
    return cache_->HoldsCompleteEntry(query);
  }
  Status CheckPartialEntry(const VexaQuery& query, CacheLookup* lookup) override {
    return cache_->CheckPartialEntry(query, lookup);
  }
  Status WritePartialEntry(const ResultSet& set, const PartialMark& mark) override {
    return cache_->WritePartialEntry(set, mark);
  }
  Status DeletePartialEntry() override { return cache_->DeletePartialEntry(); }

 private:
  std::unique_ptr<ResultCacheStep> cache_;
  std::shared_ptr<SiteCounters> counters_;
};

// Counts every enabled node's part once the nodes were asked.
class CountedNodes : public NodeQueryStep {
 public:
  CountedNodes(std::unique_ptr<NodeQueryStep> nodes, std::shared_ptr<SiteCounters> counters)
      : nodes_(std::move(nodes)), counters_(std::move(counters)) {}

  void PerformVexaQuery(const Config& config, int32_t requested, NodeResults& results) override {
    nodes_->PerformVexaQuery(config, requested, results);
    CountNodes(config, results);
  }
  std::unique_ptr<LateAnswers> PerformVexaQueryBy(int64_t deadlineTicks, const Config& config,
                                                  int32_t requested,
                                                  NodeResults& results) override {
    std::unique_ptr<LateAnswers> late =
        nodes_->PerformVexaQueryBy(deadlineTicks, config, requested, results);
    CountNodes(config, results);
    return late;
  }
  int CheckVexaNodeSettings(const Config& config, const NodeResults& results,
                            DisplayValues& display) override {
    return nodes_->CheckVexaNodeSettings(config, results, display);
  }

 private:
  // A node still answering at the page deadline is not counted: its outcome
  // comes after the request.
  void CountNodes(const Config& config, const NodeResults& results) {
    for (int node = 0; node < std::min(config.nodeCount, kMaxNodes); ++node) {
      if (config.nodes[node].disabled || results.status[node] == kNodePending) continue;
      const Channel& channel = results.channels[node];
      const int32_t items = channel.valid ? std::max(channel.osTotalQueriedItems, 0) : 0;
      counters_->CountNode(node, results.status[node], results.elapsedMs[node],
                           static_cast<uint64_t>(items));
    }
  }

  std::unique_ptr<NodeQueryStep> nodes_;
  std::shared_ptr<SiteCounters> counters_;
};

SearchFormat SearchFormatOf(AnswerFormat format) {
  if (format == AnswerFormat::kRss) return SearchFormat::kRss;
  if (format == AnswerFormat::kJson) return SearchFormat::kJson;
  return SearchFormat::kHtml;
}

std::vector<NodeLabel> NodeLabels(const Config& config) {
  std::vector<NodeLabel> labels;
  for (int node = 0; node < std::min(config.nodeCount, kMaxNodes); ++node)
    if (!config.nodes[node].disabled) labels.push_back({node, NodeDisplayName(config.nodes[node])});
  return labels;
}

}  // namespace

std::shared_ptr<SiteCounters> OpenSiteCounters(const std::string& programDir, LogSink& log) {
  const std::string dir = CacheDirectoryPath(programDir);
  // A site without a cache directory counts nothing, and says so nowhere.
  if (CacheDirectoryStateOf(dir) == CacheDirState::kMissing) return nullptr;
  const std::string path = dir + "/" + kMetricsFileName;
  // A process that keeps its files keeps the file mapped while it stays the same file.
  static KeptCounters kept;
  const bool keep = LoadedFilesKept();
  if (keep && kept.counters && kept.path == path && kept.Same(StampOf(path))) return kept.counters;
  std::string why;
  std::shared_ptr<SiteCounters> counters = SiteCounters::Open(path, why);
  if (!counters)
    log.Logf(kLogFileOnly, "Metrics are not counted: \"%s\": %s", path.c_str(), why.c_str());
  if (keep) kept = KeptCounters{path, StampOf(path), counters};
  return counters;
}

void CountSearchRequest(RequestComponents& components, std::shared_ptr<SiteCounters> counters,
                        AnswerFormat format) {
  if (!counters) return;
  counters->CountSearch(SearchFormatOf(format));
  components.cache = std::make_unique<CountedCache>(std::move(components.cache), counters);
  components.nodes = std::make_unique<CountedNodes>(std::move(components.nodes), counters);
}

bool MetricsAllowed(std::string_view allowFrom, std::string_view address) {
  if (allowFrom.empty()) allowFrom = kDefaultMetricsAllowFrom;
  size_t at = 0;
  while (at < allowFrom.size()) {
    size_t end = allowFrom.find(' ', at);
    if (end == std::string_view::npos) end = allowFrom.size();
    if (end > at && allowFrom.substr(at, end - at) == address) return true;
    at = end + 1;
  }
  return false;
}

int AnswerMetrics(const std::string& settingsPath, const std::string& programDir,
                  const CgiEnvironment& environment, PageOutput& page) {
  Config config;
  DiagLog log(page, config);
  log.KeepOffPage();
  LoadConfig(settingsPath, config, log, -1, QueryDump());
  const std::string address = EnvironmentValue(environment, "REMOTE_ADDR");
  if (!MetricsAllowed(config.metricsAllowFrom, address)) {
    log.Logf(kLogFileOnly, "Metrics refused to \"%s\", which MetricsAllowFrom does not list",
             address.c_str());
    page.Write("Status: 404 Not Found\nContent-type: text/plain; charset=utf-8\n\nNot found\n");
    page.Flush();
    return 0;
  }
  std::shared_ptr<SiteCounters> counters = OpenSiteCounters(programDir, log);
  const CounterBlock counted = counters ? counters->Snapshot() : CounterBlock{};
  page.Printf("Content-type: %s\nCache-Control: no-store\n\n",
              AnswerContentType(AnswerFormat::kMetrics));
  page.Write(OpenMetricsText(counted, NodeLabels(config), QUORIX_VERSION));
  page.Flush();
  return 0;
}

int AnswerHealth(const std::string& settingsPath, const std::string& programDir, PageOutput& page) {
  Config config;
  DiagLog log(page, config);
  log.KeepOffPage();
  const char* reason = nullptr;
  if (!LoadConfig(settingsPath, config, log, -1, QueryDump()))
    reason = "the settings cannot be read";
  else if (CacheDirectoryStateOf(CacheDirectoryPath(programDir)) == CacheDirState::kMissing)
    reason = "the cache directory is missing";
  else if (CacheDirectoryStateOf(CacheDirectoryPath(programDir)) != CacheDirState::kWritable)
    reason = "the cache directory cannot be written";
  page.Printf("Status: %s\nContent-type: %s\nCache-Control: no-store\n\n",
              reason ? "503 Service Unavailable" : "200 OK",
              AnswerContentType(AnswerFormat::kHealth));
  if (reason)
    page.Printf("{\"status\":\"unavailable\",\"reason\":\"%s\"}\n", reason);
  else
    page.Write("{\"status\":\"ok\"}\n");
  page.Flush();
  return 0;
}

}  // namespace quorix
