// Making untrusted text safe to write into the results page.
#pragma once

#include <string>
#include <string_view>

#include "platform/html_escape.h"

namespace quorix {

// Removes every tag (from "<" to the next ">"); an unclosed "<" drops the rest.
std::string StripTags(std::string_view text);

// True when `link` starts with "http://" or "https://" (letters in any case).
// Only such links from an untrusted node may become an href.
bool IsWebLink(std::string_view link);

}  // namespace quorix
