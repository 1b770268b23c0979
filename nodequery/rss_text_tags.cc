// The title, description and link rows, and the text helpers every row uses.
#include <new>
#include <string>

#include "nodequery/tag_handlers.h"
#include "nodequery/xml_scan.h"
#include "platform/text.h"

namespace quorix {
namespace {

// Where one RSS text element goes, and how each destination is logged.
struct RssTextTarget {
  std::string Item::*itemField;
  std::string Channel::*channelField;
  const char* itemLog;         // node, item, value
  const char* recommendedLog;  // node, entry, value
  const char* channelLog;      // node, value
};

constexpr RssTextTarget kTitle = {&Item::title, &Channel::title, "Node #%d, Item #%d: title = %s",
                                  "Node #%d: channel.recommended[%d].title = %s",
                                  "Node #%d: channel.title = %s"};
constexpr RssTextTarget kDescription = {
    &Item::description, &Channel::description, "Node #%d, Item #%d: description = %s",
    "Node #%d: channel.recommended[%d].description = %s", "Node #%d: channel.description = %s"};
constexpr RssTextTarget kLink = {&Item::link, &Channel::link, "Node #%d, Item #%d: link = %s",
                                 "Node #%d: channel.recommended[%d].link = %s",
                                 "Node #%d: channel.link = %s"};

void StoreRssText(const Token& token, ParseState& state, const RssTextTarget& target) {
  if (state.Has(kInItem)) {
    if (state.currentItem == nullptr) return;  // its record could not be made
    std::string& field = state.currentItem->*target.itemField;
    if (StoreText(token, state, field))
      state.log.Logf(kLogDetail, target.itemLog, state.node, state.currentItemIndex, field.c_str());
  } else if (state.Has(kInRecommended) && state.isVexa) {
    auto& recommended = state.channel.recommended;
    if (state.recommendedCount >= recommended.size()) return;  // its entry could not be made
    std::string& field = recommended[state.recommendedCount].*target.itemField;
    if (StoreRawText(token, field))
      state.log.Logf(kLogDetail, target.recommendedLog, state.node,
                     static_cast<int>(state.recommendedCount), field.c_str());
  } else if (state.Has(kInChannel)) {
    std::string& field = state.channel.*target.channelField;
    if (StoreText(token, state, field))
      state.log.Logf(kLogDetail, target.channelLog, state.node, field.c_str());
  }
}

}  // namespace

bool StoreRawText(const Token& token, std::string& field) {
  if (token.content.empty()) return false;
  field = CutUtf16(token.content, kTextFieldUnits);
  return true;
}

bool StoreText(const Token& token, const ParseState& state, std::string& field) {
  if (state.isVexa) return StoreRawText(token, field);
  if (token.content.empty()) return false;
  field = StripCdata(token.content);
  DecodeCharacterReferences(field);
  return true;
}

void LogAllocationFailure(ParseState& state, int line) {
  const char* label =
      state.options.panelAllocationLabel ? "ProcessXMLTag" : "Quorix::ProcessXMLTag";
  state.log.Logf(kLogError, "Error allocating memory in %s(%d)\n", label, line);
}

void OnTitle(const Token& token, ParseState& state) { StoreRssText(token, state, kTitle); }

void OnDescription(const Token& token, ParseState& state) {
  StoreRssText(token, state, kDescription);
}

void OnLink(const Token& token, ParseState& state) { StoreRssText(token, state, kLink); }

}  // namespace quorix
