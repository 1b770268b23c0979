// The escaping of text values in settings files (.cpdat, settings.qxdat).
#pragma once

#include <string>
#include <string_view>

namespace quorix {

// Returns `value` (UTF-8) as the settings writer stores it between double
// quotes: a double quote becomes \", a backslash \\, and the characters that
// the search page must not see raw become numeric character references:
// & < > ¢ £ ¥ © ® “ ” € ™ (the euro sign as "&#128;", which browsers show as
// the euro sign). Every other byte is copied unchanged.
std::string EscapeSettingsValue(std::string_view value);

}  // namespace quorix
