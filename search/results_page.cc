#include "search/results_page.h"

#include <algorithm>

#include "platform/clock.h"
#include "search/consolidate.h"
#include "search/duplicate_merge.h"
#include "search/result_extras.h"
#include "search/result_links.h"
#include "search/result_sources.h"

namespace quorix {
namespace {

// No page link leads beyond this many results.
constexpr int64_t kMaxResultsReachable = 1000000;
// Page numbers listed either side of the current page.
constexpr int64_t kPageLinkSpan = 10;

bool AnyValidNode(const ChannelTable& channels, int32_t slots) {
  return std::any_of(channels.begin(), channels.begin() + slots,
                     [](const Channel& channel) { return channel.valid; });
}

}  // namespace

int ResultsPage::ConsolidateResults(NodeResults& results, bool sortDate, ItemList& merged) {
  int status = quorix::ConsolidateResults(results, sortDate, merged, context_.log);
  if (context_.config.mergeDuplicates == 1) {
    // The counts shown and cached are those of the merged set.
    int32_t folded = static_cast<int32_t>(MergeDuplicateItems(merged, results.channels));
    RequestTotals& totals = results.totals;
    totals.queriedItems -= folded;
    totals.availableItems = std::max(totals.availableItems - folded, totals.queriedItems);
    if (folded > 0) context_.log.Logf(kLogInfo, "Merged %d duplicate results", folded);
  }
  return status;
}

void ResultsPage::WriteHeading() {
  const Config& config = context_.config;
  const DisplayValues& display = context_.display;
  if (!config.allVexaNodes) {
    context_.out.Printf("<div class=\"searchheading\">Search results for: %s</div><br />\n",
                        context_.query.query_out.c_str());
    return;
  }
  // A page from the cache has no node answer to take the echoed query from.
  const std::string& shownQuery =
      display.searchQuery.empty() ? context_.query.query_out : display.searchQuery;
  if (config.useCats)
    context_.out.Printf(
        "<div class=\"searchheading\">Search results for: %s in %s categories</div><br />\n",
        shownQuery.c_str(), display.searchCategory.c_str());
  else
    context_.out.Printf("<div class=\"searchheading\">Search results for: %s</div><br />\n",
                        shownQuery.c_str());
}

Status ResultsPage::DisplayResults(int32_t nodeCount, const ChannelTable& channels,
                                   const ItemList& items, int64_t availableItems, int64_t itemCount,
                                   bool fromCache) {
  PageOutput& out = context_.out;
  VexaQuery& query = context_.query;
  int32_t slots = std::clamp<int32_t>(nodeCount, 0, kMaxNodes);
  // A page from the cache was filtered when it was read.
  ItemList nodeItems;
  if (!fromCache && query.nodeFilter >= 0) {
    nodeItems = ItemsOfNode(items, query.nodeFilter);
    const Channel& channel = channels[query.nodeFilter];
    availableItems = channel.valid ? std::max(channel.totalResults, 0) : 0;
    itemCount = static_cast<int64_t>(nodeItems.size());
    availableItems = std::max(availableItems, itemCount);
  }
  const ItemList& shown = !fromCache && query.nodeFilter >= 0 ? nodeItems : items;
  bool resultsValid = fromCache || AnyValidNode(channels, slots);
  Status result = kOk;
  bool invalidPage = false;
  if (resultsValid && slots > 0) {
    WriteHeading();
    out.Write("<div class=\"results\">\n");
    out.Printf("<div class=\"summary\">%lld results found.<br /></div>\n",
               static_cast<long long>(availableItems));
    if (context_.config.showSources == 1)
      WriteSourcesLine(context_, channels, nodeCount, fromCache ? nullptr : nodeResults_);
    out.Write("<p></p>\n\n");
    DisplaySpellingSuggestions(context_, itemCount, channels, nodeCount);
    DisplayRecommended(context_, channels, nodeCount);
    DisplaySortLinks(itemCount);

    // Page and page size are 32-bit, so these products fit; the counts are
    // only compared, never added to, whatever values they hold.
    int64_t perPage = query.itemsPerPage;
    int64_t page = query.currentPageNum;
    int64_t first = (page - 1) * perPage;
    int64_t end = page * perPage;
    bool pageEmpty = availableItems < end && itemCount <= first;
    // A page number below 1 would start before the first item. The first page
    // is never invalid: when it is empty the search simply found nothing.
    if (page < 1 || perPage < 1 || (pageEmpty && page > 1)) {
      context_.log.Logf(kLogError, "You have requested an invalid page.");
      result = kInvalidPage;
      invalidPage = true;
    }
    if (!shown.empty() && availableItems != 0 && !invalidPage) {
      // Indexes past the items passed show nothing, so the loop stops there.
      int64_t held = static_cast<int64_t>(shown.size()) + (fromCache ? first : 0);
      int64_t last = std::min({itemCount, end, held});
      for (int64_t i = first; i < last; ++i)
        DisplayResultItem(channels, shown, fromCache ? i - first : i, fromCache);
    }
    out.Write("</div>\n");
  }
  DisplayPageLinks(availableItems, invalidPage);
  if (availableItems != 0 && context_.config.showSearchTime) {
    query.searchSeconds = TicksToMs(NowTicks() - query.startTicks) / 1000.0;
    out.Printf(
        "<div class=\"searchtime\"><br /><br /><small>Search took %.3f seconds</small></div>\n",
        query.searchSeconds);
  }
  return result;
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

  PageOutput& out = context_.out;
  out.Printf("<p></p>%s ", context_.Lang(kStrResultPages).c_str());
  if (current > 1)
    out.Write(PageLinkOpen(config, query, current - 1) + "&lt;&lt; " +
              context_.Lang(kStrResultPagesPrevious) + "</a> ");
  for (int64_t i = firstLink; i <= lastLink; ++i) {
    if (i == current && !invalidPage)
      out.Printf("%lld ", static_cast<long long>(i));
    else
      out.Write(PageLinkOpen(config, query, i) + std::to_string(i) + "</a> ");
  }
  // Never a next page past the last link: beyond the last page or the millionth result.
  if (current < lastLink)
    out.Write(PageLinkOpen(config, query, current + 1) + context_.Lang(kStrResultPagesNext) +
              " &gt;&gt;</a> ");
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
