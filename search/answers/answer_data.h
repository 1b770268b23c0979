// What a machine-readable answer is made of: the page of merged items the
// search produced, with the nodes' records and outcomes it came with.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/settings.h"
#include "nodequery/records.h"
#include "search/pipeline/pipeline.h"

namespace quorix {

// Everything one answer is written from. None is owned.
struct AnswerView {
  const VexaQuery& query;
  const Config& config;
  const ResultPage& page;  // empty when the search never ran
  double searchSeconds = 0;
  std::vector<std::string> errors;  // failures of the request itself
};

// The total the answer reports: the nodes' total, but never fewer than the
// items up to the end of this page (a node may report less than it sent).
int64_t AnswerTotal(const ResultPage& page);

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
