// A strict reader of XML 1.0 documents without a DTD, as a script's XML parser
// reads our machine answers: it refuses what is not well-formed and hands back
// the value of every element that holds only text. Header-only, so that the
// fuzz targets can use it without the test support library.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorix::testing {

struct XmlText {
  std::string element;
  std::string value;  // references decoded, CDATA sections unwrapped
};

namespace xml_detail {

inline bool IsXmlChar(uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// True when `text` is UTF-8 made of characters XML allows.
inline bool AllXmlChars(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || i + length > text.size()) return false;
    uint32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
      unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3F);
    }
    const uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kMin[length] || !IsXmlChar(c)) return false;
    i += length;
  }
  return true;
}

inline void AppendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
  } else if (c < 0x10000) {
    out += {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
            static_cast<char>(0x80 | (c & 0x3F))};
  } else {
    out += {static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
            static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
  }
}

// Decodes character data (text or an attribute value) into `out`.
inline bool DecodeCharData(std::string_view data, std::string& out, std::string& error) {
  for (size_t i = 0; i < data.size(); ++i) {
    if (data[i] == '<') return error = "'<' in character data", false;
    if (data.substr(i, 3) == "]]>") return error = "']]>' in character data", false;
    if (data[i] != '&') {
      out += data[i];
      continue;
    }
    size_t semi = data.find(';', i);
    if (semi == std::string_view::npos) return error = "unterminated reference", false;
    std::string_view name = data.substr(i + 1, semi - i - 1);
    const std::pair<std::string_view, char> kNamed[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    bool known = false;
    for (const auto& [entity, c] : kNamed)
      if (name == entity) out += c, known = true;
    if (!known) {
      bool hex = name.starts_with("#x");
      size_t start = hex ? 2 : 1;
      if (!name.starts_with("#") || name.size() <= start)
        return error = "unknown reference &" + std::string(name) + ";", false;
      uint64_t value = 0;
      for (char c : name.substr(start)) {
        int digit = c >= '0' && c <= '9'          ? c - '0'
                    : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                  : -1;
        if (digit < 0 || value > 0x10FFFF)
          return error = "bad reference " + std::string(name), false;
        value = value * (hex ? 16 : 10) + digit;
      }
      if (!IsXmlChar(static_cast<uint32_t>(value)) || value > 0x10FFFF)
        return error = "reference to a character XML forbids: " + std::string(name), false;
      AppendUtf8(out, static_cast<uint32_t>(value));
    }
    i = semi;
  }
  return true;
}

inline bool IsNameChar(char c, bool first) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' ||
         (!first && ((c >= '0' && c <= '9') || c == '-' || c == '.'));
}

// Reads the tag `tag` (without "<" and ">"): its name and its attributes' syntax.
inline bool ReadTag(std::string_view tag, std::string& name, std::string& error) {
  size_t i = 0;
  while (i < tag.size() && IsNameChar(tag[i], i == 0)) ++i;
  if (i == 0) return error = "bad tag <" + std::string(tag) + ">", false;
  name = tag.substr(0, i);
  while (true) {
    size_t space = i;
    while (i < tag.size() && (tag[i] == ' ' || tag[i] == '\n' || tag[i] == '\t')) ++i;
    if (i == tag.size()) return true;
    size_t attribute = i;
    while (i < tag.size() && IsNameChar(tag[i], i == attribute)) ++i;
    if (i == attribute || i == space || i + 1 >= tag.size() || tag[i] != '=' ||
        (tag[i + 1] != '"' && tag[i + 1] != '\''))
      return error = "bad attribute in <" + std::string(tag) + ">", false;
    size_t close = tag.find(tag[i + 1], i + 2);
    if (close == std::string_view::npos) return error = "unterminated attribute", false;
    std::string value;
    if (!DecodeCharData(tag.substr(i + 2, close - i - 2), value, error)) return false;
    i = close + 1;
  }
}

}  // namespace xml_detail

// Reads `document`; false with `error` when it is not well-formed.
inline bool ReadXml(std::string_view document, std::vector<XmlText>& texts, std::string& error) {
  using namespace xml_detail;
  if (!AllXmlChars(document)) return error = "a character XML forbids", false;
  std::vector<std::string> open;
  std::string text;
  bool hadChild = false, rootDone = false;
  for (size_t i = 0; i < document.size();) {
    size_t lt = document.find('<', i);
    std::string_view data = document.substr(i, lt == std::string_view::npos ? lt : lt - i);
    if (open.empty() && data.find_first_not_of(" \t\r\n") != std::string_view::npos)
      return error = "text outside the root element", false;
    if (!DecodeCharData(data, text, error)) return false;
    if (lt == std::string_view::npos) break;
    std::string_view rest = document.substr(lt);
    auto skip = [&](std::string_view opening, std::string_view closing) {
      size_t end = rest.find(closing, opening.size());
      if (end == std::string_view::npos) return false;
      i = lt + end + closing.size();
      return true;
    };
    if (rest.starts_with("<![CDATA[")) {
      if (open.empty() || !skip("<![CDATA[", "]]>")) return error = "bad CDATA section", false;
      text += rest.substr(9, i - lt - 12);
      continue;
    }
    if (rest.starts_with("<!--") || rest.starts_with("<?")) {
      if (!skip("<!--", rest[1] == '?' ? "?>" : "-->")) return error = "unterminated", false;
      continue;
    }
    size_t gt = rest.find('>');
    if (gt == std::string_view::npos) return error = "unterminated tag", false;
    i = lt + gt + 1;
    std::string_view tag = rest.substr(1, gt - 1);
    std::string name;
    if (tag.starts_with("/")) {
      if (!ReadTag(tag.substr(1), name, error)) return false;
      if (open.empty() || open.back() != name) return error = "mismatched </" + name + ">", false;
      if (!hadChild) texts.push_back({name, text});
      open.pop_back();
      hadChild = true;
      rootDone = open.empty();
    } else {
      bool empty = tag.ends_with("/");
      if (!ReadTag(empty ? tag.substr(0, tag.size() - 1) : tag, name, error)) return false;
      if (rootDone) return error = "a second root element", false;
      hadChild = empty;
      if (empty) rootDone = open.empty();
      if (!empty) open.push_back(name);
    }
    text.clear();
  }
  if (!open.empty() || !rootDone) return error = "unclosed elements", false;
  return true;
}

}  // namespace quorix::testing
