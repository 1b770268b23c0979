// Feeds arbitrary bytes to the response parser as a node's answer, writes what
// it kept as this search's RSS and JSON answers, and checks that both read
// back: the RSS as well-formed XML whose item titles are the HTML the page
// shows, and as a Vexa node's answer with every item, the same total and the
// same titles on the page; the JSON as JSON. The first byte picks the node kind.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "nodequery/response_parser.h"
#include "platform/text.h"
#include "search/answers/json_answer.h"
#include "search/answers/rss_answer.h"
#include "search/page/results_context.h"
#include "tests/support/xml_reader.h"

namespace {

[[noreturn]] void Fail(const char* what, const std::string& detail, const std::string& rss) {
  std::fprintf(stderr, "%s: %s\n%s\n", what, detail.c_str(), rss.c_str());
  __builtin_trap();
}

std::string_view Trimmed(std::string_view text) {
  size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string_view::npos) return {};
  return text.substr(begin, text.find_last_not_of(" \t\r\n") - begin + 1);
}

// The page's HTML of every item title must come back whole, from an XML parser
// and from a second Quorix alike (unless cut to what a CDATA section may hold).
void CheckTitles(const quorix::AnswerView& view, const quorix::Channel& reread,
                 const std::string& rss) {
  std::vector<quorix::testing::XmlText> texts;
  std::string error;
  if (!quorix::testing::ReadXml(rss, texts, error)) Fail("not well-formed", error, rss);
  std::vector<std::string> titles;
  for (const auto& text : texts)
    if (text.element == "title") titles.push_back(text.value);
  const size_t count = view.page.items.size();
  if (titles.size() < count) Fail("titles missing", std::to_string(titles.size()), rss);
  for (size_t i = 0; i < count; ++i) {
    const quorix::Item& item = view.page.items[i];
    std::string html = quorix::ItemHtml(quorix::ChannelOf(view, item), item.title);
    if (quorix::Utf16Length(html) > 4000) continue;
    if (titles[titles.size() - count + i] != html) Fail("XML title", html, rss);
    // A reader trims the text around an element's content.
    std::string back = reread.items[i] ? quorix::NodeHtml(reread, reread.items[i]->title) : "";
    if (Trimmed(back) != Trimmed(html)) Fail("reread title", html, rss);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  quorix::NodeRecord node;
  node.disabled = false;
  node.type = data[0] & 1;
  quorix::NodeRun run;
  run.responseBody =
      quorix::CleanResponseBody(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
  auto results = std::make_shared<quorix::NodeResults>();
  quorix::NullLog log;
  quorix::NodeTotals totals;
  quorix::ParseResponse(0, 1000, node, run, results->channels[0], totals, log);
  quorix::Channel& channel = results->channels[0];
  if (!channel.valid) return 0;  // an answer the search would not use
  quorix::ResultPage answer;
  answer.channels = std::shared_ptr<const quorix::ChannelTable>(results, &results->channels);
  answer.nodes = quorix::NodeOutcomesOf(*results);
  answer.available = channel.totalResults;
  for (const auto& item : channel.items)
    if (item) answer.items.push_back(*item);
  quorix::Config config;
  config.nodeCount = 1;
  config.nodes[0].disabled = false;
  quorix::VexaQuery query;
  query.itemsPerPage = 1000;
  quorix::AnswerView view{query, config, answer, 0, {}};

  quorix::NodeRecord again;
  again.disabled = false;
  quorix::NodeRun againRun;
  againRun.responseBody = quorix::RssAnswer(view);
  quorix::Channel reread;
  quorix::NodeTotals rereadTotals;
  quorix::Status status = quorix::ParseResponse(0, static_cast<int32_t>(answer.items.size()), again,
                                                againRun, reread, rereadTotals, log);
  if (status != quorix::kOk || reread.items.size() != answer.items.size() ||
      reread.totalResults != quorix::AnswerTotal(answer)) {
    std::fprintf(stderr, "read back: status %d, %zu of %zu items, total %d of %lld\n%s\n", status,
                 reread.items.size(), answer.items.size(), reread.totalResults,
                 static_cast<long long>(quorix::AnswerTotal(answer)),
                 againRun.responseBody.c_str());
    __builtin_trap();
  }
  CheckTitles(view, reread, againRun.responseBody);
  if (nlohmann::json::parse(quorix::JsonAnswer(view), nullptr, false).is_discarded())
    __builtin_trap();
  return 0;
}
