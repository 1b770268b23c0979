#include "nodequery/vexa_rss.h"

#include <ctime>

#include "nodequery/settings_fields.h"
#include "platform/html_escape.h"
#include "platform/text.h"

namespace quorix {
namespace {

constexpr std::string_view kCdataOpen = "<![CDATA[";
constexpr std::string_view kCdataClose = "]]>";
// The parser takes a CDATA section of up to 4092 units, wrapper included.
constexpr size_t kCdataTextUnits = 4092 - 12;

constexpr std::string_view kXmlEntities[] = {"amp;", "lt;", "gt;", "quot;", "apos;"};

// True when the reference at text[at] ("&...") is one that XML knows.
bool IsXmlReference(std::string_view text, size_t at) {
  std::string_view rest = text.substr(at + 1);
  for (std::string_view entity : kXmlEntities)
    if (rest.starts_with(entity)) return true;
  if (!rest.starts_with("#")) return false;
  size_t semicolon = rest.find(';');
  if (semicolon == std::string_view::npos || semicolon < 2 || semicolon > 10) return false;
  bool hex = rest[1] == 'x' || rest[1] == 'X';
  if (hex && semicolon < 3) return false;
  for (size_t i = hex ? 2 : 1; i < semicolon; ++i) {
    char c = rest[i];
    bool digit = c >= '0' && c <= '9';
    bool hexDigit = (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!digit && !(hex && hexDigit)) return false;
  }
  return true;
}

// Well-formed XML text: no "<", no "]]>", every "&" starts a reference XML
// knows, and no control character XML forbids.
bool IsWellFormedText(std::string_view text, bool attribute) {
  if (text.find(kCdataClose) != std::string_view::npos) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '<' || (attribute && c == '"')) return false;
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
    if (c == '&' && !IsXmlReference(text, i)) return false;
  }
  return true;
}

// Control characters that XML 1.0 does not allow even in a CDATA section.
std::string WithoutForbiddenControls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n' || c == '\r') out += c;
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
  std::string text = CutUtf16(html, kCdataTextUnits);
  if (!IsWellFormedText(text, false)) {
    text = WithoutForbiddenControls(text);
    // "]]>" would end the section early; "]]&gt;" means the same in HTML.
    for (size_t at = text.find(kCdataClose); at != std::string::npos;
         at = text.find(kCdataClose, at))
      text.replace(at + 2, 1, "&gt;");
    text = std::string(kCdataOpen) + CutUtf16(text, kCdataTextUnits) + std::string(kCdataClose);
  }
  return "<" + std::string(name) + ">" + text + "</" + std::string(name) + ">";
}

std::string HtmlAttributeValue(std::string_view html) {
  return IsWellFormedText(html, true) ? std::string(html) : XmlEscape(html);
}

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
  if (epochSeconds <= 0) return "";
  std::time_t seconds = static_cast<std::time_t>(epochSeconds);
  std::tm utc{};
  if (!gmtime_r(&seconds, &utc)) return "";
  char text[64];
  size_t length = std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &utc);
  return std::string(text, length);
}

}  // namespace quorix
