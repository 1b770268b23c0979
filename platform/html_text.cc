#include "platform/html_text.h"

#include "platform/text.h"

namespace quorix {

std::string StripTags(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    size_t open = text.find('<', pos);
    if (open == std::string_view::npos) {
      out.append(text.substr(pos));
      break;
    }
    out.append(text.substr(pos, open - pos));
    size_t close = text.find('>', open + 1);
    if (close == std::string_view::npos) break;
    pos = close + 1;
  }
  return out;
}

bool IsWebLink(std::string_view link) {
  std::string head = AsciiLower(link.substr(0, 8));
  return head.starts_with("http://") || head.starts_with("https://");
}

}  // namespace quorix
