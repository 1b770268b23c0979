// The results page: what the rest of the program takes from search/page.
// It makes the page's steps, writes everything through a PageOutput, and
// lends the machine answers the page's way of showing a node's text and of
// logging a search.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

#include "config/settings.h"
#include "nodequery/records.h"
#include "platform/log.h"
#include "search/page/page_output.h"
#include "search/pipeline/pipeline.h"

namespace quorix {

// The steps that write the results page of one request: the template head and
// the category names, the search form, the results and the page tail. They
// keep references to everything given, which must outlive them.
OutputSteps MakePageSteps(PageOutput& page, const Config& config, const VexaQuery& query,
                          const TermList& terms, LogSink& log, const std::string& programDir);

// Splits `rawQuery` into terms, moves excluded terms last and builds one
// highlight pattern per term, with a cache for their compiled expressions.
TermList BuildTermList(std::string_view rawQuery);

// Fills query.query (cut to 255 UTF-16 units), query.escapedQuery and
// query.query_out from query.rawQuery. An escaped query longer than
// kEscapedQueryMaxBytes logs "Error escaping search term for HTTP GET" at error
// level, leaves escapedQuery empty and sets escapeFailed.
void FillQueryForms(VexaQuery& query, LogSink& log);

// `text` of `channel`'s node as the HTML the page shows, without highlighting:
// a trusted node's HTML (the content of a whole CDATA section, "]]>" written
// "]]&gt;"), an untrusted node's text escaped (with tags removed first when
// `stripTags`); either way only with characters that MarkupSafeText keeps.
std::string NodeHtml(const Channel& channel, std::string_view text, bool stripTags = false);

// NodeHtml for an attribute or plain spot.
inline std::string NodeAttribute(const Channel& channel, std::string_view text) {
  return NodeHtml(channel, text);
}

// True when `link` of `channel`'s node may become an href: any non-empty link of
// a trusted node, only http and https links of an untrusted one.
bool MayLink(const Channel& channel, std::string_view link);

// Appends the request's search log line when logging is 1 and the request
// had a query; a log that cannot be written is reported as a warning.
void LogSearch(const Config& config, const VexaQuery& query, const RequestOutcome& outcome,
               const std::tm& localTime, LogSink& log);

// The local time now.
std::tm CurrentLocalTime();

// The English text the page shows for page text `key` when the settings have
// none; empty for a text without one (the page then shows nothing in its place).
std::string DefaultPageText(int key);

// The name a node goes by on the page: its NODE<n>_NAME, else the host it is
// asked at.
std::string NodeDisplayName(const NodeRecord& node);

}  // namespace quorix
