// Fake steps of the search driver, for tests of what a request makes of the
// nodes' or the cache's answers.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "search/pipeline/pipeline.h"

namespace quorix {

using Calls = std::vector<std::string>;

struct FakeForm : SearchFormStep {
  Calls& calls;
  Status answer = kOk;
  explicit FakeForm(Calls& c) : calls(c) {}
  Status DisplaySearchForm(const Config&, const VexaQuery&) override {
    calls.push_back("form");
    return answer;
  }
};

// The titles of a page's items.
inline std::vector<std::string> Titles(const std::vector<Item>& items) {
  std::vector<std::string> titles;
  for (const Item& item : items) titles.push_back(item.title);
  return titles;
}

struct FakeCache : ResultCacheStep {
  Calls& calls;
  CacheDirState dirState = CacheDirState::kMissing;
  Status checkStatus = kCacheNotFound;
  Status writeStatus = kOk;
  CacheLookup found;  // what the look-up finds
  // What was stored: -1 when nothing.
  int32_t written = -1;
  int32_t writtenAvailable = -1;
  std::vector<std::string> writtenTitles;
  explicit FakeCache(Calls& c) : calls(c) {}
  void StartExpiredPurge() override { calls.push_back("purge"); }
  CacheDirState CacheDirectoryState() override { return dirState; }
  Status DeleteCacheByQueryString() override {
    calls.push_back("delete");
    return kCacheListFailed;
  }
  Status CheckCacheByQueryString(const VexaQuery&, CacheLookup* lookup) override {
    calls.push_back("check");
    *lookup = std::move(found);
    return checkStatus;
  }
  Status WriteCacheByQueryString(const ResultSet& set) override {
    calls.push_back("write");
    written = set.itemCount;
    writtenAvailable = set.available;
    writtenTitles.clear();
    for (const auto& item : set.items) writtenTitles.push_back(item->title);
    return writeStatus;
  }
  // The partial entry: its mark and titles when one was written.
  PartialMark partialMark;
  std::vector<std::string> partialTitles;
  Status WritePartialEntry(const ResultSet& set, const PartialMark& mark) override {
    calls.push_back("write partial");
    partialMark = mark;
    for (const auto& item : set.items) partialTitles.push_back(item->title);
    return kOk;
  }
  CacheLookup partialFound;  // what CheckPartialEntry finds (nothing unless hit)
  Status CheckPartialEntry(const VexaQuery&, CacheLookup* lookup) override {
    calls.push_back("check partial");
    *lookup = std::move(partialFound);
    return lookup->hit ? kOk : kCacheNotFound;
  }
  Status DeletePartialEntry() override {
    calls.push_back("delete partial");
    return kOk;
  }
};

struct FakeNodes : NodeQueryStep {
  Calls& calls;
  int32_t requested = -1;
  std::function<void(NodeResults&)> fill;
  explicit FakeNodes(Calls& c) : calls(c) {}
  void PerformVexaQuery(const Config&, int32_t count, NodeResults& results) override {
    calls.push_back("query");
    requested = count;
    if (fill) fill(results);
  }
  // With `late`, PerformVexaQueryBy fills the results as they stand at the
  // deadline and gives what it returns.
  std::function<std::unique_ptr<LateAnswers>(NodeResults&)> late;
  std::unique_ptr<LateAnswers> PerformVexaQueryBy(int64_t, const Config& config, int32_t count,
                                                  NodeResults& results) override {
    if (!late) return NodeQueryStep::PerformVexaQueryBy(0, config, count, results);
    calls.push_back("query by deadline");
    requested = count;
    return late(results);
  }
  int CheckVexaNodeSettings(const Config&, const NodeResults&, DisplayValues& display) override {
    display.searchQuery = "echoed";
    return 0;
  }
};

// Keeps a copy of the page it was given.
struct FakeResults : ResultsStep {
  int writes = 0;
  ResultPage page;
  Status WriteResults(const ResultPage& written, RequestOutcome* outcome) override {
    ++writes;
    page = written;
    outcome->searchSeconds = 0.5;
    return written.invalid ? kInvalidPage : kOk;
  }
};

struct FakeTail : PageTailStep {
  int writes = 0;
  ResultPage page;
  RequestOutcome outcome;
  void WritePageTail(const ResultPage& written, const RequestOutcome& done) override {
    ++writes;
    page = written;
    outcome = done;
  }
};

// Nodes that answer with `items` items each and the given statuses; item i of
// node n is titled "n.i" and scores 100 - 10 * i - n (so the merge interleaves
// the nodes) and links to a page of its own unless `sameLinks`.
inline std::function<void(NodeResults&)> Answer(std::vector<Status> statuses, int items,
                                                bool sameLinks = false) {
  return [statuses, items, sameLinks](NodeResults& results) {
    for (size_t node = 0; node < statuses.size(); ++node) {
      results.status[node] = statuses[node];
      results.elapsedMs[node] = 10 + static_cast<int32_t>(node);
      if (statuses[node] != kOk && statuses[node] != kFewerItemsThanRequested) continue;
      Channel& channel = results.channels[node];
      channel.valid = true;
      channel.totalResults = 100;
      channel.osTotalQueriedItems = items;
      for (int i = 0; i < items; ++i) {
        auto item = std::make_unique<Item>();
        item->node = static_cast<int32_t>(node);
        item->title = std::to_string(node) + "." + std::to_string(i);
        item->link = "http://example.test/" + (sameLinks ? "" : std::to_string(node) + "/") +
                     std::to_string(i);
        item->vexaScore = 100 - 10 * i - static_cast<int32_t>(node);
        channel.items.push_back(std::move(item));
      }
      results.totals.queriedItems += items;
      results.totals.availableItems += 100;
      results.totals.resultsValid = true;
    }
    results.startedWorkers = static_cast<int32_t>(statuses.size());
  };
}

// The fake steps of one request.
struct FakeSteps {
  Calls calls;
  FakeForm form{calls};
  FakeCache cache{calls};
  FakeNodes nodes{calls};
  FakeResults results;
  FakeTail tail;
  OutputRules rules;
};

}  // namespace quorix
