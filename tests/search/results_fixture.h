// A results page wired to in-memory output and log, for the results tests.
#pragma once

#include <memory>
#include <string>

#include "search/results_page.h"
#include "tests/support/recording_log.h"

namespace quorix::testing {

struct ResultsFixture {
  PageOutput out;
  Config config;
  VexaQuery query;
  TermList terms;
  RecordingLog log;
  DisplayValues display;
  std::unique_ptr<ChannelTable> channels = std::make_unique<ChannelTable>();
  ItemList items;
  ResultsPage page{out, config, query, terms, log, display};

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

  Status Display(int64_t available, int64_t itemCount, bool fromCache = false) {
    return page.DisplayResults(config.nodeCount, *channels, items, available, itemCount, fromCache);
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
