// ParseResponse on a node answer of about 1 MiB holding 1000 items.
#include <benchmark/benchmark.h>

#include <string>

#include "nodequery/response_parser.h"

namespace {

std::string MakeAnswer(bool cdataTitles) {
  std::string body =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<rss version=\"2.0\" xmlns:openSearch=\"http://a9.com/-/spec/opensearch/1.1/\">\n"
      "<channel><title>Bench</title><link>http://node/</link>\n"
      "<openSearch:totalResults>5000</openSearch:totalResults>\n"
      "<vexa:setting name=\"Version\" value=\"5.1\"/><vexa:searchquery>bench</vexa:searchquery>\n";
  std::string words;
  while (words.size() < 700) words += "lorem ipsum dolor &amp; sit amet caf&eacute; ";
  for (int i = 0; i < 1000; ++i) {
    std::string n = std::to_string(i);
    std::string title = "Result number " + n + " &amp; more";
    if (cdataTitles) title = "<![CDATA[" + title + "]]>";
    body += "<item>\n<title>" + title + "</title>\n<link>http://node/page" + n +
            ".html</link>\n<description>" + words + "</description>\n" +
            "<pubDate>Tue, 14 Apr 2009 10:00:00 GMT</pubDate>\n<category>Docs</category>\n" +
            "<vexa:context>" + words.substr(0, 120) + "</vexa:context>\n<vexa:score>" + n +
            "</vexa:score><vexa:termsMatched>1</vexa:termsMatched>\n</item>\n";
  }
  return body + "</channel>\n</rss>\n";
}

void ParseAnswer(benchmark::State& state, int nodeType) {
  quorix::NodeRecord node;
  node.disabled = false;
  node.type = nodeType;
  quorix::NodeRun run;
  run.responseBody = MakeAnswer(nodeType != 0);
  quorix::NullLog log;
  for (auto _ : state) {
    quorix::Channel channel;
    quorix::NodeTotals totals;
    quorix::Status status = quorix::ParseResponse(0, 1000, node, run, channel, totals, log);
    if (status != quorix::kOk || channel.items.size() != 1000) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(channel);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(run.responseBody.size()));
  state.counters["answer_bytes"] = static_cast<double>(run.responseBody.size());
}

void BM_ParseVexaAnswer(benchmark::State& state) { ParseAnswer(state, 0); }
void BM_ParseOpenSearchAnswer(benchmark::State& state) { ParseAnswer(state, 1); }

BENCHMARK(BM_ParseVexaAnswer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseOpenSearchAnswer)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
