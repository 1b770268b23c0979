#include "panel/core/test_search.h"

#include <algorithm>
#include <memory>
#include <mutex>

#include "nodequery/dispatch.h"
#include "panel/core/node_table.h"
#include "panel/core/store_options.h"
#include "platform/text.h"
#include "platform/url_escape.h"

namespace quorix::panel {
namespace {

constexpr size_t kQueryMaxUnits = 255;

struct StatusText {
  Status status;
  const char* text;
};

constexpr StatusText kStatusTexts[] = {
    {kOk, "Answered"},
    {kDescUrlEmpty, "OpenSearch Description URL is empty"},
    {kDescConnectFailed, "Could not connect to the OpenSearch Description server"},
    {kDescSendFailed, "Could not send the request for the OpenSearch Description"},
    {kDescNoResponse, "No answer from the OpenSearch Description server"},
    {kQuerySyntaxUnsupported, "OpenSearch query syntax is unsupported"},
    {kDescNotRecognised, "OpenSearch Description not recognised"},
    {kQueryUrlEmpty, "Node URL is empty"},
    {kQueryConnectFailed, "Could not connect to the query server"},
    {kQuerySendFailed, "Could not send the query"},
    {kQueryNoResponse, "No answer from the query server"},
    {kResponseNotRecognised, "Answer not recognised"},
    {kResponseMalformed, "Answer malformed"},
    {kNodeLeadsToSelf, "Leads back to this search"},
    {kQueryUrlTooLong, "Query URL too long"},
    {kNodeTimeoutZero, "Time-out is zero"},
    {kNodeTimeoutExceeded, "Time-out exceeded"},
    {kFewerItemsThanRequested, "Answered with fewer items than asked for"},
};

// Keeps the error and warning lines; the workers write from their own threads.
class ProblemLines : public LogSink {
 public:
  void Write(int level, std::string_view line) override {
    if (level != kLogError && level != kLogWarning) return;
    std::lock_guard<std::mutex> lock(mutex_);
    lines.push_back({level, std::string(line)});
  }
  std::vector<LogWindowLine> lines;

 private:
  std::mutex mutex_;
};

std::string NodeLabel(int slot, const NodeRecord& node) {
  return std::to_string(slot) + (IsOpenSearchNode(node) ? " (OpenSearch)" : " (Vexa)");
}

std::string NodeUrl(const NodeRecord& node) {
  if (!node.osDescHost.empty()) return JoinUrl(node.osDescScheme, node.osDescHost, node.osDescPath);
  return JoinUrl(node.vexaScheme, node.vexaHost, node.vexaPath);
}

TestSearchNode NodeOutcome(int slot, const NodeRecord& node, const NodeResults& results) {
  TestSearchNode outcome;
  outcome.slot = slot;
  outcome.label = NodeLabel(slot, node);
  outcome.url = NodeUrl(node);
  outcome.status = results.status[slot];
  outcome.statusText = TestSearchStatusText(outcome.status);
  outcome.elapsedMs = results.elapsedMs[slot];
  const Channel& channel = results.channels[slot];
  outcome.answered =
      channel.node == slot && (outcome.status == kOk || outcome.status == kFewerItemsThanRequested);
  if (!outcome.answered) return outcome;
  outcome.totalResults = std::max(channel.totalResults, 0);
  for (const auto& item : channel.items) {
    if (outcome.titles.size() == kTestSearchTitles) break;
    if (item) outcome.titles.push_back(item->title);
  }
  return outcome;
}

}  // namespace

bool TestSearchReport::AllAnswered() const {
  return std::all_of(nodes.begin(), nodes.end(),
                     [](const TestSearchNode& node) { return node.answered; });
}

std::string TestSearchStatusText(Status status) {
  for (const StatusText& entry : kStatusTexts)
    if (entry.status == status) return entry.text;
  return Format("Error code %d", status);
}

TestSearchReport RunTestSearch(Config settings, const std::string& query) {
  NodeQueryRequest request;
  request.escapedQuery = UrlEscape(CutUtf16(query, kQueryMaxUnits));
  request.wordMatchAll = settings.defaultToAnd != 0;
  if (settings.useCats == 1) request.cat = {-1};
  auto results = std::make_unique<NodeResults>();
  ProblemLines log;
  PerformVexaQuery(settings, request, kTestSearchItems, *results, log);

  TestSearchReport report;
  int nodeCount = std::clamp(settings.nodeCount, 0, kMaxNodes);
  for (int slot = 0; slot < nodeCount; ++slot)
    if (!settings.nodes[slot].disabled)
      report.nodes.push_back(NodeOutcome(slot, settings.nodes[slot], *results));
  report.problems = std::move(log.lines);
  if (std::string store = StorePingLine(settings, ""); !store.empty())
    report.problems.push_back({store.ends_with("answers PING") ? kLogInfo : kLogError, store});
  return report;
}

std::vector<std::string> TestSearchLines(const TestSearchReport& report) {
  std::vector<std::string> lines;
  if (report.nodes.empty()) lines.push_back("No node is enabled.");
  for (const TestSearchNode& node : report.nodes) {
    std::string line = "Node " + node.label + " " + node.url + ": " + node.statusText +
                       Format(", %d ms", node.elapsedMs);
    if (node.answered) line += Format(", %d results", node.totalResults);
    lines.push_back(line);
    for (const std::string& title : node.titles) lines.push_back("    " + title);
  }
  for (const LogWindowLine& problem : report.problems) lines.push_back(problem.text);
  return lines;
}

TestSearchRun::TestSearchRun(const Config& settings, std::string query)
    : settings_(settings), query_(std::move(query)) {}

TestSearchRun::~TestSearchRun() { Wait(); }

void TestSearchRun::Start(std::function<void()> finished) {
  Wait();
  thread_ = std::thread([this, finished = std::move(finished)] {
    report_ = RunTestSearch(settings_, query_);
    if (finished) finished();
  });
}

void TestSearchRun::Wait() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace quorix::panel
