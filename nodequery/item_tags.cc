// Tag rows for items: start and end, and the per-item elements.
#include <memory>
#include <new>
#include <string>

#include "nodequery/number_text.h"
#include "nodequery/tag_handlers.h"
#include "platform/text.h"

namespace quorix {
namespace {

// Item categories beyond this index are not stored (the last slot stays empty).
constexpr int kStoredItemCategories = 7;

void FillItemPlaceholders(Item& item, const ParseState& state) {
  if (!state.options.panelPlaceholders) return;
  item.title = "Item title blank";
  item.description = "Item description blank";
  item.link = "Item link blank";
}

void FoldScore(NodeTotals& totals, int32_t score) {
  if (!totals.vexaScoreSeen) {
    totals.vexaScoreSeen = true;
    totals.maxVexaScore = totals.minVexaScore = score;
    return;
  }
  if (score > totals.maxVexaScore) totals.maxVexaScore = score;
  if (score < totals.minVexaScore) totals.minVexaScore = score;
}

void StoreItemText(const Token& token, ParseState& state, std::string Item::*field,
                   const char* valueLog) {
  if (state.currentItem == nullptr) return;
  std::string& text = state.currentItem->*field;
  if (StoreText(token, state, text))
    state.log.Logf(kLogDetail, valueLog, state.node, state.currentItemIndex, text.c_str());
}

void StoreItemNumber(const Token& token, ParseState& state, int32_t Item::*field,
                     const char* valueLog) {
  if (state.currentItem == nullptr || token.content.empty()) return;
  int32_t& value = state.currentItem->*field;
  value = ReadDecimal32(token.content);
  state.log.Logf(kLogDetail, valueLog, state.node, state.currentItemIndex, value);
}

}  // namespace

void OnItemStart(const Token&, ParseState& state) {
  state.Set(kInItem);
  state.currentItem = nullptr;
  state.categoryIndex = 0;
  auto& items = state.channel.items;
  if (items.size() >= kMaxStoredRecords) {
    if (!state.itemsDropped)
      state.log.Logf(kLogWarning, "Node #%d: more than %zu items; the rest are not kept",
                     state.node, kMaxStoredRecords);
    state.itemsDropped = true;
    return;
  }
  std::unique_ptr<Item> item(new (std::nothrow) Item);
  if (!item) {
    LogAllocationFailure(state, __LINE__);
    return;
  }
  try {
    items.push_back(std::move(item));
  } catch (const std::bad_alloc&) {
    LogAllocationFailure(state, __LINE__);
    return;
  }
  // Counted only once its record exists.
  state.currentItem = items.back().get();
  state.currentItemIndex = static_cast<int>(items.size()) - 1;
  state.currentItem->node = state.node;
  state.channel.osTotalQueriedItems = static_cast<int32_t>(items.size());
  state.totals.queriedItems = AddSaturated(state.totals.queriedItems, 1);
  FillItemPlaceholders(*state.currentItem, state);
}

void OnItemEnd(const Token&, ParseState& state) {
  if (!state.Has(kInItem)) return;  // an end tag without an item has nothing to finish
  if (Item* item = state.currentItem) {
    if (item->vexaDateTime == 0) item->vexaDateTime = ParseRssDate(item->pubDate);
    if (state.isVexa) FoldScore(state.totals, item->vexaScore);
  }
  state.currentItem = nullptr;
  state.categoryIndex = 0;
  state.Clear(kInItem);
}

void OnPubDate(const Token& token, ParseState& state) {
  StoreItemText(token, state, &Item::pubDate, "Node #%d, Item #%d: pubDate = %s");
}

void OnItemCategory(const Token& token, ParseState& state) {
  int index = state.categoryIndex;
  if (state.currentItem == nullptr || index >= kStoredItemCategories) return;
  std::string& field = state.currentItem->category[index];
  if (StoreRawText(token, field))
    state.log.Logf(kLogDetail, "Node #%d, Item #%d: category[%d] = %s", state.node,
                   state.currentItemIndex, index, field.c_str());
}

void OnItemCategoryEnd(const Token&, ParseState& state) {
  if (state.categoryIndex < kItemCategories) ++state.categoryIndex;
}

void OnContext(const Token& token, ParseState& state) {
  StoreItemText(token, state, &Item::vexaContext, "Node #%d, Item #%d: vexaContext = %s");
}

void OnScore(const Token& token, ParseState& state) {
  StoreItemNumber(token, state, &Item::vexaScore, "Node #%d, Item #%d: vexaScore = %d");
}

void OnTermsMatched(const Token& token, ParseState& state) {
  StoreItemNumber(token, state, &Item::vexaTermsMatched,
                  "Node #%d, Item #%d: vexaTermsMatched = %d");
}

void OnFileSize(const Token& token, ParseState& state) {
  StoreItemNumber(token, state, &Item::vexaItemSize, "Node #%d, Item #%d: vexaItemSize = %d");
}

void OnImageUrl(const Token& token, ParseState& state) {
  StoreItemText(token, state, &Item::vexaImageURL, "Node #%d, Item #%d: vexaImageURL = %s");
}

void OnDateTime(const Token& token, ParseState& state) {
  if (state.currentItem == nullptr || token.content.empty()) return;
  int64_t& value = state.currentItem->vexaDateTime;
  value = ReadDecimal64(token.content);
  state.log.Logf(kLogDetail, "Node #%d, Item #%d: vexaDateTime = %llu", state.node,
                 state.currentItemIndex, static_cast<unsigned long long>(value));
}

}  // namespace quorix
