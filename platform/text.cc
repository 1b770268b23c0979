#include "platform/text.h"

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace quorix {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at text[pos]. Returns its length in bytes and the
// code point; an invalid or truncated sequence yields 1 byte and U+FFFD.
size_t DecodeOne(std::string_view text, size_t pos, char32_t* out) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(pos);
  if (lead < 0x80) {
    *out = lead;
    return 1;
  }
  size_t length;
  char32_t cp;
  char32_t min;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, cp = lead & 0x1F, min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, cp = lead & 0x0F, min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, cp = lead & 0x07, min = 0x10000;
  } else {
    *out = kReplacement;
    return 1;
  }
  if (pos + length > text.size()) {
    *out = kReplacement;
    return 1;
  }
  for (size_t i = 1; i < length; ++i) {
    unsigned char c = byte(pos + i);
    if ((c & 0xC0) != 0x80) {
      *out = kReplacement;
      return 1;
    }
    cp = (cp << 6) | (c & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    *out = kReplacement;
    return 1;
  }
  *out = cp;
  return length;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool IsAscii(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

}  // namespace

std::string RepairUtf8(std::string_view text) {
  if (IsAscii(text)) return std::string(text);
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    char32_t cp;
    size_t length = DecodeOne(text, pos, &cp);
    if (cp == kReplacement && length == 1)
      AppendUtf8(out, kReplacement);
    else
      out.append(text.substr(pos, length));
    pos += length;
  }
  return out;
}

std::string MarkupSafeText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[pos]);
    if (c < 0x80) {
      if (c >= 0x20 || c == '\t' || c == '\n' || c == '\r') out += static_cast<char>(c);
      ++pos;
      continue;
    }
    char32_t cp;
    size_t length = DecodeOne(text, pos, &cp);
    if (cp == 0xFFFE || cp == 0xFFFF || (cp == kReplacement && length == 1))
      AppendUtf8(out, kReplacement);
    else
      out.append(text.substr(pos, length));
    pos += length;
  }
  return out;
}

void RepairUtf8InPlace(std::string& text) {
  for (size_t pos = 0; pos < text.size();) {
    // Runs of ASCII, eight bytes at a time.
    uint64_t word;
    if (pos + sizeof word <= text.size()) {
      std::memcpy(&word, text.data() + pos, sizeof word);
      if ((word & 0x8080808080808080ull) == 0) {
        pos += sizeof word;
        continue;
      }
    }
    if (static_cast<unsigned char>(text[pos]) < 0x80) {
      ++pos;
      continue;
    }
    char32_t cp;
    size_t length = DecodeOne(text, pos, &cp);
    if (cp == kReplacement && length == 1) {
      text = RepairUtf8(text);
      return;
    }
    pos += length;
  }
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    char32_t cp;
    pos += DecodeOne(text, pos, &cp);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

size_t Utf16Length(std::string_view text) {
  size_t units = 0;
  for (size_t pos = 0; pos < text.size();) {
    char32_t cp;
    pos += DecodeOne(text, pos, &cp);
    units += cp >= 0x10000 ? 2 : 1;
  }
  return units;
}

std::string CutUtf16(std::string_view text, size_t maxUnits) {
  if (text.size() <= maxUnits) return std::string(text);  // never more units than bytes
  size_t units = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    char32_t cp;
    size_t length = DecodeOne(text, pos, &cp);
    size_t need = cp >= 0x10000 ? 2 : 1;
    if (units + need > maxUnits) break;
    units += need;
    pos += length;
  }
  return std::string(text.substr(0, pos));
}

size_t Utf8CharLength(std::string_view text, size_t pos) {
  unsigned char lead = static_cast<unsigned char>(text[pos]);
  size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  return std::min(length, text.size() - pos);
}

std::string CutBytes(std::string_view text, size_t maxBytes) {
  if (text.size() <= maxBytes) return std::string(text);
  size_t end = maxBytes;
  // Step back over continuation bytes so that no sequence is split.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(text.substr(0, end));
}

std::string Utf16ToLeBytes(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char16_t unit : text) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
  }
  return out;
}

std::u16string LeBytesToUtf16(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    out += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                 (static_cast<unsigned char>(bytes[i + 1]) << 8));
  }
  return out;
}

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string FormatV(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int length = vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string out;
  if (length > 0) {
    out.resize(static_cast<size_t>(length));
    vsnprintf(out.data(), out.size() + 1, format, args);
  }
  return out;
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out = FormatV(format, args);
  va_end(args);
  return out;
}

}  // namespace quorix
