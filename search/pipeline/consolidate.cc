#include "search/pipeline/consolidate.h"

#include <algorithm>
#include <array>
#include <new>
#include <utility>

#include "search/pipeline/duplicate_merge.h"

namespace quorix {
namespace {

using ItemPtr = std::unique_ptr<Item>;

// Ranges of at most this many records are sorted by straight insertion.
constexpr size_t kInsertionMax = 6;

// A score range narrower than this is replaced by 1 to 100.
constexpr int32_t kNarrowRange = 100;
// An OpenSearch item this many places below the top of its node's list gets
// half the score of the first.
constexpr double kHalfScorePosition = 10;
constexpr int64_t kMaxStartOffset = 1000000;

void InsertionSort(std::span<ItemPtr> items, size_t lo, size_t hi, ItemCompare compare) {
  for (size_t i = lo + 1; i <= hi; ++i) {
    size_t j = i;
    while (j > lo && compare(*items[i], *items[j - 1]) < 0) --j;
    if (j == i) continue;
    ItemPtr moving = std::move(items[i]);
    for (size_t k = i; k > j; --k) items[k] = std::move(items[k - 1]);
    items[j] = std::move(moving);
  }
}

// Puts the median of the records at mid - 1, mid and mid + 1 at mid.
void MedianOfThree(std::span<ItemPtr> items, size_t mid, ItemCompare compare) {
  if (compare(*items[mid], *items[mid - 1]) < 0) std::swap(items[mid], items[mid - 1]);
  if (compare(*items[mid + 1], *items[mid]) < 0) {
    std::swap(items[mid + 1], items[mid]);
    if (compare(*items[mid], *items[mid - 1]) < 0) std::swap(items[mid], items[mid - 1]);
  }
}

struct Partition {
  size_t equalFirst;  // first record of the block equal to the pivot
  size_t equalLast;   // last record of that block
};

// Three-way partition of [lo, hi] around the median of the middle records.
// The pivot record itself always joins the equal block, so the block is never
// empty even when the comparison never reports equality; every pass therefore
// shrinks the range.
Partition PartitionRange(std::span<ItemPtr> items, size_t lo, size_t hi, ItemCompare compare) {
  size_t mid = lo + (hi - lo) / 2;
  MedianOfThree(items, mid, compare);
  std::swap(items[lo], items[mid]);
  const Item& pivot = *items[lo];
  size_t before = lo + 1;  // [lo + 1, before): records shown before the pivot
  size_t scan = lo + 1;    // [before, scan): records equal to the pivot
  size_t after = hi + 1;   // [after, hi]: records shown after the pivot
  while (scan < after) {
    int order = compare(*items[scan], pivot);
    if (order < 0)
      std::swap(items[before++], items[scan++]);
    else if (order > 0)
      std::swap(items[scan], items[--after]);
    else
      ++scan;
  }
  // Move the pivot from lo to the front of the equal block.
  std::swap(items[lo], items[before - 1]);
  return {before - 1, after - 1};
}

}  // namespace

int CompareByScore(const Item& a, const Item& b) {
  if (a.vexaScore < b.vexaScore) return 1;
  if (a.vexaScore > b.vexaScore) return -1;
  return 0;
}

int CompareByDateTime(const Item& a, const Item& b) {
  bool aDated = a.vexaDateTime != 0;
  bool bDated = b.vexaDateTime != 0;
  if (aDated != bDated) return aDated ? -1 : 1;
  return a.vexaDateTime >= b.vexaDateTime ? -1 : 1;
}

void SortItems(std::span<std::unique_ptr<Item>> items, ItemCompare compare) {
  if (items.size() < 2) return;
  struct Range {
    size_t lo, hi;
  };
  // The smaller side is always handled first, so the stack never holds more
  // than log2(size) ranges.
  std::array<Range, 64> stack;
  size_t depth = 0;
  Range range{0, items.size() - 1};
  for (;;) {
    if (range.hi - range.lo < kInsertionMax) {
      InsertionSort(items, range.lo, range.hi, compare);
      if (depth == 0) return;
      range = stack[--depth];
      continue;
    }
    Partition part = PartitionRange(items, range.lo, range.hi, compare);
    Range left{range.lo, part.equalFirst > range.lo ? part.equalFirst - 1 : range.lo};
    Range right{part.equalLast + 1, range.hi};
    size_t leftSize = part.equalFirst - range.lo;
    size_t rightSize = range.hi - part.equalLast;
    Range smaller = leftSize <= rightSize ? left : right;
    Range larger = leftSize <= rightSize ? right : left;
    size_t smallerSize = std::min(leftSize, rightSize);
    size_t largerSize = std::max(leftSize, rightSize);
    if (largerSize > 1) stack[depth++] = larger;
    if (smallerSize > 1) {
      range = smaller;
    } else {
      if (depth == 0) return;
      range = stack[--depth];
    }
  }
}

int ConsolidateResults(NodeResults& results, bool sortDate, ItemList& merged, LogSink& log,
                       bool copyItems) {
  merged.clear();
  const RequestTotals& totals = results.totals;
  if (totals.queriedItems == 0) return 0;
  for (Channel& channel : results.channels) {
    if (!channel.valid) continue;
    size_t count = std::min<size_t>(
        channel.items.size(), channel.osTotalQueriedItems > 0 ? channel.osTotalQueriedItems : 0);
    for (size_t i = 0; i < count; ++i)
      if (channel.items[i])
        merged.push_back(copyItems ? std::make_unique<Item>(*channel.items[i])
                                   : std::move(channel.items[i]));
  }
  if (!totals.resultsValid || totals.queriedItems <= 0) return 0;
  if (sortDate) {
    log.Logf(kLogInfo, "Sorting by time...");
    SortItems(merged, CompareByDateTime);
  } else {
    log.Logf(kLogInfo, "Sorting by score...");
    SortItems(merged, CompareByScore);
  }
  return 0;
}

// Scores fall with the item's place in its node's whole result list and with
// the node's place in the node list; the first item of the first node gets the
// whole range. The place counts from the answer's start index against a fixed
// scale, never against the number of items returned, so asking a node for more
// items leaves the scores of those already received as they were.
void ScaleOpenSearchScores(const Config& config, NodeResults& results, LogSink& log) {
  const RequestTotals& totals = results.totals;
  int64_t minScore = totals.minVexaScore;
  int64_t maxScore = totals.maxVexaScore;
  if (!totals.vexaScoreSeen || maxScore - minScore < kNarrowRange) {
    minScore = 1;
    maxScore = 100;
  }
  const double range = static_cast<double>(maxScore - minScore);
  const int nodeCount = std::clamp(config.nodeCount, 0, kMaxNodes);
  for (int i = 0; i < nodeCount; ++i) {
    Channel& channel = results.channels[i];
    if (!channel.valid) continue;
    const int queried = std::min<int>(channel.osTotalQueriedItems, channel.items.size());
    const int64_t offset =
        std::clamp<int64_t>(int64_t{channel.osStartIndex} - 1, 0, kMaxStartOffset);
    for (int j = 0; j < queried; ++j) {
      Item& item = *channel.items[j];
      if (IsOpenSearchNode(channel)) {
        const double position = static_cast<double>(offset) + j;
        double score = (kHalfScorePosition / (kHalfScorePosition + position)) *
                       (static_cast<double>(nodeCount - i) / nodeCount) * range;
        item.vexaScore = static_cast<int32_t>(score);
      }
      log.Logf(kLogDetail, "Node #%d, Item #%d: vexaScore = %d", i, j, item.vexaScore);
    }
  }
}

Status MergeResults(const Config& config, const MergeOptions& options, ResultSet* set,
                    LogSink& log) {
  NodeResults& results = *set->nodes;
  const RequestTotals& totals = results.totals;
  if (totals.queriedItems > 0) {
    try {
      set->items.reserve(static_cast<size_t>(totals.queriedItems));
    } catch (const std::bad_alloc&) {
      log.Logf(kLogInfo, "Error allocating memory in %s(%d)\n", "Quorix::PerformSearchRequest",
               1578);
      return kMergeAllocationFailed;
    }
  }
  if (!config.allVexaNodes) ScaleOpenSearchScores(config, results, log);
  ConsolidateResults(results, options.sortDate, set->items, log, options.copyItems);
  set->itemCount = totals.queriedItems;
  set->available = totals.availableItems;
  if (!options.foldDuplicates) return kOk;
  // The counts shown and cached are those of the merged set.
  int32_t folded = static_cast<int32_t>(MergeDuplicateItems(set->items, results.channels));
  set->itemCount -= folded;
  set->available = std::max(set->available - folded, set->itemCount);
  if (folded > 0) log.Logf(kLogInfo, "Merged %d duplicate results", folded);
  return kOk;
}

}  // namespace quorix
