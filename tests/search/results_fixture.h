// A results page wired to in-memory output and log, for the results tests.
#pragma once

#include <memory>
#include <string>

#include "search/page/results_page.h"
#include "tests/support/recording_log.h"

namespace quorix::testing {

struct ResultsFixture {
  PageOutput out;
  Config config;
  VexaQuery query;
  TermList terms;
  RecordingLog log;
  DisplayValues display;  // what the nodes echoed, for a fresh set
  std::shared_ptr<NodeResults> nodes = std::make_shared<NodeResults>();
  ChannelTable* channels = &nodes->channels;
  ItemList items;  // the whole merged set, or a cached page's items alone
  RequestOutcome outcome;
  ResultsPage page{out, config, query, terms, log};

  ResultsFixture() {
    query.rawQuery = query.query = "cats";
    query.query_out = "cats";
    query.cat = {-1};
    config.nodeCount = 1;
    config.langStrings[kStrResultPages] = "Pages:";
    config.langStrings[kStrResultPagesPrevious] = "Prev";
    config.langStrings[kStrResultPagesNext] = "Next";
    config.langStrings[kStrSortByRelevance] = "By relevance";
    config.langStrings[kStrSortedByRelevance] = "Sorted by relevance";
    config.langStrings[kStrSortByDate] = "By date";
    config.langStrings[kStrSortedByDate] = "Sorted by date";
    config.langStrings[kStrRecommended] = "Recommended";
    config.langStrings[kStrDidYouMean] = "Did you mean";
  }

  Channel& Node(int index, int type = 0) {
    Channel& channel = (*channels)[index];
    channel.node = index;
    channel.nodeType = type;
    channel.valid = true;
    return channel;
  }

  // Appends an item of `node` titled "Result <n>" (n counting from 1).
  Item& AddItem(int node, int32_t score = 0) {
    auto item = std::make_unique<Item>();
    item->node = node;
    item->title = "Result " + std::to_string(items.size() + 1);
    item->link = "http://example.test/" + std::to_string(items.size() + 1);
    item->vexaScore = score;
    items.push_back(std::move(item));
    return *items.back();
  }

  void AddItems(int node, int count) {
    for (int i = 0; i < count; ++i) AddItem(node);
  }

  // Writes the page the query asks for: cut out of `items` as a fresh set of
  // `itemCount` items, or, `fromCache`, with `items` as the page the cache read.
  Status Display(int64_t available, int64_t itemCount, bool fromCache = false) {
    const PageSpec spec{query.currentPageNum, query.itemsPerPage, query.nodeFilter};
    if (!fromCache) {
      ResultSet set;
      set.nodes = nodes;
      set.display = display;
      set.items = Copies();
      set.itemCount = static_cast<int32_t>(itemCount);
      set.available = static_cast<int32_t>(available);
      return page.WriteResults(CutPage(set, spec), &outcome);
    }
    ResultPage cached = WholePage();
    cached.source = PageSource::kCache;
    cached.resultsValid = true;
    cached.itemCount = itemCount;
    cached.available = available;
    cached.firstNumber = (int64_t{spec.page} - 1) * spec.perPage + 1;
    cached.invalid = IsInvalidPage(spec, available, itemCount);
    return page.WriteResults(cached, &outcome);
  }

  // Every item of `items` as one page, numbered from 1.
  ResultPage WholePage() const {
    ResultPage whole;
    whole.channels = std::shared_ptr<const ChannelTable>(nodes, channels);
    whole.nodes = NodeOutcomesOf(*nodes);
    for (const auto& item : items) whole.items.push_back(*item);
    return whole;
  }

  ItemList Copies() const {
    ItemList copies;
    for (const auto& item : items) copies.push_back(std::make_unique<Item>(*item));
    return copies;
  }

  std::string Page() const { return out.Captured(); }
};

inline size_t CountOf(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t pos = text.find(part); pos != std::string::npos; pos = text.find(part, pos + 1))
    ++count;
  return count;
}

}  // namespace quorix::testing
