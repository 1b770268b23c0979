#include "nodequery/settings_check.h"

#include <algorithm>

#include "nodequery/settings_fields.h"
#include "platform/text.h"

namespace quorix {
namespace {

constexpr size_t kDisplayTextUnits = 511;
constexpr int32_t kNarrowRange = 100;
// An OpenSearch item this many places below the top of its node's list gets
// half the score of the first.
constexpr double kHalfScorePosition = 10;
constexpr int64_t kMaxStartOffset = 1000000;

int UsedNodeCount(const Config& config) { return std::clamp(config.nodeCount, 0, kMaxNodes); }

// Scores fall with the item's place in its node's whole result list and with
// the node's place in the node list; the first item of the first node gets the
// whole range. The place counts from the answer's start index against a fixed
// scale, never against the number of items returned, so asking a node for more
// items leaves the scores of those already received as they were.
void ScoreMixedItems(const Config& config, NodeResults& results, LogSink& log) {
  const RequestTotals& totals = results.totals;
  int64_t minScore = totals.minVexaScore;
  int64_t maxScore = totals.maxVexaScore;
  if (!totals.vexaScoreSeen || maxScore - minScore < kNarrowRange) {
    minScore = 1;
    maxScore = 100;
  }
  const double range = static_cast<double>(maxScore - minScore);
  const int nodeCount = UsedNodeCount(config);
  for (int i = 0; i < nodeCount; ++i) {
    Channel& channel = results.channels[i];
    if (!channel.valid) continue;
    const int queried = std::min<int>(channel.osTotalQueriedItems, channel.items.size());
    const int64_t offset =
        std::clamp<int64_t>(int64_t{channel.osStartIndex} - 1, 0, kMaxStartOffset);
    for (int j = 0; j < queried; ++j) {
      Item& item = *channel.items[j];
      if (channel.nodeType != 0) {
        const double position = static_cast<double>(offset) + j;
        double score = (kHalfScorePosition / (kHalfScorePosition + position)) *
                       (static_cast<double>(nodeCount - i) / nodeCount) * range;
        item.vexaScore = static_cast<int32_t>(score);
      }
      log.Logf(kLogDetail, "Node #%d, Item #%d: vexaScore = %d", i, j, item.vexaScore);
    }
  }
}

void CopyDisplayValues(const Config& config, const Channel& channel, DisplayValues& out) {
  out.searchQuery = CutUtf16(channel.vexaSearchQuery, kDisplayTextUnits);
  if (!config.useCats) return;
  out.searchCategory = CutUtf16(channel.vexaSearchCategory, kDisplayTextUnits);
  // NumCats comes from the node: never more names than the record holds.
  out.numCats = std::clamp(channel.settings.NumCats, 0, kChannelCategoryNames);
  out.catNames.clear();
  for (int k = 0; k < out.numCats; ++k)
    out.catNames.push_back(CutUtf16(channel.catNames[k], kDisplayTextUnits));
}

// The first setting in which the two blocks differ, or null.
const SettingField* FirstDifference(const SettingsBlock& a, const SettingsBlock& b) {
  for (const SettingField& field : SettingFields())
    if (!SameSetting(field, a, b)) return &field;
  return nullptr;
}

bool ComparableVexaNode(const Channel& channel) { return channel.valid && channel.nodeType == 0; }

int CompareSettings(const NodeResults& results, LogSink& log, const SettingsCheckOptions& options) {
  for (int i = 0; i < kMaxNodes - 1; ++i) {
    if (!ComparableVexaNode(results.channels[i])) continue;
    for (int j = i + 1; j < kMaxNodes; ++j) {
      if (!ComparableVexaNode(results.channels[j])) continue;
      const SettingField* field =
          FirstDifference(results.channels[i].settings, results.channels[j].settings);
      if (field == nullptr) continue;
      const char* format =
          options.colonInMismatchLine
              ? "Node #%d: Vexa Indexer settings for \"%s\" is NOT the same as Node #%d"
              : "Node #%d Vexa Indexer settings for \"%s\" is NOT the same as Node #%d";
      log.Logf(kLogError, format, i, field->name, j);
      return 1;
    }
  }
  return 0;
}

}  // namespace

int CheckVexaNodeSettings(const Config& config, NodeResults& results, LogSink& log,
                          DisplayValues& out, const SettingsCheckOptions& options) {
  if (!config.allVexaNodes) {
    ScoreMixedItems(config, results, log);
    return 0;
  }
  for (const Channel& channel : results.channels) {
    if (!channel.valid) continue;
    CopyDisplayValues(config, channel, out);
    break;
  }
  return CompareSettings(results, log, options);
}

}  // namespace quorix
