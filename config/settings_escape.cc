#include "config/settings_escape.h"

#include <array>

namespace quorix {
namespace {

struct Replacement {
  std::string_view utf8;
  std::string_view written;
};

constexpr std::array<Replacement, 14> kReplacements = {{
    {"\"", "\\\""},
    {"\\", "\\\\"},
    {"&", "&#38;"},
    {"<", "&#60;"},
    {">", "&#62;"},
    {"\xC2\xA2", "&#162;"},
    {"\xC2\xA3", "&#163;"},
    {"\xC2\xA5", "&#165;"},
    {"\xC2\xA9", "&#169;"},
    {"\xC2\xAE", "&#174;"},
    {"\xE2\x80\x9C", "&#8220;"},
    {"\xE2\x80\x9D", "&#8221;"},
    {"\xE2\x82\xAC", "&#128;"},
    {"\xE2\x84\xA2", "&#8482;"},
}};

}  // namespace

std::string EscapeSettingsValue(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (size_t pos = 0; pos < value.size();) {
    const Replacement* match = nullptr;
    for (const auto& replacement : kReplacements) {
      if (value.substr(pos, replacement.utf8.size()) == replacement.utf8) {
        match = &replacement;
        break;
      }
    }
    if (match) {
      out += match->written;
      pos += match->utf8.size();
    } else {
      out += value[pos++];
    }
  }
  return out;
}

}  // namespace quorix
