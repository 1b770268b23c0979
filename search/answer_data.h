// What a machine-readable answer is made of: the page of merged items the
// search produced, with the nodes' records and statuses they came with.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/settings.h"
#include "nodequery/records.h"
#include "search/query.h"
#include "search/search_steps.h"

namespace quorix {

struct AnswerData {
  bool fromCache = false;
  const ChannelTable* channels = nullptr;  // the records items[i].node refers to
  std::vector<Item> items;                 // the requested page's items, in order
  int64_t firstNumber = 1;                 // the number of items[0] in the whole set
  int64_t total = 0;                       // results available from all nodes
};

// Everything one answer is written from. None is owned.
struct AnswerView {
  const VexaQuery& query;
  const Config& config;
  const AnswerData& data;
  const NodeResults& results;
  double searchSeconds = 0;
  std::vector<std::string> errors;  // failures of the request itself
};

// The total the answer reports: the nodes' total, but never fewer than the
// items up to the end of this page (a node may report less than it sent).
int64_t AnswerTotal(const AnswerData& data);

// The node record that `item` came from, or null.
const Channel* ChannelOf(const AnswerView& view, const Item& item);

// An item's text as the HTML the results page shows without highlighting
// (NodeHtml; escaped when the node is unknown).
std::string ItemHtml(const Channel* channel, std::string_view text, bool stripTags = false);

// The item's link for an href: empty when the node may not lead there.
std::string ItemLink(const Channel* channel, std::string_view link);

// The status line of every enabled node that failed, by node number.
struct NodeFailure {
  int node;
  Status status;
  std::string line;
};
std::vector<NodeFailure> NodeFailures(const AnswerView& view);

}  // namespace quorix
