// Character reference decoding for node XML: numeric references first, then the
// named references that nodes are known to send.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "nodequery/xml_scan.h"
#include "nodequery/xml_scan_internal.h"
#include "platform/text.h"

namespace quorix {
namespace {

struct NamedReference {
  std::string_view name;
  uint16_t value;
};

// The value of "euro" is the code unit that the Windows-1252 page shows as the
// euro sign; AppendNamedValue turns it into U+20AC for our UTF-8 pages.
constexpr std::array<NamedReference, 86> kNamedReferences = {{
    {"quot", 34},    {"ldquo", 34},   {"rdquo", 34},   {"amp", 38},     {"lsquo", 39},
    {"rsquo", 39},   {"lt", 60},      {"gt", 62},      {"euro", 128},   {"trade", 8482},
    {"cent", 162},   {"pound", 163},  {"yen", 165},    {"copy", 169},   {"reg", 174},
    {"laquo", 171},  {"raquo", 187},  {"Agrave", 192}, {"Aacute", 193}, {"Acirc", 194},
    {"Atilde", 195}, {"Auml", 196},   {"Aring", 197},  {"AElig", 198},  {"Ccedil", 199},
    {"Egrave", 200}, {"Eacute", 201}, {"Ecirc", 202},  {"Euml", 203},   {"Igrave", 204},
    {"Iacute", 205}, {"Icirc", 206},  {"Iuml", 207},   {"ETH", 208},    {"Ntilde", 209},
    {"Ograve", 210}, {"Oacute", 211}, {"Ocirc", 212},  {"Otilde", 213}, {"Ouml", 214},
    {"times", 215},  {"Oslash", 216}, {"Ugrave", 217}, {"Uacute", 218}, {"Ucirc", 219},
    {"Uuml", 220},   {"Yacute", 221}, {"THORN", 222},  {"szlig", 223},  {"agrave", 224},
    {"aacute", 225}, {"acirc", 226},  {"atilde", 227}, {"auml", 228},   {"aring", 229},
    {"aelig", 230},  {"ccedil", 231}, {"egrave", 232}, {"eacute", 233}, {"ecirc", 234},
    {"euml", 235},   {"igrave", 236}, {"iacute", 237}, {"icirc", 238},  {"iuml", 239},
    {"eth", 240},    {"ntilde", 241}, {"ograve", 242}, {"oacute", 243}, {"ocirc", 244},
    {"otilde", 245}, {"ouml", 246},   {"divide", 247}, {"oslash", 248}, {"ugrave", 249},
    {"uacute", 250}, {"ucirc", 251},  {"uuml", 252},   {"yacute", 253}, {"thorn", 254},
    {"yuml", 255},   {"OElig", 338},  {"oelig", 339},  {"Scaron", 352}, {"scaron", 353},
    {"Yuml", 376},
}};

constexpr uint16_t kEuroCodeUnit = 128;
constexpr char16_t kEuroSign = 0x20AC;
constexpr char16_t kReplacementCharacter = 0xFFFD;

// Appends one UTF-16 code unit as UTF-8. A NUL never reaches our text, so it
// is dropped; a lone surrogate becomes U+FFFD.
void AppendCodeUnit(std::string& out, uint16_t unit) {
  if (unit == 0) return;
  char16_t wide = unit;
  if (unit >= 0xD800 && unit <= 0xDFFF) wide = kReplacementCharacter;
  out += Utf16ToUtf8(std::u16string_view(&wide, 1));
}

void AppendNamedValue(std::string& out, uint16_t value) {
  if (value == kEuroCodeUnit) {
    out += Utf16ToUtf8(std::u16string_view(&kEuroSign, 1));
    return;
  }
  AppendCodeUnit(out, value);
}

bool LookUpName(std::string_view name, uint16_t* value) {
  for (const auto& entry : kNamedReferences) {
    if (entry.name == name) {
      *value = entry.value;
      return true;
    }
  }
  return false;
}

int DigitValue(char c, int base) {
  int digit = -1;
  if (c >= '0' && c <= '9') digit = c - '0';
  if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
  if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
  return digit < base ? digit : -1;
}

// Reads an optional sign and leading digits; returns the value and sets `used`
// to the characters consumed. The references are short (the ";" distance rule),
// so the value cannot overflow.
int64_t ReadNumber(std::string_view text, int base, size_t* used) {
  size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  size_t digitsStart = pos;
  int64_t value = 0;
  while (pos < text.size() && DigitValue(text[pos], base) >= 0 && value < (int64_t{1} << 40)) {
    value = value * base + DigitValue(text[pos], base);
    ++pos;
  }
  *used = pos == digitsStart ? 0 : pos;
  return negative ? -value : value;
}

// A decoded reference's character: nothing for a NUL, which never reaches our
// text; U+FFFD for a surrogate or a value beyond Unicode.
void AppendCodePoint(std::string& out, int64_t value) {
  if (value <= 0xFFFF) {
    AppendCodeUnit(out, static_cast<uint16_t>(value));
  } else if (value > 0x10FFFF) {
    AppendCodeUnit(out, kReplacementCharacter);
  } else {
    const char16_t pair[2] = {static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10)),
                              static_cast<char16_t>(0xDC00 + ((value - 0x10000) & 0x3FF))};
    out += Utf16ToUtf8(std::u16string_view(pair, 2));
  }
}

