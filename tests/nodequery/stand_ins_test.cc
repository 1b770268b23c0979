// Minimal stand-ins for the XML scanning and response parsing that node
// querying calls, so that its tests link and run on their own. They are weak:
// when the real implementations are linked, those win. Just enough behaviour
// for these tests: find the description's Url element, decode a few
// references, and recognise an RSS answer with a totalResults element.
#include <cstdlib>
#include <string>

#include "nodequery/response_parser.h"
#include "nodequery/xml_scan.h"

namespace quorix {
namespace {

// The start tags of every `name` element after `parent`'s start tag.
size_t FindStartTag(std::string_view text, std::string_view name, size_t from) {
  std::string open = "<" + std::string(name);
  for (size_t at = text.find(open, from); at != std::string_view::npos;
       at = text.find(open, at + 1)) {
    char next = at + open.size() < text.size() ? text[at + open.size()] : '\0';
    if (next == ' ' || next == '>' || next == '/' || next == '\t' || next == '\n') return at;
  }
  return std::string_view::npos;
}

}  // namespace

__attribute__((weak)) void DecodeCharacterReferences(std::string& text) {
  static const std::pair<const char*, const char*> kNamed[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
  for (const auto& [from, to] : kNamed) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + 1))
      text.replace(at, std::string(from).size(), to);
  }
}

__attribute__((weak)) size_t TrimContent(std::string& text) {
  const char* blanks = std::string_view("\0\t\n\r ", 5).data();
  size_t first = text.find_first_not_of(std::string(blanks, 5));
  if (first == std::string::npos) {
    text.clear();
    return 0;
  }
  text = text.substr(first, text.find_last_not_of(std::string(blanks, 5)) - first + 1);
  return text.size();
}

__attribute__((weak)) Status FindElement(bool, std::string_view text, std::string_view,
                                         std::initializer_list<std::string_view> names, int, bool,
                                         FindResult& out, size_t, size_t) {
  size_t at = 0;
  std::string_view last;
  for (std::string_view name : names) {
    at = FindStartTag(text, name, at);
    if (at == std::string_view::npos) return kXmlNotFound;
    last = name;
  }
  size_t end = text.find('>', at);
  if (end == std::string_view::npos) return kXmlNotFound;
  out.tag = std::string(text.substr(at, end - at + 1));
  if (text[end - 1] == '/') return kXmlSelfClosing;
  size_t close = text.find("</" + std::string(last), end);
  if (close == std::string_view::npos) return kXmlNotFound;
  out.content = std::string(text.substr(end + 1, close - end - 1));
  return kOk;
}

__attribute__((weak)) Status FindElementByAttribute(bool, std::string_view text, std::string_view,
                                                    std::initializer_list<std::string_view> names,
                                                    std::string_view filter,
                                                    std::string_view attributePrefix,
                                                    std::string& value, size_t) {
  size_t at = FindStartTag(text, *names.begin(), 0);
  if (at == std::string_view::npos) return kXmlNotFound;
  std::string_view last = *(names.end() - 1);
  for (at = FindStartTag(text, last, at); at != std::string_view::npos;
       at = FindStartTag(text, last, at + 1)) {
    std::string_view tag = text.substr(at, text.find('>', at) - at + 1);
    if (tag.find(filter) == std::string_view::npos) continue;
    size_t attribute = tag.find(std::string(attributePrefix) + "\"");
    if (attribute == std::string_view::npos) return kXmlNoAttribute;
    size_t start = attribute + attributePrefix.size() + 1;
    value = std::string(tag.substr(start, tag.find('"', start) - start));
    return kOk;
  }
  return kXmlNotFound;
}

__attribute__((weak)) Status ParseResponse(int nodeIndex, int32_t requested, const NodeRecord& node,
                                           Channel& channel, NodeTotals& totals, LogSink& log,
                                           const ParseOptions&) {
  const std::string& body = node.responseBody;
  size_t total = body.find("totalResults>");
  if (body.find("<rss") == std::string::npos || total == std::string::npos) {
    log.Logf(kLogError, "Node #%d: Slave node did not return the expected XML format", nodeIndex);
    return kResponseNotRecognised;
  }
  int32_t items = 0;
  for (size_t at = body.find("<item>"); at != std::string::npos; at = body.find("<item>", at + 1))
    ++items;
  channel.node = nodeIndex;
  channel.valid = true;
  channel.totalResults = std::atoi(body.c_str() + total + 13);
  channel.osTotalQueriedItems = items;
  totals.queriedItems += items;
  totals.availableItems += channel.totalResults;
  totals.valid = true;
  return items < requested && channel.totalResults > items ? kFewerItemsThanRequested : kOk;
}

}  // namespace quorix
