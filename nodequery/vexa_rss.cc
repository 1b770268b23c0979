#include "nodequery/vexa_rss.h"

#include "nodequery/settings_fields.h"
#include "nodequery/xml_scan.h"
#include "platform/clock.h"
#include "platform/html_escape.h"
#include "platform/text.h"

namespace quorix {
namespace {

constexpr std::string_view kCdataOpen = "<![CDATA[";
constexpr std::string_view kCdataClose = "]]>";
constexpr std::string_view kXmlEntities[] = {"amp;", "lt;", "gt;", "quot;", "apos;"};
constexpr size_t kMaxReferenceName = 10;

bool IsAllowedControl(unsigned char c) { return c >= 0x20 || c == '\t' || c == '\n' || c == '\r'; }

// The length of a numeric reference at the start of `rest` ("#233;", "#xE9;"), or 0.
size_t NumericReferenceLength(std::string_view rest) {
  if (!rest.starts_with("#")) return 0;
  bool hex = rest.size() > 1 && (rest[1] == 'x' || rest[1] == 'X');
  size_t i = hex ? 2 : 1;
  size_t digits = 0;
  for (; i < rest.size() && digits <= 8; ++i, ++digits) {
    char c = rest[i];
    bool digit = c >= '0' && c <= '9';
    bool hexDigit = (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!digit && !(hex && hexDigit)) break;
  }
  if (digits == 0 || i >= rest.size() || rest[i] != ';') return 0;
  uint32_t value = static_cast<uint32_t>(
      std::stoul(std::string(rest.substr(hex ? 2 : 1, digits)), nullptr, hex ? 16 : 10));
  bool allowed = value == 0x9 || value == 0xA || value == 0xD ||
                 (value >= 0x20 && value <= 0xD7FF) || (value >= 0xE000 && value <= 0xFFFD) ||
                 (value >= 0x10000 && value <= 0x10FFFF);
  return allowed ? i + 1 : 0;
}

// Appends the "&" at text[at] and what follows it as XML; returns the bytes used.
size_t AppendReference(std::string_view text, size_t at, std::string& out) {
  std::string_view rest = text.substr(at + 1);
  for (std::string_view entity : kXmlEntities)
    if (rest.starts_with(entity)) {
      out += "&" + std::string(entity);
      return entity.size() + 1;
    }
  if (size_t length = NumericReferenceLength(rest)) {
    out += text.substr(at, length + 1);
    return length + 1;
  }
  size_t semicolon = rest.substr(0, kMaxReferenceName + 1).find(';');
  char32_t codePoint = semicolon == std::string_view::npos
                           ? 0
                           : (rest.substr(0, semicolon) == "nbsp"
                                  ? 0xA0
                                  : NamedReferenceCodePoint(rest.substr(0, semicolon)));
  if (codePoint == 0) {
    out += "&amp;";
    return 1;
  }
  out += "&#" + std::to_string(static_cast<uint32_t>(codePoint)) + ";";
  return semicolon + 2;
}

std::string HtmlAsXml(std::string_view html, bool attribute) {
  if (!attribute && html.starts_with(kCdataOpen) && html.ends_with(kCdataClose) &&
      html.find(kCdataClose) == html.size() - kCdataClose.size())
    return std::string(html);
  std::string out;
  out.reserve(html.size() + 16);
  for (size_t i = 0; i < html.size();) {
    unsigned char c = static_cast<unsigned char>(html[i]);
    if (c == '&') {
      i += AppendReference(html, i, out);
      continue;
    }
    if (c == '<')
      out += "&lt;";
    else if (c == '>' && i >= 2 && html.substr(i - 2, 2) == "]]")
      out += "&gt;";
    else if (c == '"' && attribute)
      out += "&quot;";
    else if (IsAllowedControl(c))
      out += static_cast<char>(c);
    ++i;
  }
  return out;
}

// Control characters that XML 1.0 does not allow at all.
std::string WithoutForbiddenControls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (IsAllowedControl(static_cast<unsigned char>(c))) out += c;
  return out;
}

}  // namespace

std::string XmlEscape(std::string_view text) {
  return EscapeHtml(WithoutForbiddenControls(text));
}

std::string XmlElement(std::string_view name, std::string_view text) {
  return "<" + std::string(name) + ">" + XmlEscape(text) + "</" + std::string(name) + ">";
}

std::string HtmlElement(std::string_view name, std::string_view html) {
  return "<" + std::string(name) + ">" + HtmlAsXml(html, false) + "</" + std::string(name) + ">";
}

std::string HtmlAttributeValue(std::string_view html) { return HtmlAsXml(html, true); }

std::string VexaRssOpening() {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\" xmlns:openSearch=\"" +
         std::string(kOpenSearchNamespace) + "\" xmlns:vexa=\"" + std::string(kVexaNamespace) +
         "\">\n<channel>\n";
}

std::string VexaRssClosing() { return "</channel>\n</rss>\n"; }

std::string OpenSearchCounts(int64_t total, int64_t startIndex, int64_t itemsPerPage) {
  return "<openSearch:totalResults>" + std::to_string(total) + "</openSearch:totalResults>\n" +
         "<openSearch:startIndex>" + std::to_string(startIndex) + "</openSearch:startIndex>\n" +
         "<openSearch:itemsPerPage>" + std::to_string(itemsPerPage) +
         "</openSearch:itemsPerPage>\n";
}

std::string VexaSettingElement(std::string_view name, std::string_view value) {
  return "<vexa:setting name=\"" + std::string(name) + "\" value=\"" + HtmlAttributeValue(value) +
         "\"/>\n";
}

std::string VexaSettingElements(const SettingsBlock& settings) {
  std::string out;
  for (const SettingField& field : SettingFields()) {
    switch (field.kind) {
      case SettingKind::kText:
        out += VexaSettingElement(field.name, settings.*field.text);
        break;
      case SettingKind::kFlag:
        out += VexaSettingElement(field.name, settings.*field.flag ? "1" : "0");
        break;
      case SettingKind::kNumber:
        out += VexaSettingElement(field.name, std::to_string(settings.*field.number));
        break;
    }
  }
  return out;
}

std::string RssDate(int64_t epochSeconds) {
  return FormatUtc(epochSeconds, "%a, %d %b %Y %H:%M:%S GMT");
}

}  // namespace quorix
