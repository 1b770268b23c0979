// Escaping narrow text for HTML within a length limit.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorix {

// Replaces "&", then "<", then ">", then "\"" by their entities, each
// replacement over the whole text in turn. A replacement whose result would be
// `limit` bytes or longer is skipped (the text stays as it was before it; the
// later replacements still run). The input is first cut to limit - 1 bytes
// without splitting a character, so the result always stays below `limit`.
std::string HtmlEscapeLimited(std::string_view text, size_t limit);

// Replaces & < > " and ' by their character references, so the text can stand
// in element content and in a double- or single-quoted attribute (HTML or XML).
std::string EscapeHtml(std::string_view text);

}  // namespace quorix
