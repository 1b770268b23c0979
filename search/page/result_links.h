// The opening anchors of links that re-run the current search: page links,
// sort links and spelling suggestion links. Each carries the query URL-escaped
// (and HTML-escaped for the attribute), so that c++, a&b or 100% come back as
// typed; the category part follows the UseCats and SearchMultiCats settings.
#pragma once

#include <string>
#include <string_view>

#include "config/settings.h"
#include "search/pipeline/pipeline.h"

namespace quorix {

// The query as it stands in a link's href.
std::string LinkQuery(const VexaQuery& query);

// "<a
// href=\"?vexa_query=..&amp;vexa_page=N&amp;vexa_per_page=..(categories)..&amp;vexa_and=..&amp;vexa_sort=..\">"
std::string PageLinkOpen(const Config& config, const VexaQuery& query, int64_t page);

// The href of PageLinkOpen (HTML-escaped).
std::string PageLinkHref(const Config& config, const VexaQuery& query, int64_t page);

// The current page in the other order: "...&amp;quorix=1&amp;vexa_page=..&amp;vexa_sort=N\">".
std::string SortLinkOpen(const Config& config, const VexaQuery& query, bool sortDate);

// Page 1 with only node `node`'s results (-1: every node's), as the sources line links it.
std::string NodeLinkOpen(const Config& config, const VexaQuery& query, int32_t node);

// A new search for `suggestion` from page 1 with the current options.
std::string SuggestionLinkOpen(const Config& config, const VexaQuery& query,
                               std::string_view suggestion);

}  // namespace quorix
