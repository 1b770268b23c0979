#include "search/page/result_sources.h"

#include <algorithm>

#include "config/lang_keys.h"
#include "platform/html_escape.h"
#include "platform/text.h"
#include "search/page/result_links.h"

namespace quorix {
namespace {

struct DefaultText {
  int key;
  const char* text;
};

constexpr DefaultText kDefaultTexts[] = {
    {kStrSources, "Sources:"},
    {kStrSourceResults, "results"},
    {kStrSourceTimeout, "did not answer in time"},
    {kStrSourceFailed, "failed"},
    {kStrSourceSkipped, "skipped after repeated failures"},
    {kStrSourceAll, "all sources"},
    {kStrAlsoFoundAt, "Also found at:"},
    {kStrSourceFromCache, "from the cache"},
    {kStrNoResults, "No results found."},
    {kStrNoResultsHintSpelling, "Check the spelling of your search words."},
    {kStrNoResultsHintWords, "Try other words, fewer words or more general ones."},
    {kStrNoResultsHintAny, "Choose to match any search words, not all of them."},
    {kStrTooManySearches,
     "Too many searches have come from your address in the last minute. Please wait a moment "
     "and search again."},
    {kStrSourcesPending, "Sources still answering: %d."},
    {kStrShowAllResults, "Show all results"},
    {kStrMoreResultsArrived, "%d more results arrived: show them"},
    {kStrSourcePending, "still answering"},
};

bool Answered(const Channel& channel, Status status) {
  return channel.valid && (status == kOk || status == kFewerItemsThanRequested);
}

// A node of a fresh search that was asked, or skipped, and gave no answer.
bool Failed(const ResultsContext& context, const ResultPage& page, int32_t n) {
  const NodeOutcome& outcome = page.nodes[n];
  return !Answered((*page.channels)[n], outcome.status) && outcome.status != kNodeNotRun &&
         outcome.status != kNodePending && !context.config.nodes[n].disabled;
}

// The failure class and words of a node that did not answer.
void FailureOf(Status status, const char*& className, int& textKey) {
  if (status == kNodeTimeoutExceeded) {
    className = "source_timeout";
    textKey = kStrSourceTimeout;
  } else if (status == kNodeBackedOff) {
    className = "source_skipped";
    textKey = kStrSourceSkipped;
  } else {
    className = "source_failed";
    textKey = kStrSourceFailed;
  }
}

// `fresh`: the node's outcome in a fresh search; null for a page from the cache.
void WriteAnswered(const ResultsContext& context, int32_t n, const Channel& channel,
                   const NodeOutcome* fresh) {
  const VexaQuery& query = context.query;
  std::string name = EscapeHtml(NodeDisplayName(context.config.nodes[n]));
  const char* current = query.nodeFilter == n ? " source_current" : "";
  context.out.Printf("<div class=\"source source_ok%s\">", current);
  context.out.Write(NodeLinkOpen(context.config, query, n) + name + "</a>");
  context.out.Printf(": %d %s", std::max(channel.totalResults, 0),
                     PageText(context, kStrSourceResults).c_str());
  if (fresh)
    context.out.Printf(", %.2f s", fresh->elapsedMs / 1000.0);
  else
    context.out.Printf(", %s", PageText(context, kStrSourceFromCache).c_str());
  if (channel.pendingSources > 0)
    context.out.Printf(", %s", PageText(context, kStrSourcePending).c_str());
  context.out.Write("</div>\n");
}

// `text` with its first "%d" (if any) replaced by `count`: a language
// file's text is never used as a format.
std::string WithCount(const std::string& text, int32_t count) {
  std::string result = text;
  if (size_t at = result.find("%d"); at != std::string::npos)
    result.replace(at, 2, std::to_string(count));
  return result;
}

}  // namespace

std::string NodeDisplayName(const NodeRecord& node) {
  if (!node.name.empty()) return node.name;
  if (node.IsVexa() || node.osHost.empty()) {
    if (!node.vexaHost.empty()) return node.vexaHost;
    if (!node.osDescHost.empty()) return node.osDescHost;
  }
  return node.osHost;
}

std::string DefaultPageText(int key) {
  for (const DefaultText& entry : kDefaultTexts)
    if (entry.key == key) return entry.text;
  return {};
}

std::string PageText(const ResultsContext& context, int key) {
  const std::string& text = context.Lang(key);
  return text.empty() ? DefaultPageText(key) : text;
}

void WriteSourcesLine(const ResultsContext& context, const ResultPage& page) {
  PageOutput& out = context.out;
  out.Printf("<div class=\"sources\">%s\n", PageText(context, kStrSources).c_str());
  int32_t slots = page.channels ? std::clamp<int32_t>(context.config.nodeCount, 0, kMaxNodes) : 0;
  for (int32_t n = 0; n < slots; ++n) {
    const Channel& channel = (*page.channels)[n];
    if (page.nodes[n].status == kNodePending) {
      out.Printf("<div class=\"source source_pending\">%s: %s</div>\n",
                 EscapeHtml(NodeDisplayName(context.config.nodes[n])).c_str(),
                 PageText(context, kStrSourcePending).c_str());
      continue;
    }
    if (page.source == PageSource::kCache) {
      if (channel.valid) WriteAnswered(context, n, channel, nullptr);
      continue;
    }
    const NodeOutcome& outcome = page.nodes[n];
    if (Answered(channel, outcome.status)) {
      WriteAnswered(context, n, channel, &outcome);
      continue;
    }
    if (!Failed(context, page, n)) continue;
    const char* className = nullptr;
    int textKey = kStrSourceFailed;
    FailureOf(outcome.status, className, textKey);
    out.Printf("<div class=\"source %s\">%s: %s</div>\n", className,
               EscapeHtml(NodeDisplayName(context.config.nodes[n])).c_str(),
               PageText(context, textKey).c_str());
  }
  if (context.query.nodeFilter >= 0)
    out.Write("<div class=\"source source_all\">" +
              NodeLinkOpen(context.config, context.query, -1) + PageText(context, kStrSourceAll) +
              "</a></div>\n");
  out.Write("</div>\n");
}

void WriteNodeFailures(const ResultsContext& context, const ResultPage& page) {
  if (page.source == PageSource::kCache || !page.channels) return;
  int32_t slots = std::clamp<int32_t>(context.config.nodeCount, 0, kMaxNodes);
  std::string lines;
  for (int32_t n = 0; n < slots; ++n) {
    if (!Failed(context, page, n)) continue;
    const char* className = nullptr;
    int textKey = kStrSourceFailed;
    FailureOf(page.nodes[n].status, className, textKey);
    lines += Format("<li class=\"%s\">%s: %s</li>\n", className,
                    EscapeHtml(NodeDisplayName(context.config.nodes[n])).c_str(),
                    PageText(context, textKey).c_str());
  }
  if (!lines.empty()) context.out.Write("<ul class=\"node_failures\">\n" + lines + "</ul>\n");
}

void WritePendingNotice(const ResultsContext& context, const ResultPage& page) {
  const int32_t pending = PendingSourceCount(page);
  if (pending == 0) return;
  const VexaQuery& query = context.query;
  const std::string href = PageLinkHref(context.config, query, query.currentPageNum);
  context.out.Printf(
      "<p class=\"sources_pending\" data-quorix-answer=\"%s&amp;vexa_format=json\" "
      "data-quorix-total=\"%lld\" data-quorix-more=\"%s\">",
      href.c_str(), static_cast<long long>(page.available),
      EscapeHtml(PageText(context, kStrMoreResultsArrived)).c_str());
  context.out.Write(WithCount(PageText(context, kStrSourcesPending), pending));
  context.out.Printf(" <a class=\"show_all_results\" href=\"%s\">%s</a></p>\n", href.c_str(),
                     PageText(context, kStrShowAllResults).c_str());
}

void WriteAlsoFoundLine(const ResultsContext& context, const Item& item) {
  if (item.alsoFoundAt == 0) return;
  std::string names;
  for (int n = 0; n < kMaxNodes; ++n) {
    if (!(item.alsoFoundAt >> n & 1)) continue;
    if (!names.empty()) names += ", ";
    names += EscapeHtml(NodeDisplayName(context.config.nodes[n]));
  }
  context.out.Printf("<div class=\"result_also\">%s %s</div>\n",
                     PageText(context, kStrAlsoFoundAt).c_str(), names.c_str());
}

}  // namespace quorix
