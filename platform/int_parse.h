// Reading the decimal integer at the start of a text.
//
// Every reader of a number in the programs goes through here: request
// parameters, node answers, settings files, the control panel's fields and
// command line. A number is optional blanks, an optional sign and at least one
// digit; whatever follows the digits is ignored ("12abc" reads as 12).
#pragma once

#include <cstdint>
#include <string_view>

namespace quorix {

// What may stand before the sign.
enum class IntBlanks {
  kAny,     // space, tab, line feed, carriage return, form feed, vertical tab
  kSpaces,  // spaces only (request parameters)
};

// What a number beyond the target type's range gives.
enum class IntOverflow {
  kClamp,   // the nearest value of the type
  kReject,  // no value, as if there were no number (settings files)
};

struct IntParseOptions {
  IntBlanks blanks = IntBlanks::kAny;
  IntOverflow overflow = IntOverflow::kClamp;
};

// Reads the number at the start of `text` into `value`. False, leaving `value`
// unchanged, when no digit follows the blanks and the optional sign (empty
// text, "abc", a lone "+" or "-"), or when the number is out of range and
// `options.overflow` is kReject.
bool ParseLeadingInt(std::string_view text, int32_t& value, IntParseOptions options = {});
bool ParseLeadingInt64(std::string_view text, int64_t& value, IntParseOptions options = {});

}  // namespace quorix
