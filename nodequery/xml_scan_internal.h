// Helpers shared by the XML scanning and response parsing code; not part of
// the component's interface.
#pragma once

#include <cstddef>
#include <string_view>

namespace quorix {

// True when text[from, to) holds at least `limit` UTF-16 units. Cheap for long
// ranges: it looks at the characters only when the byte count leaves a doubt.
bool Utf16DistanceAtLeast(std::string_view text, size_t from, size_t to, size_t limit);

}  // namespace quorix
