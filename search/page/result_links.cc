#include "search/page/result_links.h"

#include "platform/html_text.h"
#include "platform/text.h"
#include "platform/url_escape.h"

namespace quorix {
namespace {

int32_t FirstCategory(const VexaQuery& query) { return query.cat.empty() ? -1 : query.cat[0]; }

// Every selected category, each with `separator` ("&amp;" or a bare "&") before it.
std::string EveryCategory(const VexaQuery& query, const char* separator) {
  std::string part;
  if (query.cat.empty()) return Format("%svexa_cat%%5B%%5D=-1", separator);
  for (int32_t cat : query.cat) part += Format("%svexa_cat%%5B%%5D=%d", separator, cat);
  return part;
}

std::string LinkStart(const VexaQuery& query, std::string_view queryInLink) {
  return "<a href=\"" + EscapeHtml(query.linkBase) + "?vexa_query=" + std::string(queryInLink);
}

// The node filter of a link; empty for all nodes.
std::string NodeFilterPart(int32_t node) {
  return node >= 0 ? Format("&amp;vexa_node=%d", node) : std::string();
}

}  // namespace

std::string LinkQuery(const VexaQuery& query) {
  // The raw query, not the cut `query`, so the next request reads it back whole.
  std::string_view source = query.rawQuery.empty() ? query.query : query.rawQuery;
  return EscapeHtml(UrlEscape(source));
}

std::string PageLinkOpen(const Config& config, const VexaQuery& query, int64_t page) {
  std::string link =
      LinkStart(query, LinkQuery(query)) + Format("&amp;vexa_page=%lld&amp;vexa_per_page=%d",
                                                  static_cast<long long>(page), query.itemsPerPage);
  if (config.useCats && config.searchMultiCats)
    link += EveryCategory(query, "&");
  else if (config.useCats)
    link += Format("&amp;vexa_cat%%5B%%5D=%d", FirstCategory(query));
  return link +
         Format("&amp;vexa_and=%d&amp;vexa_sort=%d", query.wordMatchAll ? 1 : 0,
                query.sortDate ? 1 : 0) +
         NodeFilterPart(query.nodeFilter) + "\">";
}

std::string PageLinkHref(const Config& config, const VexaQuery& query, int64_t page) {
  const std::string open = PageLinkOpen(config, query, page);
  constexpr size_t kBefore = sizeof("<a href=\"") - 1;
  constexpr size_t kAfter = sizeof("\">") - 1;
  return open.substr(kBefore, open.size() - kBefore - kAfter);
}

std::string SortLinkOpen(const Config& config, const VexaQuery& query, bool sortDate) {
  std::string link = LinkStart(query, LinkQuery(query)) +
                     Format("&amp;quorix=1&amp;vexa_page=%d&amp;vexa_per_page=%d",
                            query.currentPageNum, query.itemsPerPage);
  if (config.useCats && config.searchMultiCats)
    link += EveryCategory(query, "&amp;");
  else if (config.useCats)
    link += Format("&amp;vexa_cat%%5B%%5D=%d", FirstCategory(query));
  return link +
         Format("&amp;vexa_and=%d&amp;vexa_sort=%d", query.wordMatchAll ? 1 : 0, sortDate ? 1 : 0) +
         NodeFilterPart(query.nodeFilter) + "\">";
}

std::string NodeLinkOpen(const Config& config, const VexaQuery& query, int32_t node) {
  VexaQuery filtered = query;
  filtered.nodeFilter = node;
  return PageLinkOpen(config, filtered, 1);
}

std::string SuggestionLinkOpen(const Config& config, const VexaQuery& query,
                               std::string_view suggestion) {
  std::string link = LinkStart(query, EscapeHtml(UrlEscape(suggestion))) +
                     Format("&amp;vexa_per_page=%d", query.itemsPerPage);
  if (!config.useCats)
    link += "&amp;vexa_cat%5B%5D=-1";
  else if (config.searchMultiCats)
    link += EveryCategory(query, "&amp;");
  else
    link += Format("&amp;vexa_cat%%5B%%5D=%d", FirstCategory(query));
  return link + Format("&amp;vexa_and=%d&amp;vexa_sort=%d\">", query.wordMatchAll ? 1 : 0,
                       query.sortDate ? 1 : 0);
}

}  // namespace quorix
