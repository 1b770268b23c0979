// Pieces of an RSS answer in the shape that Vexa nodes send and ParseResponse
// reads back: the document's frame, OpenSearch counts, vexa:setting elements
// and elements whose text is HTML.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "nodequery/records.h"

namespace quorix {

inline constexpr std::string_view kOpenSearchNamespace = "http://a9.com/-/spec/opensearch/1.1/";
inline constexpr std::string_view kVexaNamespace = "http://quorix.example.org/vexa/1.0/";

// Escapes & < > " and ' for XML text and attributes.
std::string XmlEscape(std::string_view text);

// <name>text</name> with the text escaped.
std::string XmlElement(std::string_view name, std::string_view text);

// <name>html</name> for a text that is HTML and is read back as it stands (a
// Vexa node's texts are). A whole CDATA section stays as it is; elsewhere a
// "&" that starts no reference XML knows is written as "&amp;", a named HTML
// reference as its numeric one, "<" as "&lt;" and "]]>" as "]]&gt;", so the
// element is well-formed XML and shows the same in a page.
std::string HtmlElement(std::string_view name, std::string_view html);

// The same for a double-quoted attribute ('"' becomes "&quot;").
std::string HtmlAttributeValue(std::string_view html);

// <name>html</name> for a text whose value is HTML: an XML parser reads
// exactly `html` (characters XML does not allow replaced as MarkupSafeText
// does), and so does a second Quorix, which takes a Vexa node's texts as HTML.
// Text without "&" and "<" is written as it is, any other as one CDATA
// section ("]]>" in it as "]]&gt;"), cut to what a reader takes whole.
std::string HtmlTextElement(std::string_view name, std::string_view html);

// The XML declaration, the rss element with its namespaces and the channel's start.
std::string VexaRssOpening();
// The channel's and the document's end.
std::string VexaRssClosing();

// The three OpenSearch counts of the channel.
std::string OpenSearchCounts(int64_t total, int64_t startIndex, int64_t itemsPerPage);

// <vexa:setting name="..." value="..."/> and a line feed.
std::string VexaSettingElement(std::string_view name, std::string_view value);
// One vexa:setting element per field of `settings`, in block order.
std::string VexaSettingElements(const SettingsBlock& settings);

// An RFC 822 date in UTC ("Tue, 03 Jun 2025 10:00:00 GMT"); empty for 0 or
// a time that cannot be shown.
std::string RssDate(int64_t epochSeconds);

}  // namespace quorix
