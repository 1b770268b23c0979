// Decoding of a CGI request into its form fields.
//
// Decoding is pure: it takes the request's method, content type, content length
// and a reader for the body, and never looks at the environment itself.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace quorix {

// The text of a form status (kCgiOk and the kCgi... codes of
// platform/status.h); empty for any other code.
const char* CgiErrorText(Status status);

// A POST body longer than this is refused with kCgiOutOfMemory without being read.
inline constexpr uint64_t kMaxPostBytes = 1024 * 1024;

// The parts of the CGI environment that decoding needs. Unset variables are empty.
struct CgiRequest {
  std::string method;         // REQUEST_METHOD
  std::string contentType;    // CONTENT_TYPE
  std::string contentLength;  // CONTENT_LENGTH
  std::string queryString;    // QUERY_STRING
};

// Reads up to `size` bytes of the request body into `buffer`; returns how many
// were read, 0 at the end of the input or on an error.
using BodyReader = std::function<size_t(char* buffer, size_t size)>;

// The decoded fields of one request, in the order they arrived, with a cursor
// so that a repeated name yields its values one after another.
class FormList {
 public:
  struct Pair {
    std::string name;   // exactly as it arrived (never percent-decoded)
    std::string value;  // decoded
  };

  FormList() = default;
  explicit FormList(std::vector<Pair> pairs) : pairs_(std::move(pairs)) {}

  // Restarts at the first pair and returns the value of the first pair named
  // `name`; the cursor then stands just behind it. Status kCgiOk, or
  // kCgiNotSubmitted when absent.
  std::optional<std::string_view> FindValue(std::string_view name);
  // Like FindValue, but continues from the cursor.
  std::optional<std::string_view> NextValue(std::string_view name);

  // Reads an integer field. Status kCgiNotSubmitted when absent, kCgiNoData when
  // empty or blank, kCgiNotLegalType when no digit follows the optional sign;
  // `out` is then 1 and the caller applies its default. On kCgiOk `out` holds the value of the
  // leading spaces, sign and digits (12abc reads as 12; values beyond 32 bits are clamped). A
  // repeated name gives its first value that reads as an integer; when none does, the status is the
  // first value's.
  int GetIntValue(std::string_view name, int32_t& out);

  // Reads a repeated integer field into `values` (cleared first), at most
  // `capacity` entries. The first value is taken without a digit check; later
  // empty values are skipped. Status kCgiNotSubmitted when absent, kCgiNoData
  // when the first is empty (nothing stored), else kCgiOk.
  int GetIntValues(std::string_view name, std::vector<int32_t>& values, size_t capacity);

  // Status of the last operation on this list (also set by ReadForm).
  int status() const { return status_; }
  void set_status(int status) { status_ = status; }
  const std::vector<Pair>& pairs() const { return pairs_; }

 private:
  std::optional<std::string_view> FindFrom(size_t start, std::string_view name);

  std::vector<Pair> pairs_;
  size_t cursor_ = 0;
  int status_ = kCgiOk;
};

// Splits an url-encoded form ("a=1&b=2") into pairs. Only values are decoded:
// '+' becomes a space, then %XX one byte. A piece without '=' joins the next
// pair's name (a&b=1 is one pair named "a&b").
std::vector<FormList::Pair> ParseFormPairs(std::string_view encoded);

// Decodes a form value: '+' to space, then %XX (hex digits in either case) to
// one byte. A '%' not followed by two hex digits is kept as it stands. A decoded
// NUL byte ends the value.
std::string DecodeFormValue(std::string_view value);

// Reads and decodes a request. POST needs the content type
// application/x-www-form-urlencoded (in any case, parameters such as
// "; charset=UTF-8" allowed) and reads CONTENT_LENGTH bytes
// (0 or non-numeric: empty form; above kMaxPostBytes: kCgiOutOfMemory without
// reading; fewer bytes: kCgiIoError). GET decodes QUERY_STRING. Any other
// method: kCgiMethodError. Returns the status; `form` holds the fields on
// kCgiOk and is empty otherwise.
int ReadForm(const CgiRequest& request, const BodyReader& readBody, FormList& form);

}  // namespace quorix
