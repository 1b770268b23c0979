// The forms of the visitor's query that the rest of the program uses: its
// terms with their highlight patterns, the URL-escaped and the HTML-escaped query.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/log.h"
#include "search/page/page.h"
#include "search/pipeline/pipeline.h"

namespace quorix {

// Longest escaped query sent to the nodes: room for 255 characters in any
// script (one character escapes to at most 12 bytes).
inline constexpr size_t kEscapedQueryMaxBytes = 255 * 12;
// query_out holds fewer than this many bytes.
inline constexpr size_t kQueryOutLimit = 2085;

// Splits `rawQuery` into terms. With a double quote anywhere, the terms are the
// matches of "(.*?)"|[^\s"]+ (a quoted phrase without its quotes; an unpartnered
// quote is skipped); otherwise the words between single spaces (runs of spaces
// give no empty terms; tabs belong to terms).
std::vector<std::string> SplitQueryTerms(std::string_view rawQuery);

// When `rawQuery` contains '-', moves every term that starts with '-' (an
// excluded word) behind the others, keeping each group's order.
void MoveExcludedTermsLast(std::string_view rawQuery, std::vector<std::string>& terms);

// The regular expression that finds `term` in result texts: * matches any run
// of non-space characters, ? any character, and regex syntax characters are
// escaped. Cut to kTermMaxBytes without breaking an escape.
std::string HighlightPattern(std::string_view term);

}  // namespace quorix
