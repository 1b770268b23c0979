// The steps the search driver hands to other components. Each is an interface
// so that the driver can be tested with fakes; the real implementations hold
// references to what they need (page output, settings, request, log).
#pragma once

#include <cstdint>
#include <memory>

#include "config/settings.h"
#include "nodequery/records.h"
#include "platform/log.h"
#include "platform/status.h"
#include "search/pipeline/query.h"
#include "search/pipeline/result_set.h"

namespace quorix {

// The page template's head and the category names, which the request's
// lifecycle handles before the search itself.
class PageResources {
 public:
  virtual ~PageResources() = default;
  // Writes the page template up to its marker line.
  virtual void WriteTemplateHead() = 0;
  // Loads the category names into config.categoryNames; switches categories off
  // (config.useCats = 0) when they cannot be loaded. Returns 0 or a failure code.
  virtual int LoadCategoryNames(Config& config) = 0;
};

// The search form heading the page.
class SearchFormStep {
 public:
  virtual ~SearchFormStep() = default;
  // Writes the form. Returns kOk to search, or kNothingToSearch (empty query,
  // or page x per-page of 1000000 or more) after writing its message.
  virtual Status DisplaySearchForm(const Config& config, const VexaQuery& query) = 0;
};

enum class CacheDirState { kMissing, kWritable, kNotWritable };

// What marks a partial cache entry: the set of a search whose page went out
// before every node had answered, kept until the complete set replaces it.
struct PartialMark {
  uint64_t pendingNodes = 0;  // bit n: node n was still answering
  int64_t dueEpochMs = 0;     // by then the complete set is written, or will never be
};

// What a look in the cache found.
struct CacheLookup {
  bool hit = false;  // the file answers the request: `page` is its page (maybe invalid)
  // The file's counts, also on a miss; 0 when there was no readable file.
  int64_t cachedItems = 0;
  int64_t cachedAvailable = 0;
  ResultPage page;
  PartialMark partial;  // a partial entry's mark (CheckPartialEntry only)
};

// The result cache of one request.
class ResultCacheStep {
 public:
  virtual ~ResultCacheStep() = default;
  // Starts the purge of expired cache files on a detached background thread.
  virtual void StartExpiredPurge() = 0;
  virtual CacheDirState CacheDirectoryState() = 0;
  // Deletes every cache file (caching is off).
  virtual Status DeleteCacheByQueryString() = 0;
  // Looks for the request's cache file and reads the requested page into
  // `lookup`. Returns kOk with lookup->hit; kOk without (a file for another
  // node count); kInvalidPage with lookup->hit when the file holds no item for
  // the page; kCacheTooSmall; or another code for a miss.
  virtual Status CheckCacheByQueryString(const VexaQuery& query, CacheLookup* lookup) = 0;
  // Writes the merged set of a fresh search.
  virtual Status WriteCacheByQueryString(const ResultSet& set) = 0;

  // True when the query's complete entry is there to be read (a quiet look).
  virtual bool HoldsCompleteEntry(const VexaQuery&) { return false; }
  // The query's partial entry, which never shares a name with the complete
  // one. A store without them finds none and keeps none.
  // Reads the requested page of the partial entry as CheckCacheByQueryString
  // reads a complete one, with its mark in lookup->partial.
  virtual Status CheckPartialEntry(const VexaQuery&, CacheLookup* lookup) {
    *lookup = CacheLookup();
    return kCacheNotFound;
  }
  virtual Status WritePartialEntry(const ResultSet&, const PartialMark&) { return kOk; }
  virtual Status DeletePartialEntry() { return kOk; }
};

// The nodes still answering when the page had to be written.
class LateAnswers {
 public:
  virtual ~LateAnswers() = default;
  virtual uint64_t PendingMask() const = 0;
  // Waits for them, each up to its node's time-out, publishes their answers
  // into `results` and records the request's back-off.
  virtual void Collect(NodeResults& results, LogSink& log) = 0;
  // Gives them up; records the back-off of the nodes that answered in time.
  virtual void Drop(const NodeResults& results, LogSink& log) = 0;
};

// Asking the nodes.
class NodeQueryStep {
 public:
  virtual ~NodeQueryStep() = default;
  // Queries every usable node in parallel within its time-out; fills `results`.
  virtual void PerformVexaQuery(const Config& config, int32_t requested, NodeResults& results) = 0;
  // PerformVexaQuery that returns at `deadlineTicks` (NowTicks) with the nodes
  // still answering marked kNodePending, and gives what holds them (null when
  // every node was done). Unless a step overrides it, it waits for them all.
  virtual std::unique_ptr<LateAnswers> PerformVexaQueryBy(int64_t deadlineTicks,
                                                          const Config& config, int32_t requested,
                                                          NodeResults& results) {
    (void)deadlineTicks;
    PerformVexaQuery(config, requested, results);
    return nullptr;
  }
  // Compares the settings the nodes reported and fills `display` (all-Vexa
  // configurations); 0 when they agree.
  virtual int CheckVexaNodeSettings(const Config& config, const NodeResults& results,
                                    DisplayValues& display) = 0;
};

// Writing the page of results.
class ResultsStep {
 public:
  virtual ~ResultsStep() = default;
  // Writes `page`; sets outcome->searchSeconds when it shows the search time.
  // Returns kOk, or kInvalidPage for a page that lies beyond the results.
  virtual Status WriteResults(const ResultPage& page, RequestOutcome* outcome) = 0;
};

// The end of the output: footer, the template's rest and the search log line.
class PageTailStep {
 public:
  virtual ~PageTailStep() = default;
  // `page` is the page the search produced; an empty page when it never ran.
  virtual void WritePageTail(const ResultPage& page, const RequestOutcome& outcome) = 0;
};

// How a request's output takes the merged set. The results page folds
// duplicate links (when MergeDuplicates is 1) and cuts one node's results out
// of a fresh set for vexa_node. The machine answers take the set as the nodes
// sent it, whole; a page they read from the cache is cut for vexa_node by the
// cache reader all the same.
struct OutputRules {
  bool foldDuplicates = true;
  bool filterByNode = true;
};

// The steps of one kind of output (the results page, or a machine answer).
struct OutputSteps {
  std::unique_ptr<PageResources> resources;
  std::unique_ptr<SearchFormStep> form;
  std::unique_ptr<ResultsStep> results;
  std::unique_ptr<PageTailStep> tail;
  OutputRules rules;
};

}  // namespace quorix
