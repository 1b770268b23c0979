// Feeds arbitrary bytes to the response parser as a node's answer. The first
// byte picks the node kind, the number of items asked for and the panel options.
#include <cstddef>
#include <cstdint>
#include <string>

#include "nodequery/response_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t selector = data[0];
  quorix::NodeRecord node;
  node.disabled = false;
  node.type = selector & 1;
  quorix::NodeRun run;
  run.countSupported = (selector & 2) != 0;
  run.responseBody.assign(reinterpret_cast<const char*>(data + 1), size - 1);
  quorix::ParseOptions options;
  options.panelPlaceholders = (selector & 4) != 0;
  options.logUnrecognisedBody = (selector & 4) != 0;
  quorix::Channel channel;
  quorix::NodeTotals totals;
  quorix::NullLog log;
  quorix::ParseResponse(selector >> 4, selector >> 3, node, run, channel, totals, log, options);
  for (const auto& item : channel.items) quorix::ParseRssDate(item->pubDate);
  return 0;
}
