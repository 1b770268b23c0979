// Tag rows for the vexa: elements of a Vexa node's channel.
#include <new>
#include <string>

#include "nodequery/number_text.h"
#include "nodequery/settings_fields.h"
#include "nodequery/tag_handlers.h"
#include "nodequery/xml_scan.h"
#include "platform/text.h"

namespace quorix {
namespace {

void StoreSetting(const SettingField& field, const std::string& value, ParseState& state) {
  SettingsBlock& settings = state.channel.settings;
  switch (field.kind) {
    case SettingKind::kText:
      settings.*field.text = CutUtf16(value, kSettingTextUnits);
      state.log.Logf(kLogDetail, "Node #%d: settings.%s = %s", state.node, field.name,
                     (settings.*field.text).c_str());
      break;
    case SettingKind::kFlag:
      settings.*field.flag = ReadDecimal64(value) != 0;
      state.log.Logf(kLogDetail, "Node #%d: settings.%s = %d", state.node, field.name,
                     settings.*field.flag ? 1 : 0);
      break;
    case SettingKind::kNumber:
      settings.*field.number = ReadDecimal32(value);
      state.log.Logf(kLogDetail, "Node #%d: settings.%s = %d", state.node, field.name,
                     settings.*field.number);
      break;
  }
}

// Stores an unchanged channel text, or logs `errorLog` when the element is empty.
void StoreChannelText(const Token& token, ParseState& state, std::string& field,
                      const char* valueLog, const char* errorLog) {
  if (StoreRawText(token, field))
    state.log.Logf(kLogDetail, valueLog, state.node, field.c_str());
  else
    state.log.Logf(kLogDetailWarning, errorLog, state.node);
}

void FillRecommendedPlaceholders(Item& entry, const ParseState& state) {
  if (!state.options.panelPlaceholders) return;
  entry.title = "Recommended title blank";
  entry.description = "Recommended description blank";
  entry.link = "Recommended link blank";
}

// True when `tag` holds name="<name>" (found without building that text).
bool HasNameAttribute(std::string_view tag, std::string_view name) {
  constexpr std::string_view kOpen = "name=\"";
  for (size_t at = tag.find(name); at != std::string_view::npos; at = tag.find(name, at + 1)) {
    size_t end = at + name.size();
    if (at >= kOpen.size() && tag.substr(at - kOpen.size(), kOpen.size()) == kOpen &&
        end < tag.size() && tag[end] == '"')
      return true;
  }
  return false;
}

}  // namespace

void OnVexaSetting(const Token& token, ParseState& state) {
  for (const SettingField& field : SettingFields()) {
    if (!HasNameAttribute(token.tag, field.name)) continue;
    std::string value;
    // A value that is missing or empty cannot be read: the setting stays as it was.
    if (GetAttribute(token.tag, "value=", value, kAttributeUnits + 1) == kOk && !value.empty())
      StoreSetting(field, value, state);
    return;
  }
}

void OnSearchQuery(const Token& token, ParseState& state) {
  StoreChannelText(token, state, state.channel.vexaSearchQuery,
                   "Node #%d: channel.vexaSearchQuery = %s",
                   "Node #%d: channel.vexaSearchQuery error");
}

void OnSearchCategory(const Token& token, ParseState& state) {
  StoreChannelText(token, state, state.channel.vexaSearchCategory,
                   "Node #%d: channel.vexaSearchCategory = %s",
                   "Node #%d: channel.vexaSearchCategory error");
}

void OnCategoryName(const Token& token, ParseState& state) {
  int index = state.categoryNameIndex;
  if (index >= kChannelCategoryNames) return;  // the record holds 64 names; later ones are dropped
  std::string& field = state.channel.catNames[index];
  if (StoreRawText(token, field))
    state.log.Logf(kLogDetail, "Node #%d: channel.catNames[%d] = %s", state.node, index,
                   field.c_str());
  else
    state.log.Logf(kLogDetailWarning, "Node #%d: channel.catNames[%d] error %d", state.node, index,
                   0);
}

void OnCategoryNameEnd(const Token&, ParseState& state) {
  if (state.categoryNameIndex < kChannelCategoryNames) ++state.categoryNameIndex;
}

void OnSpelling(const Token& token, ParseState& state) {
  int index = state.spellingIndex;
  if (index >= kSpellingSuggestions) return;  // room for 3; later ones are dropped
  std::string& field = state.channel.vexaSpellingSuggestions[index];
  if (StoreRawText(token, field))
    state.log.Logf(kLogDetail, "Node #%d: channel.vexaSpellingSuggestions[%d] = %s", state.node,
                   index, field.c_str());
  else
    state.log.Logf(kLogDetailWarning, "Node #%d: channel.vexaSpellingSuggestions[%d] error",
                   state.node, index);
}

void OnSpellingEnd(const Token&, ParseState& state) {
  if (state.spellingIndex < kSpellingSuggestions) ++state.spellingIndex;
}

void OnSearchTime(const Token& token, ParseState& state) {
  if (token.content.empty()) {
    state.log.Logf(kLogDetailWarning, "Node #%d: channel.searchTime error", state.node);
    return;
  }
  state.channel.searchTime = ReadDouble(token.content);
  state.log.Logf(kLogDetail, "Node #%d: channel.searchTime = %f", state.node,
                 state.channel.searchTime);
}

// A source of a federating node that was still answering when it wrote its
// answer: the answer is partial.
void OnPendingSource(const Token&, ParseState& state) {
  if (state.channel.pendingSources < kMaxNodes) ++state.channel.pendingSources;
  state.log.Logf(kLogDetail, "Node #%d: a source of its own is still answering", state.node);
}

void OnRecommendedStart(const Token&, ParseState& state) {
  state.Set(kInRecommended);
  auto& recommended = state.channel.recommended;
  // An entry opened earlier and never closed stays the current one, so the
  // list never holds more than one entry beyond the finished ones.
  if (recommended.size() > state.recommendedCount) return;
  if (recommended.size() >= kMaxStoredRecords) return;
  try {
    recommended.emplace_back();
  } catch (const std::bad_alloc&) {
    LogAllocationFailure(state, __LINE__);
    return;
  }
  recommended.back().node = state.node;
  FillRecommendedPlaceholders(recommended.back(), state);
}

void OnRecommendedEnd(const Token&, ParseState& state) {
  state.Clear(kInRecommended);
  // Only an entry that exists is counted, so the count never runs past the list.
  if (state.recommendedCount < state.channel.recommended.size()) ++state.recommendedCount;
}

}  // namespace quorix
