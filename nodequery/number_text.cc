#include "nodequery/number_text.h"

#include <charconv>
#include <limits>

#include "platform/int_parse.h"

namespace quorix {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view SkipBlanks(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  return text.substr(pos);
}

template <typename T>
T Saturate(int64_t value) {
  if (value > std::numeric_limits<T>::max()) return std::numeric_limits<T>::max();
  if (value < std::numeric_limits<T>::min()) return std::numeric_limits<T>::min();
  return static_cast<T>(value);
}

}  // namespace

int64_t ReadDecimal64(std::string_view text) {
  int64_t value = 0;
  ParseLeadingInt64(text, value);
  return value;
}

int32_t ReadDecimal32(std::string_view text) {
  int32_t value = 0;
  ParseLeadingInt(text, value);
  return value;
}

double ReadDouble(std::string_view text) {
  text = SkipBlanks(text);
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  double value = 0;
  auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() ? value : 0;
}

int32_t AddSaturated(int32_t a, int64_t b) {
  if (b > std::numeric_limits<int32_t>::max()) b = std::numeric_limits<int32_t>::max();
  if (b < std::numeric_limits<int32_t>::min()) b = std::numeric_limits<int32_t>::min();
  return Saturate<int32_t>(static_cast<int64_t>(a) + b);
}

}  // namespace quorix
