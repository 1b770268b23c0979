// Escaping of the query for use inside a URL.
#pragma once

#include <string>
#include <string_view>

namespace quorix {

// Every byte outside A-Z a-z 0-9 - _ . ~ becomes %XX (upper-case hex digits),
// so that c++, a&b and 50% reach a node as typed.
std::string UrlEscape(std::string_view utf8);

}  // namespace quorix
