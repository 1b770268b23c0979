#include "platform/file_name_check.h"

namespace quorix {

bool FileNameNeedsCleaning(std::string_view name) {
  if (name.empty() || name.size() > 255) return true;
  for (char ch : name) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F) return true;
    switch (c) {
      case '\\': case '/': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
        return true;
      default:
        break;
    }
  }
  return name == "." || name == "..";
}

}  // namespace quorix