// `body` is the text between "&#" and ";". Returns true with the reference's
// whole value (never cut to fewer bits) when the reference decodes.
bool DecodeNumericBody(std::string_view body, int64_t* codePoint) {
  size_t used = 0;
  int64_t value = ReadNumber(body, 10, &used);
  if (value > 0 || (value == 0 && !body.empty() && body[0] == '0')) {
    *codePoint = value;
    return true;
  }
  if (value != 0 || body.empty() || body[0] != 'x') return false;
  std::string_view hex = body.substr(1);
  value = ReadNumber(hex, 16, &used);
  if (hex.empty() || used != hex.size() || value < 0) return false;
  *codePoint = value;
  return true;
}

// Finds the first ";" at or after `from`, reusing the last answer while it is
// still ahead, so that a long text with many "&" is scanned once.
class SemicolonFinder {
 public:
  explicit SemicolonFinder(std::string_view text) : text_(text) {}
  size_t From(size_t from) {
    if (!known_ || (cached_ != std::string_view::npos && cached_ < from)) {
      cached_ = text_.find(';', from);
      known_ = true;
    }
    return cached_;
  }

 private:
  std::string_view text_;
  size_t cached_ = 0;
  bool known_ = false;
};

void DecodeNumericReferences(std::string& text) {
  std::string out;
  size_t copied = 0;
  size_t pos = 0;
  SemicolonFinder semicolons(text);
  while (true) {
    size_t amp = text.find("&#", pos);
    if (amp == std::string::npos) break;
    size_t semi = semicolons.From(amp);
    if (semi == std::string::npos) break;
    if (Utf16DistanceAtLeast(text, amp, semi, 8)) {
      pos = amp + 1;
      continue;
    }
    if (out.empty()) out.reserve(text.size());
    out.append(text, copied, amp - copied);
    int64_t codePoint = 0;
    if (DecodeNumericBody(std::string_view(text).substr(amp + 2, semi - amp - 2), &codePoint))
      AppendCodePoint(out, codePoint);
    else
      out += '&';
    copied = pos = semi + 1;
  }
  if (copied == 0) return;
  out.append(text, copied);
  text = std::move(out);
}

void DecodeNamedReferences(std::string& text) {
  std::string out;
  size_t copied = 0;
  size_t pos = 0;
  SemicolonFinder semicolons(text);
  while (true) {
    size_t amp = text.find('&', pos);
    if (amp == std::string::npos) break;
    size_t semi = semicolons.From(amp + 1);
    if (semi == std::string::npos) break;
    if (Utf16DistanceAtLeast(text, amp, semi, 9)) {
      pos = amp + 1;
      continue;
    }
    // With a further "&" before the ";" only the last one starts the reference;
    // the text before it is kept.
    size_t start = text.rfind('&', semi);
    uint16_t value = 0;
    if (!LookUpName(std::string_view(text).substr(start + 1, semi - start - 1), &value)) {
      pos = semi;
      continue;
    }
    if (out.empty()) out.reserve(text.size());
    out.append(text, copied, start - copied);
    AppendNamedValue(out, value);
    copied = pos = semi + 1;
  }
  if (copied == 0) return;
  out.append(text, copied);
  text = std::move(out);
}

}  // namespace

bool Utf16DistanceAtLeast(std::string_view text, size_t from, size_t to, size_t limit) {
  size_t bytes = to - from;
  if (bytes < limit) return false;      // never more units than bytes
  if (bytes >= 3 * limit) return true;  // never more than 3 bytes per unit
  return Utf16Length(text.substr(from, bytes)) >= limit;
}

char32_t NamedReferenceCodePoint(std::string_view name) {
  uint16_t value = 0;
  if (!LookUpName(name, &value)) return 0;
  return value == kEuroCodeUnit ? kEuroSign : value;
}

void DecodeCharacterReferences(std::string& text) {
  DecodeNumericReferences(text);
  DecodeNamedReferences(text);
}

}  // namespace quorix
