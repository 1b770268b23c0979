// Reading numbers out of node text the way the response format expects:
// leading blanks, an optional sign and the leading digits; no digits give 0.
#pragma once

#include <cstdint>
#include <string_view>

namespace quorix {

// Decimal integer, saturated to the int64 range.
int64_t ReadDecimal64(std::string_view text);

// Decimal integer, saturated to the int32 range.
int32_t ReadDecimal32(std::string_view text);

// Decimal number with an optional fraction and exponent; 0 when none.
double ReadDouble(std::string_view text);

// a + b, saturated to the int32 range.
int32_t AddSaturated(int32_t a, int64_t b);

}  // namespace quorix
