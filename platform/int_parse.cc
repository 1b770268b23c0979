#include "platform/int_parse.h"

#include <limits>

namespace quorix {
namespace {

bool IsBlank(char c, IntBlanks blanks) {
  if (blanks == IntBlanks::kSpaces) return c == ' ';
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Reads a number of -(maxPositive + 1) to maxPositive.
bool ParseWithin(std::string_view text, uint64_t maxPositive, IntParseOptions options,
                 int64_t& value) {
  size_t at = 0;
  while (at < text.size() && IsBlank(text[at], options.blanks)) ++at;
  bool negative = at < text.size() && text[at] == '-';
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
  uint64_t limit = negative ? maxPositive + 1 : maxPositive;
  uint64_t magnitude = 0;
  bool over = false;
  size_t firstDigit = at;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    uint64_t digit = static_cast<uint64_t>(text[at] - '0');
    if (over || magnitude > (limit - digit) / 10)
      over = true;
    else
      magnitude = magnitude * 10 + digit;
  }
  if (at == firstDigit) return false;
  if (over) {
    if (options.overflow == IntOverflow::kReject) return false;
    magnitude = limit;
  }
  // Unsigned negation, so that the magnitude of the lowest value converts to it.
  value = static_cast<int64_t>(negative ? 0 - magnitude : magnitude);
  return true;
}

}  // namespace

bool ParseLeadingInt(std::string_view text, int32_t& value, IntParseOptions options) {
  int64_t wide = 0;
  if (!ParseWithin(text, std::numeric_limits<int32_t>::max(), options, wide)) return false;
  value = static_cast<int32_t>(wide);
  return true;
}

bool ParseLeadingInt64(std::string_view text, int64_t& value, IntParseOptions options) {
  return ParseWithin(text, std::numeric_limits<int64_t>::max(), options, value);
}

}  // namespace quorix
