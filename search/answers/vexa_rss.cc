#include "search/answers/vexa_rss.h"

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

// True for a character that XML 1.0 allows.
bool IsXmlChar(uint32_t value) {
  return value == 0x9 || value == 0xA || value == 0xD || (value >= 0x20 && value <= 0xD7FF) ||
         (value >= 0xE000 && value <= 0xFFFD) || (value >= 0x10000 && value <= 0x10FFFF);
}

// The length of a numeric reference at the start of `rest` ("#233;", "#xE9;")
// to a character XML allows, or 0.
size_t NumericReferenceLength(std::string_view rest) {
  if (!rest.starts_with("#")) return 0;
  bool hex = rest.size() > 1 && (rest[1] == 'x' || rest[1] == 'X');
  const uint32_t base = hex ? 16 : 10;
  size_t i = hex ? 2 : 1;
  const size_t digitsStart = i;
  uint32_t value = 0;
  for (; i < rest.size(); ++i) {
    char c = rest[i];
    uint32_t digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (hex && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      break;
    value = value * base + digit;
    if (value > 0x10FFFF) return 0;  // before it can wrap around
  }
  if (i == digitsStart || i >= rest.size() || rest[i] != ';') return 0;
  return IsXmlChar(value) ? i + 1 : 0;
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

std::string HtmlAsXml(std::string_view text, bool attribute) {
  std::string html = MarkupSafeText(text);
  if (!attribute && CdataSectionContent(html)) return html;
  std::string out;
  out.reserve(html.size() + 16);
  for (size_t i = 0; i < html.size();) {
    char c = html[i];
    if (c == '&') {
      i += AppendReference(html, i, out);
      continue;
    }
    if (c == '<')
      out += "&lt;";
    else if (c == '>' && i >= 2 && html.compare(i - 2, 2, "]]") == 0)
      out += "&gt;";
    else if (c == '"' && attribute)
      out += "&quot;";
    else
      out += c;
    ++i;
  }
  return out;
}

// `html` cut so that a CDATA section holding it stays within what a Vexa
// answer's reader takes, never inside a character or a reference.
std::string_view CdataFit(std::string_view html) {
  constexpr size_t kCdataUnits = 4092;
  const size_t room = kCdataUnits - kCdataOpen.size() - kCdataClose.size();
  if (html.size() <= room || Utf16Length(html) <= room) return html;
  std::string_view cut = html.substr(0, CutUtf16(html, room).size());
  size_t amp = cut.rfind('&');
  if (amp != std::string_view::npos && cut.find(';', amp) == std::string_view::npos)
    cut = cut.substr(0, amp);
  return cut;
}

}  // namespace

std::string XmlEscape(std::string_view text) { return EscapeHtml(MarkupSafeText(text)); }

std::string XmlElement(std::string_view name, std::string_view text) {
  return "<" + std::string(name) + ">" + XmlEscape(text) + "</" + std::string(name) + ">";
}

std::string HtmlElement(std::string_view name, std::string_view html) {
  return "<" + std::string(name) + ">" + HtmlAsXml(html, false) + "</" + std::string(name) + ">";
}

std::string HtmlAttributeValue(std::string_view html) { return HtmlAsXml(html, true); }

std::string HtmlTextElement(std::string_view name, std::string_view html) {
  std::string safe = MarkupSafeText(html);
  std::string content;
  if (safe.find_first_of("&<") == std::string::npos &&
      safe.find(kCdataClose) == std::string::npos) {
    content = std::move(safe);
  } else {
    std::string_view inner = CdataFit(safe);
    content.reserve(inner.size() + 16);
    content.append(kCdataOpen);
    // "]]>" cannot stand in a CDATA section; in HTML "]]&gt;" is the same text.
    for (size_t at = 0; at < inner.size();) {
      size_t close = inner.find(kCdataClose, at);
      content.append(inner.substr(at, close == std::string_view::npos ? close : close + 2 - at));
      if (close == std::string_view::npos) break;
      content.append("&gt;");
      at = close + kCdataClose.size();
    }
    content.append(kCdataClose);
  }
  return "<" + std::string(name) + ">" + content + "</" + std::string(name) + ">";
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
  return FormatUtc(epochSeconds, "%a, %d %b %Y %H:%M:%S GMT");
}

}  // namespace quorix
