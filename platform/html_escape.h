// Escaping narrow text for HTML within a length limit.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quorix {

// Replaces & < > and " by their character references, so the text can stand in
// element content and in a double-quoted attribute.
std::string EscapeHtmlText(std::string_view text);

// EscapeHtmlText within a limit: the result is always shorter than `limit`
// bytes. When the whole escaped text would not fit, the text is cut first so
// that its escaped form does, never inside a character reference or a UTF-8
// sequence. Never hands back an unescaped character.
std::string HtmlEscapeLimited(std::string_view text, size_t limit);

// Replaces & < > " and ' by their character references, so the text can stand
// in element content and in a double- or single-quoted attribute (HTML or XML).
std::string EscapeHtml(std::string_view text);

// The content of `text` when `text` is one whole CDATA section
// ("<![CDATA[" ... "]]>" with no other "]]>"); nothing otherwise.
std::optional<std::string_view> CdataSectionContent(std::string_view text);

}  // namespace quorix
