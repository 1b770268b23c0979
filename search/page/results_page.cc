#include "search/page/results_page.h"

#include <algorithm>

#include "platform/clock.h"
#include "platform/html_text.h"
#include "search/page/result_extras.h"
#include "search/page/result_links.h"
#include "search/page/result_sources.h"

namespace quorix {
namespace {

// No page link leads beyond this many results.
constexpr int64_t kMaxResultsReachable = 1000000;
// Page numbers listed either side of the current page.
constexpr int64_t kPageLinkSpan = 10;

// A page text (HTML) as an attribute value: without tags, quotes and a trailing colon.
std::string LabelText(std::string_view label) {
  std::string text;
  for (char c : StripTags(label)) text += c == '"' ? std::string("&quot;") : std::string(1, c);
  while (!text.empty() && (text.back() == ':' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace

void ResultsPage::WriteHeading(const DisplayValues& display) {
  const Config& config = context_.config;
  std::string heading = "Search results for: ";
  if (!config.allVexaNodes) {
    heading += context_.query.query_out;
  } else {
    // A page from the cache has no node answer to take the echoed query from.
    heading += display.searchQuery.empty() ? context_.query.query_out : display.searchQuery;
    if (config.useCats) heading += " in " + display.searchCategory + " categories";
  }
  if (config.pageMarkup == 1)
    context_.out.Write("<h2 class=\"searchheading\">" + heading + "</h2>\n");
  else
    context_.out.Write("<div class=\"searchheading\">" + heading + "</div><br />\n");
}

void ResultsPage::WriteSummary(const ResultPage& page) {
  PageOutput& out = context_.out;
  if (context_.config.pageMarkup != 1) {
    out.Printf("<div class=\"summary\">%lld results found.<br /></div>\n",
               static_cast<long long>(page.available));
    return;
  }
  if (page.available != 0) {
    out.Printf("<p class=\"summary\">%lld results found.</p>\n",
               static_cast<long long>(page.available));
    return;
  }
  out.Write("<div class=\"summary no_results\">\n<p>" + PageText(context_, kStrNoResults) +
            "</p>\n<ul>\n<li>" + PageText(context_, kStrNoResultsHintSpelling) + "</li>\n<li>" +
            PageText(context_, kStrNoResultsHintWords) + "</li>\n");
  if (context_.query.wordMatchAll)
    out.Write("<li>" + PageText(context_, kStrNoResultsHintAny) + "</li>\n");
  out.Write("</ul>\n</div>\n");
}

void ResultsPage::WriteItems(const ResultPage& page) {
  const bool list = context_.config.pageMarkup == 1;
  if (list)
    context_.out.Printf("<ol class=\"result_list\" start=\"%lld\">\n",
                        static_cast<long long>(page.firstNumber));
  for (size_t i = 0; i < page.items.size(); ++i) DisplayResultItem(page, i);
  if (list) context_.out.Write("</ol>\n");
}

bool ResultsPage::WriteResultsBlock(const ResultPage& page, bool failuresLine) {
  PageOutput& out = context_.out;
  const ChannelTable& channels = *page.channels;
  const int32_t nodeCount = context_.config.nodeCount;
  WriteHeading(page.display);
  out.Write("<div class=\"results\">\n");
  WriteSummary(page);
  WritePendingNotice(context_, page);
  if (context_.config.showSources == 1) WriteSourcesLine(context_, page);
  if (failuresLine) WriteNodeFailures(context_, page);
  if (context_.config.pageMarkup != 1) out.Write("<p></p>\n\n");
  DisplaySpellingSuggestions(context_, page.itemCount, channels, nodeCount);
  DisplayRecommended(context_, channels, nodeCount);
  DisplaySortLinks(page.itemCount);
  if (page.invalid)
    context_.log.Logf(kLogError, "You have requested an invalid page.");
  else if (page.available != 0)
    WriteItems(page);
  out.Write("</div>\n");
  return page.invalid;
}

Status ResultsPage::WriteResults(const ResultPage& page, RequestOutcome* outcome) {
  const int32_t slots = std::clamp<int32_t>(context_.config.nodeCount, 0, kMaxNodes);
  bool invalidPage = false;
  const bool failuresLine = context_.config.pageMarkup == 1 && context_.config.showSources != 1;
  if (page.resultsValid && page.channels && slots > 0) {
    invalidPage = WriteResultsBlock(page, failuresLine);
  } else {
    WritePendingNotice(context_, page);
    if (failuresLine) WriteNodeFailures(context_, page);
  }
  DisplayPageLinks(page.available, invalidPage);
  if (page.available != 0 && context_.config.showSearchTime) {
    outcome->searchSeconds = TicksToMs(NowTicks() - context_.query.startTicks) / 1000.0;
    context_.out.Printf(
        context_.config.pageMarkup == 1
            ? "<p class=\"searchtime\"><small>Search took %.3f seconds</small></p>\n"
            : "<div class=\"searchtime\"><br /><br /><small>Search took %.3f "
              "seconds</small></div>\n",
        outcome->searchSeconds);
  }
  return invalidPage ? kInvalidPage : kOk;
}

void ResultsPage::DisplayPageLinks(int64_t availableItems, bool invalidPage) {
  const VexaQuery& query = context_.query;
  const Config& config = context_.config;
  int64_t perPage = query.itemsPerPage;
  if (perPage <= 0 || availableItems <= 0) return;
  // Rounded up without adding to the count, which may be as large as int64 holds.
  int64_t pages = availableItems / perPage + (availableItems % perPage != 0 ? 1 : 0);
  if (pages <= 1) return;
  int64_t current = invalidPage ? pages : query.currentPageNum;
  int64_t firstLink = std::max<int64_t>(current - kPageLinkSpan, 1);
  int64_t lastLink = current > pages - kPageLinkSpan ? pages : current + kPageLinkSpan;
  if (lastLink > kMaxResultsReachable / perPage) lastLink = kMaxResultsReachable / perPage - 1;

  const bool nav = config.pageMarkup == 1;
  PageOutput& out = context_.out;
  if (nav)
    out.Printf("<nav class=\"pagelinks\" aria-label=\"%s\"><p>%s ",
               LabelText(context_.Lang(kStrResultPages)).c_str(),
               context_.Lang(kStrResultPages).c_str());
  else
    out.Printf("<p></p>%s ", context_.Lang(kStrResultPages).c_str());
  if (current > 1)
    out.Write(PageLinkOpen(config, query, current - 1) + "&lt;&lt; " +
              context_.Lang(kStrResultPagesPrevious) + "</a> ");
  for (int64_t i = firstLink; i <= lastLink; ++i) {
    if (i == current && !invalidPage)
      out.Printf(nav ? "<span aria-current=\"page\">%lld</span> " : "%lld ",
                 static_cast<long long>(i));
    else
      out.Write(PageLinkOpen(config, query, i) + std::to_string(i) + "</a> ");
  }
  // Never a next page past the last link: beyond the last page or the millionth result.
  if (current < lastLink)
    out.Write(PageLinkOpen(config, query, current + 1) + context_.Lang(kStrResultPagesNext) +
              " &gt;&gt;</a> ");
  if (nav) out.Write("</p></nav>\n");
}

void ResultsPage::DisplaySortLinks(int64_t itemCount) {
  const Config& config = context_.config;
  const VexaQuery& query = context_.query;
  if (itemCount == 0 || !config.useDateTime) return;
  PageOutput& out = context_.out;
  out.Write("<div class=\"sorting\">");
  if (query.sortDate) {
    out.Write(SortLinkOpen(config, query, false));
    out.Printf("%s</a> / <b>%s</b>", context_.Lang(kStrSortByRelevance).c_str(),
               context_.Lang(kStrSortedByDate).c_str());
  } else {
    out.Printf("<b>%s</b>", context_.Lang(kStrSortedByRelevance).c_str());
    out.Write(" / " + SortLinkOpen(config, query, true));
    out.Printf("%s</a>", context_.Lang(kStrSortByDate).c_str());
  }
  out.Write("</div>\n");
}

}  // namespace quorix
