// Whether a name can be used as a file name as it stands.
#pragma once

#include <string_view>

namespace quorix {

// True when `name` contains any of \ / : * ? " < > |, a control character,
// or is longer than 255 bytes: such a name would need cleaning and is not used.
bool FileNameNeedsCleaning(std::string_view name);

}  // namespace quorix
