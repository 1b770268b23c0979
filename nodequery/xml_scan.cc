// Substring scanners over node XML: CDATA, attributes, element paths, trimming.
#include "nodequery/xml_scan.h"

#include <string>

#include "nodequery/xml_scan_internal.h"
#include "platform/text.h"

namespace quorix {
namespace {

constexpr std::string_view kCdataOpen = "<![CDATA[";
constexpr std::string_view kCdataClose = "]]>";
constexpr size_t kCdataResultUnits = 4095;
constexpr size_t kAttributeBufferUnits = 512;

bool IsTrimmed(char c) { return c == '\0' || c == '\t' || c == '\n' || c == '\r' || c == ' '; }

// For an OpenSearch node a CDATA section that opens an element's content is
// stepped over; `pos` moves past its "]]>".
Status StepOverCdata(bool isOpenSearch, std::string_view text, size_t& pos) {
  if (!isOpenSearch || text.substr(pos).substr(0, kCdataOpen.size()) != kCdataOpen) return kOk;
  size_t close = text.find(kCdataClose, pos);
  if (close == std::string_view::npos) return kXmlNotFound;
  pos = close + kCdataClose.size();
  return kOk;
}

// One occurrence of "<name...>" at or after `from`.
struct StartTag {
  size_t begin = 0;  // the "<"
  size_t end = 0;    // one past the ">"
  bool selfClosing = false;
};

Status FindStartTag(std::string_view text, std::string_view name, size_t from, StartTag& tag) {
  std::string pattern = "<" + std::string(name);
  tag.begin = text.find(pattern, from);
  if (tag.begin == std::string_view::npos) return kXmlNotFound;
  size_t gt = text.find('>', tag.begin);
  if (gt == std::string_view::npos) return kXmlNotFound;
  tag.end = gt + 1;
  tag.selfClosing = text[gt - 1] == '/';
  return kOk;
}

// Finds the end tag of a non-self-closing occurrence; `contentBegin` is set
// after a leading CDATA section for OpenSearch nodes (that is where the end tag
// search starts), `endTag` to the "</".
Status FindEndTag(bool isOpenSearch, std::string_view text, std::string_view name,
                  const StartTag& tag, size_t& endTag) {
  size_t searchFrom = tag.end;
  Status status = StepOverCdata(isOpenSearch, text, searchFrom);
  if (status != kOk) return status;
  endTag = text.find("</" + std::string(name) + ">", searchFrom);
  return endTag == std::string_view::npos ? kXmlNotFound : kOk;
}

// The "s" directive: moves `pos` just inside the element.
Status EnterElement(bool isOpenSearch, std::string_view text, std::string_view name, size_t& pos) {
  StartTag tag;
  Status status = FindStartTag(text, name, pos, tag);
  if (status != kOk) return status;
  pos = tag.end;
  if (tag.selfClosing) return kOk;
  status = StepOverCdata(isOpenSearch, text, pos);
  if (status != kOk) return status;
  if (text.find("</" + std::string(name) + ">", pos) == std::string_view::npos) return kXmlNotFound;
  return kOk;
}

// Runs the path; `take(pos, name)` handles the "T" directive and ends the walk.
template <typename Take>
Status WalkPath(bool isOpenSearch, std::string_view text, std::string_view path,
                std::initializer_list<std::string_view> names, Take take) {
  auto name = names.begin();
  size_t pos = 0;
  for (char directive : path) {
    if (directive == '%') continue;
    if ((directive != 's' && directive != 'T') || name == names.end()) return kXmlBadPath;
    if (directive == 'T') return take(pos, *name);
    Status status = EnterElement(isOpenSearch, text, *name, pos);
    if (status != kOk) return status;
    ++name;
  }
  return kOk;
}

Status CopyTag(std::string_view text, const StartTag& tag, size_t capacity, std::string& out) {
  std::string_view tagText = text.substr(tag.begin, tag.end - tag.begin);
  if (Utf16DistanceAtLeast(tagText, 0, tagText.size(), capacity)) return kTooLong;
  out.assign(tagText);
  return kOk;
}

Status CopyContent(std::string_view content, size_t capacity, FindResult& out) {
  size_t units = Utf16Length(content);
  if (capacity == 0) {
    out.content.clear();
    out.contentLength = units + 1;
    return kOk;
  }
  if (units >= capacity) return kTooLong;
  out.content.assign(content);
  out.contentLength = units;
  return kOk;
}

// Moves `pos` past an occurrence that was not taken.
Status SkipOccurrence(bool isOpenSearch, std::string_view text, std::string_view name,
                      const StartTag& tag, size_t& pos) {
  if (tag.selfClosing) {
    pos = tag.end;
    return kOk;
  }
  size_t endTag = 0;
  Status status = FindEndTag(isOpenSearch, text, name, tag, endTag);
  if (status != kOk) return status;
  pos = endTag + name.size() + 3;
  return kOk;
}

}  // namespace

std::string StripCdata(std::string_view text) {
  if (text.substr(0, kCdataOpen.size()) != kCdataOpen) return CutUtf16(text, kCdataResultUnits);
  std::string_view inner = text.substr(kCdataOpen.size());
  size_t close = inner.find(kCdataClose);
  if (close != std::string_view::npos) inner = inner.substr(0, close);
  return CutUtf16(inner, kCdataResultUnits);
}

Status GetAttribute(std::string_view tag, std::string_view prefix, std::string& value,
                    size_t capacity) {
  size_t at = tag.find(prefix);
  if (at == std::string_view::npos) return kXmlNoAttribute;
  value.clear();
  size_t open = at + prefix.size();
  if (open >= tag.size() || tag[open] != '"') return kOk;
  size_t close = tag.find('"', open + 1);
  std::string_view quoted = tag.substr(
      open + 1, close == std::string_view::npos ? std::string_view::npos : close - open - 1);
  if (capacity > 0) value = CutUtf16(quoted, capacity - 1);
  return kOk;
}

Status FindElement(bool isOpenSearch, std::string_view text, std::string_view path,
                   std::initializer_list<std::string_view> names, int occurrence,
                   bool contentWanted, FindResult& out, size_t tagCapacity,
                   size_t contentCapacity) {
  auto take = [&](size_t pos, std::string_view name) -> Status {
    for (int count = 0;; ++count) {
      StartTag tag;
      Status status = FindStartTag(text, name, pos, tag);
      if (status != kOk) return status;
      if (count != occurrence) {
        status = SkipOccurrence(isOpenSearch, text, name, tag, pos);
        if (status != kOk) return status;
        continue;
      }
      size_t endTag = 0;
      if (!tag.selfClosing) {
        status = FindEndTag(isOpenSearch, text, name, tag, endTag);
        if (status != kOk) return status;
      }
      status = CopyTag(text, tag, tagCapacity, out.tag);
      if (status != kOk || !contentWanted) return status;
      if (tag.selfClosing) {
        out.content.clear();
        out.contentLength = 0;
        return kXmlSelfClosing;
      }
      return CopyContent(text.substr(tag.end, endTag - tag.end), contentCapacity, out);
    }
  };
  return WalkPath(isOpenSearch, text, path, names, take);
}

Status FindElementByAttribute(bool isOpenSearch, std::string_view text, std::string_view path,
                              std::initializer_list<std::string_view> names,
                              std::string_view filter, std::string_view attributePrefix,
                              std::string& value, size_t capacity) {
  auto take = [&](size_t pos, std::string_view name) -> Status {
    while (true) {
      StartTag tag;
      Status status = FindStartTag(text, name, pos, tag);
      if (status != kOk) return status;
      std::string tagText;
      status = CopyTag(text, tag, kAttributeBufferUnits, tagText);
      if (status != kOk) return status;
      if (tagText.find(filter) == std::string::npos) {
        status = SkipOccurrence(isOpenSearch, text, name, tag, pos);
        if (status != kOk) return status;
        continue;
      }
      std::string attribute;
      if (GetAttribute(tagText, attributePrefix, attribute, kAttributeBufferUnits) != kOk)
        return kXmlNoAttribute;
      if (Utf16Length(attribute) >= capacity) {
        value.clear();
        return kTooLong;
      }
      value = std::move(attribute);
      return kOk;
    }
  };
  return WalkPath(isOpenSearch, text, path, names, take);
}

size_t TrimContent(std::string& text) {
  size_t begin = 0;
  while (begin < text.size() && IsTrimmed(text[begin])) ++begin;
  size_t end = text.size();
  while (end > begin && IsTrimmed(text[end - 1])) --end;
  text.erase(end);
  text.erase(0, begin);
  return text.size();
}

}  // namespace quorix
