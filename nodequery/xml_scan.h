// Substring-scanning primitives for the XML that nodes send (responses and
// OpenSearch description documents). No document tree is built: these are
// prefix-matching scanners over UTF-8 text, by design.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/status.h"

namespace quorix {


// The text without its "<![CDATA[" ... "]]>" wrapper (without "]]>": the rest of
// the text), cut to 4095 UTF-16 units.
std::string StripCdata(std::string_view text);

// Replaces numeric, then named character references in place (two passes).
void DecodeCharacterReferences(std::string& text);

// The code point of a named character reference that the decoding knows
// ("eacute" gives U+00E9, "euro" U+20AC), or 0 for any other name.
char32_t NamedReferenceCodePoint(std::string_view name);

// Reads attribute `prefix` (such as "href=") followed by a double-quoted value
// from `tag`. kXmlNoAttribute when the prefix does not occur; 0 with an empty
// value when the value is not double-quoted. `capacity` counts the terminator.
Status GetAttribute(std::string_view tag, std::string_view prefix, std::string& value,
                    size_t capacity = 512);

// Walks `path` ("s" enter, "T" take; "%" ignored), taking one name per letter.
// `isOpenSearch` steps over a CDATA section that opens an element's content.
// On success `tag` holds the taken element's start tag and, when
// `contentWanted`, `content` its exact content. Capacities count the terminator
// and are in UTF-16 units. Returns 0, kXmlNotFound (a start tag, its ">", an
// end tag or a "]]>" is missing), kXmlSelfClosing (content wanted from a
// self-closing element; `tag` is still filled), kTooLong or kXmlBadPath
// (another directive, or fewer names than letters).
struct FindResult {
  std::string tag;
  std::string content;
  // Length of the content in UTF-16 units; with a content capacity of 0 the
  // length plus 1, and `content` is left empty (a length query).
  size_t contentLength = 0;
};
Status FindElement(bool isOpenSearch, std::string_view text, std::string_view path,
                   std::initializer_list<std::string_view> names, int occurrence,
                   bool contentWanted, FindResult& out, size_t tagCapacity = 512,
                   size_t contentCapacity = 4096);

// As FindElement, but takes the first occurrence whose start tag contains
// `filter`, and returns the value of its attribute `attributePrefix`
// (kXmlNoAttribute when it has none; kTooLong, with `value` empty, when a
// start tag reaches 512 units or the value does not fit `capacity`).
Status FindElementByAttribute(bool isOpenSearch, std::string_view text, std::string_view path,
                              std::initializer_list<std::string_view> names,
                              std::string_view filter, std::string_view attributePrefix,
                              std::string& value, size_t capacity = 4096);

// Removes leading and trailing NUL, tab, LF, CR and space; returns the new length.
size_t TrimContent(std::string& text);

}  // namespace quorix
