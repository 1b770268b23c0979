// Feeds arbitrary bytes to the response parser as a node's answer, writes what
// it kept as this search's RSS and JSON answers, and checks that both read
// back: the RSS as a Vexa node's answer with every item and the same total,
// the JSON as JSON. The first byte picks the node kind.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "nodequery/response_parser.h"
#include "search/json_answer.h"
#include "search/rss_answer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  quorix::NodeRecord node;
  node.disabled = false;
  node.type = data[0] & 1;
  quorix::NodeRun run;
  run.responseBody = quorix::CleanResponseBody(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
  quorix::NodeResults results;
  quorix::NullLog log;
  quorix::NodeTotals totals;
  quorix::ParseResponse(0, 1000, node, run, results.channels[0], totals, log);
  quorix::Channel& channel = results.channels[0];
  if (!channel.valid) return 0;  // an answer the search would not use
  quorix::AnswerData answer;
  answer.channels = &results.channels;
  answer.total = channel.totalResults;
  for (const auto& item : channel.items)
    if (item) answer.items.push_back(*item);
  quorix::Config config;
  config.nodeCount = 1;
  config.nodes[0].disabled = false;
  quorix::VexaQuery query;
  query.itemsPerPage = 1000;
  quorix::AnswerView view{query, config, answer, results, 0, {}};

  quorix::NodeRecord again;
  again.disabled = false;
  quorix::NodeRun againRun;
  againRun.responseBody = quorix::RssAnswer(view);
  quorix::Channel reread;
  quorix::NodeTotals rereadTotals;
  quorix::Status status =
      quorix::ParseResponse(0, static_cast<int32_t>(answer.items.size()), again, againRun,
                            reread, rereadTotals, log);
  if (status != quorix::kOk || reread.items.size() != answer.items.size() ||
      reread.totalResults != quorix::AnswerTotal(answer)) {
    std::fprintf(stderr, "read back: status %d, %zu of %zu items, total %d of %lld\n%s\n", status,
                 reread.items.size(), answer.items.size(), reread.totalResults,
                 static_cast<long long>(quorix::AnswerTotal(answer)), againRun.responseBody.c_str());
    __builtin_trap();
  }
  if (nlohmann::json::parse(quorix::JsonAnswer(view), nullptr, false).is_discarded())
    __builtin_trap();
  return 0;
}
