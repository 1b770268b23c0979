#include "nodequery/settings_check.h"

#include <algorithm>

#include "nodequery/settings_fields.h"
#include "platform/text.h"

namespace quorix {
namespace {

constexpr size_t kDisplayTextUnits = 511;

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

bool ComparableVexaNode(const Channel& channel) {
  return channel.valid && !IsOpenSearchNode(channel);
}

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

int CheckVexaNodeSettings(const Config& config, const NodeResults& results, LogSink& log,
                          DisplayValues& out, const SettingsCheckOptions& options) {
  if (!config.allVexaNodes) return 0;
  for (const Channel& channel : results.channels) {
    if (!channel.valid) continue;
    CopyDisplayValues(config, channel, out);
    break;
  }
  return CompareSettings(results, log, options);
}

}  // namespace quorix
