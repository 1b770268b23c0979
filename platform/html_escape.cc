#include "platform/html_escape.h"

#include <algorithm>

#include "platform/text.h"

namespace quorix {
namespace {

// The reference for a character that must be escaped in text and in a
// double-quoted attribute; empty for every other character.
std::string_view TextReference(char c) {
  switch (c) {
    case '&':
      return "&amp;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '"':
      return "&quot;";
    default:
      return {};
  }
}

constexpr std::string_view kCdataOpen = "<![CDATA[";
constexpr std::string_view kCdataClose = "]]>";

}  // namespace

std::string EscapeHtmlText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    std::string_view reference = TextReference(c);
    if (reference.empty())
      out += c;
    else
      out += reference;
  }
  return out;
}

std::string HtmlEscapeLimited(std::string_view text, size_t limit) {
  if (limit == 0) return {};
  const size_t room = limit - 1;
  std::string out;
  out.reserve(std::min(text.size(), room));
  for (size_t pos = 0; pos < text.size();) {
    std::string_view reference = TextReference(text[pos]);
    std::string_view piece =
        reference.empty() ? text.substr(pos, Utf8CharLength(text, pos)) : reference;
    if (out.size() + piece.size() > room) break;
    out += piece;
    pos += reference.empty() ? piece.size() : 1;
  }
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

std::optional<std::string_view> CdataSectionContent(std::string_view text) {
  if (!text.starts_with(kCdataOpen) || text.size() < kCdataOpen.size() + kCdataClose.size())
    return std::nullopt;
  std::string_view inner = text.substr(kCdataOpen.size());
  if (inner.find(kCdataClose) != inner.size() - kCdataClose.size()) return std::nullopt;
  return inner.substr(0, inner.size() - kCdataClose.size());
}

}  // namespace quorix
