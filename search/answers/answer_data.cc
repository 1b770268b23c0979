#include "search/answers/answer_data.h"

#include <algorithm>

#include "platform/html_text.h"
#include "platform/text.h"
#include "search/page/page.h"
#include "search/pipeline/pipeline.h"

namespace quorix {

int64_t AnswerTotal(const ResultPage& page) {
  int64_t shown =
      page.items.empty() ? 0 : page.firstNumber - 1 + static_cast<int64_t>(page.items.size());
  return std::max(page.available, shown);
}

const Channel* ChannelOf(const AnswerView& view, const Item& item) {
  if (!view.page.channels || item.node < 0 || item.node >= kMaxNodes) return nullptr;
  return &(*view.page.channels)[item.node];
}

std::string ItemHtml(const Channel* channel, std::string_view text, bool stripTags) {
  if (channel != nullptr) return NodeHtml(*channel, text, stripTags);
  return EscapeHtml(MarkupSafeText(stripTags ? StripTags(text) : text));
}

std::string ItemLink(const Channel* channel, std::string_view link) {
  if (channel == nullptr || !MayLink(*channel, link)) return "";
  return NodeAttribute(*channel, link);
}

std::vector<NodeFailure> NodeFailures(const AnswerView& view) {
  std::vector<NodeFailure> failures;
  int count = std::clamp(view.config.nodeCount, 0, kMaxNodes);
  for (int node = 0; node < count; ++node) {
    if (view.config.nodes[node].disabled) continue;
    std::string line;
    int level = 0;
    Status status = view.page.nodes[node].status;
    if (status == kNodePending) continue;  // not failed: its answer comes later
    if (NodeStatusLine(node, status, line, level)) failures.push_back({node, status, line});
  }
  return failures;
}

}  // namespace quorix
