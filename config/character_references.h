// The characters that settings files hold as character references, shared by
// the control panel's settings writer and reader.
#pragma once

namespace quorix {

struct CharacterReference {
  char32_t codePoint;
  const char* text;
};

// The euro sign is written as "&#128;" (its place in the Windows-1252 code
// page), which the pages the search program writes have always shown as a euro.
inline constexpr CharacterReference kSettingsReferences[] = {
    {U'&', "&#38;"},     {U'<', "&#60;"},     {U'>', "&#62;"},    {0x00A2, "&#162;"},
    {0x00A3, "&#163;"},  {0x00A5, "&#165;"},  {0x00A9, "&#169;"}, {0x00AE, "&#174;"},
    {0x201C, "&#8220;"}, {0x201D, "&#8221;"}, {0x20AC, "&#128;"}, {0x2122, "&#8482;"},
};

}  // namespace quorix
