// Text conversion and capacity limits.
//
// Inside both programs text is UTF-8 in std::string. Field capacities of the
// file formats are counted in UTF-16 code units (including the terminator);
// CutUtf16 enforces such a capacity without splitting a character.
// UTF-16LE appears only where a file format fixes it (cache files, .vlang files).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

namespace quorix {

// Returns `text` with every invalid UTF-8 sequence replaced by U+FFFD.
std::string RepairUtf8(std::string_view text);

// RepairUtf8 on `text` itself; valid text is neither copied nor changed.
void RepairUtf8InPlace(std::string& text);

// `text` holding only characters that both XML 1.0 and HTML accept in a
// document: control bytes other than tab, line feed and carriage return are
// dropped; invalid UTF-8 and the non-characters U+FFFE and U+FFFF become
// U+FFFD. Text without such characters comes back unchanged.
std::string MarkupSafeText(std::string_view text);

// Converts UTF-8 (invalid sequences become U+FFFD) to UTF-16.
std::u16string Utf8ToUtf16(std::string_view text);

// Converts UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// Number of UTF-16 code units that `text` (UTF-8) needs.
size_t Utf16Length(std::string_view text);

// The longest prefix of `text` (UTF-8) that fits in `maxUnits` UTF-16 code
// units, never splitting a character. A capacity of N wide characters that
// includes the terminator holds N - 1 units: callers pass N - 1.
std::string CutUtf16(std::string_view text, size_t maxUnits);

// The longest prefix of `text` that is at most `maxBytes` bytes long and does
// not end inside a UTF-8 sequence.
std::string CutBytes(std::string_view text, size_t maxBytes);

// Length in bytes of the UTF-8 character starting at text[pos], judged by its
// lead byte (1 for a stray byte) and never past the end of `text`.
size_t Utf8CharLength(std::string_view text, size_t pos);

// Encodes UTF-16 as little-endian bytes, and back (an odd trailing byte is dropped).
std::string Utf16ToLeBytes(std::u16string_view text);
std::u16string LeBytesToUtf16(std::string_view bytes);

// ASCII lower-case copy (bytes >= 0x80 unchanged).
std::string AsciiLower(std::string_view text);

// printf-style formatting into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Format with the arguments of a variadic caller.
std::string FormatV(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

}  // namespace quorix
