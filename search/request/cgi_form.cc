#include "search/request/cgi_form.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

#include "platform/int_parse.h"
#include "platform/text.h"

namespace quorix {
namespace {

struct StatusText {
  Status status;
  const char* text;
};

constexpr StatusText kStatusTexts[] = {
    {kCgiOk, "The function successfully performed"},
    {kCgiOutOfMemory, "Out-of-memory error"},
    {kCgiContentTypeError, "MIME content type error"},
    {kCgiMethodError, "Request method error"},
    {kCgiIoError, "I/O error"},
    {kCgiValueCut, "Value was cut short"},
    {kCgiNotLegalType, "Value was not a legal type"},
    {kCgiNoData, "Value contained no data"},
    {kCgiNotSubmitted, "No value was submitted"},
};

constexpr std::string_view kFormContentType = "application/x-www-form-urlencoded";

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The value of the leading decimal digits of `text`; saturates instead of
// overflowing. Non-numeric text reads as 0.
uint64_t LeadingUnsigned(std::string_view text) {
  uint64_t value = 0;
  for (char c : text) {
    if (!IsDigit(c)) break;
    if (value > (std::numeric_limits<uint64_t>::max() - 9) / 10)
      return std::numeric_limits<uint64_t>::max();
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return value;
}

constexpr IntParseOptions kFormInt{IntBlanks::kSpaces, IntOverflow::kClamp};

// atoi-like: leading spaces, optional sign, digits; clamped to 32 bits.
int32_t LeadingInt(std::string_view text) {
  int32_t value = 0;
  ParseLeadingInt(text, value, kFormInt);
  return value;
}

// Whether `value` reads as an integer: kCgiOk, kCgiNoData when it is blank,
// kCgiNotLegalType when no digit follows the optional sign.
int IntValueStatus(std::string_view value) {
  int32_t number = 0;
  if (ParseLeadingInt(value, number, kFormInt)) return kCgiOk;
  return value.find_first_not_of(' ') == std::string_view::npos ? kCgiNoData : kCgiNotLegalType;
}

// Reads exactly `length` bytes; false when the input ends first.
bool ReadExactly(const BodyReader& readBody, size_t length, std::string& body) {
  body.assign(length, '\0');
  size_t got = 0;
  while (got < length) {
    size_t n = readBody ? readBody(body.data() + got, length - got) : 0;
    if (n == 0) return false;
    got += n;
  }
  return true;
}

}  // namespace

const char* CgiErrorText(Status status) {
  for (const StatusText& entry : kStatusTexts)
    if (entry.status == status) return entry.text;
  return "";
}

std::string DecodeFormValue(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%' && i + 2 < value.size() && HexDigit(value[i + 1]) >= 0 &&
               HexDigit(value[i + 2]) >= 0) {
      char byte = static_cast<char>(HexDigit(value[i + 1]) * 16 + HexDigit(value[i + 2]));
      if (byte == '\0') break;  // the value ends at a decoded NUL, as a C string would
      out += byte;
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

std::vector<FormList::Pair> ParseFormPairs(std::string_view encoded) {
  std::vector<FormList::Pair> pairs;
  size_t start = 0;
  while (start <= encoded.size()) {
    size_t equals = encoded.find('=', start);
    if (equals == std::string_view::npos) break;
    size_t amp = encoded.find('&', equals + 1);
    size_t valueEnd = amp == std::string_view::npos ? encoded.size() : amp;
    pairs.push_back({std::string(encoded.substr(start, equals - start)),
                     DecodeFormValue(encoded.substr(equals + 1, valueEnd - equals - 1))});
    if (amp == std::string_view::npos) break;
    start = amp + 1;
  }
  return pairs;
}

namespace {

// The form's media type, in any case, with or without parameters such as a charset.
bool IsFormContentType(std::string_view contentType) {
  std::string_view type = contentType.substr(0, contentType.find(';'));
  while (!type.empty() && (type.back() == ' ' || type.back() == '\t')) type.remove_suffix(1);
  while (!type.empty() && (type.front() == ' ' || type.front() == '\t')) type.remove_prefix(1);
  return AsciiLower(type) == kFormContentType;
}

}  // namespace

int ReadForm(const CgiRequest& request, const BodyReader& readBody, FormList& form) {
  form = FormList();
  std::string buffer;
  if (request.method == "POST") {
    if (!IsFormContentType(request.contentType)) {
      form.set_status(kCgiContentTypeError);
      return kCgiContentTypeError;
    }
    uint64_t length = LeadingUnsigned(request.contentLength);
    // A body this large is no search form; refusing it before reading keeps a
    // hostile CONTENT_LENGTH from making us allocate gigabytes.
    if (length > kMaxPostBytes) {
      form.set_status(kCgiOutOfMemory);
      return kCgiOutOfMemory;
    }
    if (length > 0 && !ReadExactly(readBody, static_cast<size_t>(length), buffer)) {
      form.set_status(kCgiIoError);
      return kCgiIoError;
    }
  } else if (request.method == "GET") {
    buffer = request.queryString;
  } else {
    form.set_status(kCgiMethodError);
    return kCgiMethodError;
  }
  form = FormList(ParseFormPairs(buffer));
  return kCgiOk;
}

std::optional<std::string_view> FormList::FindFrom(size_t start, std::string_view name) {
  for (size_t i = start; i < pairs_.size(); ++i) {
    if (pairs_[i].name == name) {
      cursor_ = i + 1;
      status_ = kCgiOk;
      return pairs_[i].value;
    }
  }
  cursor_ = pairs_.size();
  status_ = kCgiNotSubmitted;
  return std::nullopt;
}

std::optional<std::string_view> FormList::FindValue(std::string_view name) {
  return FindFrom(0, name);
}

std::optional<std::string_view> FormList::NextValue(std::string_view name) {
  return FindFrom(cursor_, name);
}

int FormList::GetIntValue(std::string_view name, int32_t& out) {
  out = 1;
  int first = kCgiNotSubmitted;
  for (auto value = FindValue(name); value; value = NextValue(name)) {
    int status = IntValueStatus(*value);
    if (status == kCgiOk) {
      out = LeadingInt(*value);
      return status_ = kCgiOk;
    }
    if (first == kCgiNotSubmitted) first = status;
  }
  return status_ = first;
}

int FormList::GetIntValues(std::string_view name, std::vector<int32_t>& values, size_t capacity) {
  values.clear();
  std::optional<std::string_view> value = FindValue(name);
  if (!value) return status_ = kCgiNotSubmitted;
  if (value->empty()) return status_ = kCgiNoData;
  if (capacity > 0) values.push_back(LeadingInt(*value));
  while (values.size() < capacity) {
    value = NextValue(name);
    if (!value) break;
    if (!value->empty()) values.push_back(LeadingInt(*value));
  }
  return status_ = kCgiOk;
}

}  // namespace quorix
