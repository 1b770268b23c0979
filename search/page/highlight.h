// Highlighting the query's terms in result texts.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quorix {

struct HighlightOptions {
  bool enabled = false;    // the node's Highlighting setting
  bool substring = false;  // SearchAsSubstring: match terms anywhere, not as words
  bool caseless = false;   // ToLowerSearchWords
};

// How the text is to be written.
enum class TextKind {
  kMarkup,  // HTML from a trusted node: matched and written as it is
  kPlain,   // untrusted plain text: matched as text, written HTML-escaped
};

// Returns `text` ready for the page, each match of a term pattern wrapped in
// <span class="highlight">...</span>. Terms are applied in order; a word-mode
// match must stand at the start or end of the text or next to a non-word
// character. After each match the search resumes one character past its end.
// A pattern that does not compile highlights nothing. With highlighting off
// the text comes back unchanged (kMarkup) or escaped (kPlain).
// With `regexes`, each expression is compiled once and reused for every text.
class Regex;
class HighlightRegexes {
 public:
  HighlightRegexes();
  ~HighlightRegexes();
  // The compiled expression; null when it does not compile.
  const Regex* Get(const std::string& expression, bool caseless);

 private:
  std::map<std::pair<std::string, bool>, std::unique_ptr<Regex>> compiled_;
};

std::string HighlightText(std::string_view text, const std::vector<std::string>& termPatterns,
                          const HighlightOptions& options, TextKind kind,
                          HighlightRegexes* regexes = nullptr);

}  // namespace quorix
