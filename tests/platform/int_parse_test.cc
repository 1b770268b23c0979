#include "platform/int_parse.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace quorix {
namespace {

constexpr int64_t kMax32 = std::numeric_limits<int32_t>::max();
constexpr int64_t kMin32 = std::numeric_limits<int32_t>::min();
constexpr int64_t kMax64 = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin64 = std::numeric_limits<int64_t>::min();

constexpr IntParseOptions kAny{};
constexpr IntParseOptions kForm{IntBlanks::kSpaces, IntOverflow::kClamp};
constexpr IntParseOptions kSettings{IntBlanks::kAny, IntOverflow::kReject};

// The rows come from the callers: request parameters (kForm), settings files
// (kSettings), node answers, time-outs and the command line (kAny).
TEST(IntParse, LeadingInteger) {
  struct Case {
    std::string text;
    IntParseOptions options;
    bool wide;  // ParseLeadingInt64
    bool ok;
    int64_t value;  // 77 (the value before) when not ok
  } cases[] = {
      {"25", kForm, false, true, 25},
      {"+7", kForm, false, true, 7},
      {"-3", kForm, false, true, -3},
      {"0", kForm, false, true, 0},
      {" 25x", kForm, false, true, 25},
      {"12abc", kForm, false, true, 12},
      {"abc", kForm, false, false, 77},
      {"+", kForm, false, false, 77},
      {"-", kForm, false, false, 77},
      {"", kForm, false, false, 77},
      {"   ", kForm, false, false, 77},
      {"\t5", kForm, false, false, 77},  // only spaces lead a parameter
      {"- 5", kForm, false, false, 77},
      {"99999999999", kForm, false, true, kMax32},
      {"-99999999999", kForm, false, true, kMin32},
      {"123", kSettings, false, true, 123},
      {"-4\r", kSettings, false, true, -4},
      {"2147483647", kSettings, false, true, kMax32},
      {"-2147483648", kSettings, false, true, kMin32},
      {"2147483648", kSettings, false, false, 77},
      {"-2147483649", kSettings, false, false, 77},
      {"99999999999", kSettings, false, false, 77},
      {"000000000000012", kSettings, false, true, 12},
      {"\n\t\v\f\r 42<", kAny, false, true, 42},
      {"2147483648", kAny, false, true, kMax32},
      {"-2147483649", kAny, false, true, kMin32},
      {"7abc", kAny, false, true, 7},
      {"x1", kAny, false, false, 77},
      {" 180000 ms", kAny, true, true, 180000},
      {"1239703200", kAny, true, true, 1239703200},
      {"9223372036854775807", kAny, true, true, kMax64},
      {"9223372036854775808", kAny, true, true, kMax64},
      {"-9223372036854775808", kAny, true, true, kMin64},
      {"-99999999999999999999999", kAny, true, true, kMin64},
      {"9223372036854775808", kSettings, true, false, 77},
      {"+", kAny, true, false, 77},
  };
  for (const auto& c : cases) {
    int64_t value = 77;
    bool ok;
    if (c.wide) {
      ok = ParseLeadingInt64(c.text, value, c.options);
    } else {
      int32_t narrow = 77;
      ok = ParseLeadingInt(c.text, narrow, c.options);
      value = narrow;
    }
    EXPECT_EQ(ok, c.ok) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
  }
}

}  // namespace
}  // namespace quorix
