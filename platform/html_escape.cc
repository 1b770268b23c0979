#include "platform/html_escape.h"

#include "platform/text.h"

namespace quorix {
namespace {

// Replaces every `from` by `to` unless the result would reach `limit` bytes.
void ReplaceAllWithin(std::string& text, char from, std::string_view to, size_t limit) {
  size_t count = 0;
  for (char c : text) count += c == from;
  if (count == 0) return;
  size_t newSize = text.size() + count * (to.size() - 1);
  if (newSize >= limit) return;
  std::string out;
  out.reserve(newSize);
  for (char c : text) {
    if (c == from)
      out.append(to);
    else
      out += c;
  }
  text.swap(out);
}

}  // namespace

std::string HtmlEscapeLimited(std::string_view text, size_t limit) {
  if (limit == 0) return {};
  std::string out = CutBytes(text, limit - 1);
  ReplaceAllWithin(out, '&', "&amp;", limit);
  ReplaceAllWithin(out, '<', "&lt;", limit);
  ReplaceAllWithin(out, '>', "&gt;", limit);
  ReplaceAllWithin(out, '"', "&quot;", limit);
  return out;
}

std::string EscapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace quorix
