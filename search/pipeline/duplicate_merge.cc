#include "search/pipeline/duplicate_merge.h"

#include <cctype>
#include <unordered_map>

#include "platform/html_text.h"
#include "platform/text.h"

namespace quorix {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsUnreserved(unsigned char c) {
  return std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~';
}

// Decodes escapes of unreserved characters, writes the others in upper case.
std::string NormaliseEscapes(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    int high = i + 2 < text.size() && text[i] == '%' ? HexValue(text[i + 1]) : -1;
    int low = high >= 0 ? HexValue(text[i + 2]) : -1;
    if (low < 0) {
      out += text[i];
      continue;
    }
    unsigned char decoded = static_cast<unsigned char>(high * 16 + low);
    if (IsUnreserved(decoded)) {
      out += static_cast<char>(decoded);
    } else {
      out += '%';
      out += kHex[high];
      out += kHex[low];
    }
    i += 2;
  }
  return out;
}

// "host[:port]" in lower case, without the scheme's default port.
std::string NormaliseAuthority(std::string_view authority, std::string_view scheme) {
  std::string lower = AsciiLower(authority);
  size_t colon = lower.rfind(':');
  size_t bracket = lower.rfind(']');
  if (colon == std::string::npos || (bracket != std::string::npos && colon < bracket)) return lower;
  std::string_view port = std::string_view(lower).substr(colon + 1);
  if (port.empty() || (scheme == "http" && port == "80") || (scheme == "https" && port == "443"))
    lower.resize(colon);
  return lower;
}

std::string NormalisePath(std::string_view path) {
  std::string out = NormaliseEscapes(path);
  constexpr std::string_view kIndex = "/index.html";
  if (out.size() >= kIndex.size() && AsciiLower(out.substr(out.size() - kIndex.size())) == kIndex)
    out.resize(out.size() - kIndex.size() + 1);
  while (!out.empty() && out.back() == '/') out.pop_back();
  return out;
}

// Title and description are HTML from a trusted node and plain text from an
// untrusted one; a text moved between the two is converted.
std::string CarriedText(const std::string& text, bool fromTrusted, bool toTrusted) {
  if (fromTrusted == toTrusted) return text;
  return toTrusted ? EscapeHtml(text) : StripTags(text);
}

void Fold(Item& kept, const Item& duplicate, const ChannelTable& channels) {
  bool keptTrusted = IsTrustedNode(channels[kept.node]);
  bool duplicateTrusted = IsTrustedNode(channels[duplicate.node]);
  if (kept.title.empty()) kept.title = CarriedText(duplicate.title, duplicateTrusted, keptTrusted);
  if (kept.description.empty())
    kept.description = CarriedText(duplicate.description, duplicateTrusted, keptTrusted);
  kept.alsoFoundAt |= uint64_t{1} << duplicate.node;
}

}  // namespace

std::string NormaliseLink(std::string_view link) {
  link = link.substr(0, link.find('#'));
  size_t schemeEnd = link.find("://");
  if (schemeEnd == std::string_view::npos) return NormaliseEscapes(link);
  std::string scheme = AsciiLower(link.substr(0, schemeEnd));
  std::string_view rest = link.substr(schemeEnd + 3);
  size_t authorityEnd = rest.find_first_of("/?");
  std::string_view authority = rest.substr(0, authorityEnd);
  rest = authorityEnd == std::string_view::npos ? std::string_view() : rest.substr(authorityEnd);
  size_t queryStart = rest.find('?');
  std::string_view path = rest.substr(0, queryStart);
  std::string query = queryStart == std::string_view::npos
                          ? std::string()
                          : NormaliseEscapes(rest.substr(queryStart));
  return scheme + "://" + NormaliseAuthority(authority, scheme) + NormalisePath(path) + query;
}

size_t MergeDuplicateItems(ItemList& items, const ChannelTable& channels) {
  std::unordered_map<std::string, Item*> first;
  size_t folded = 0;
  for (std::unique_ptr<Item>& item : items) {
    if (!item || item->node < 0 || item->node >= kMaxNodes) continue;
    std::string key = NormaliseLink(item->link);
    if (key.empty()) continue;
    auto [at, inserted] = first.try_emplace(std::move(key), item.get());
    if (inserted) continue;
    Item& kept = *at->second;
    if (kept.node == item->node || (kept.alsoFoundAt >> item->node & 1)) continue;
    Fold(kept, *item, channels);
    item.reset();
    ++folded;
  }
  if (folded > 0) std::erase_if(items, [](const std::unique_ptr<Item>& item) { return !item; });
  return folded;
}

}  // namespace quorix
