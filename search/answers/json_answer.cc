#include "search/answers/json_answer.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "platform/clock.h"

namespace quorix {
namespace {

using nlohmann::json;

json ItemObject(const AnswerView& view, const Item& item, int64_t number) {
  const Channel* channel = ChannelOf(view, item);
  json categories = json::array();
  for (const std::string& category : item.category)
    if (!category.empty()) categories.push_back(ItemHtml(channel, category));
  std::string date = IsoDate(item.vexaDateTime);
  return {{"number", number},
          {"title", ItemHtml(channel, item.title)},
          {"link", ItemLink(channel, item.link)},
          {"description", ItemHtml(channel, item.description, true)},
          {"context", ItemHtml(channel, item.vexaContext)},
          {"score", item.vexaScore},
          {"date", date.empty() ? json(nullptr) : json(date)},
          {"category", std::move(categories)},
          {"node", item.node}};
}

json NodeObjects(const AnswerView& view) {
  json nodes = json::array();
  std::vector<NodeFailure> failures = NodeFailures(view);
  int count = std::clamp(view.config.nodeCount, 0, kMaxNodes);
  for (int n = 0; n < count; ++n) {
    if (view.config.nodes[n].disabled) continue;
    auto failure = std::find_if(failures.begin(), failures.end(),
                                [n](const NodeFailure& entry) { return entry.node == n; });
    const NodeOutcome& outcome = view.page.nodes[n];
    nodes.push_back({{"node", n},
                     {"status", outcome.status},
                     {"message", failure == failures.end() ? std::string() : failure->line},
                     {"items", outcome.itemsReceived},
                     {"time_ms", outcome.elapsedMs},
                     {"pending", PendingSourcesOf(view.page, n) > 0}});
  }
  return nodes;
}

}  // namespace

std::string IsoDate(int64_t epochSeconds) { return FormatUtc(epochSeconds, "%Y-%m-%dT%H:%M:%SZ"); }

std::string JsonAnswer(const AnswerView& view) {
  json items = json::array();
  int64_t number = view.page.firstNumber;
  for (const Item& item : view.page.items) items.push_back(ItemObject(view, item, number++));
  json answer = {{"query", view.query.query},
                 {"page", view.query.currentPageNum},
                 {"per_page", view.query.itemsPerPage},
                 {"total", AnswerTotal(view.page)},
                 {"sort", view.query.sortDate ? "date" : "relevance"},
                 {"from_cache", view.page.source == PageSource::kCache},
                 {"complete", PendingSourceCount(view.page) == 0},
                 {"search_time", view.searchSeconds},
                 {"items", std::move(items)},
                 {"nodes", NodeObjects(view)},
                 {"errors", view.errors}};
  // Texts are repaired UTF-8 already; a stray invalid byte still never throws.
  return answer.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace quorix
