// Making untrusted text safe to write into the results page.
#pragma once

#include <string>
#include <string_view>

namespace quorix {

// Replaces & < > " and ' by their character references, so the text can stand
// in element content and in a double- or single-quoted attribute.
std::string EscapeHtml(std::string_view text);

// Removes every tag (from "<" to the next ">"); an unclosed "<" drops the rest.
std::string StripTags(std::string_view text);

// True when `link` starts with "http://" or "https://" (letters in any case).
// Only such links from an untrusted node may become an href.
bool IsWebLink(std::string_view link);

}  // namespace quorix
