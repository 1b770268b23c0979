#include "search/page/highlight.h"

#include <memory>

#include "platform/html_text.h"
#include "search/page/regex.h"

namespace quorix {
namespace {

// Stand-ins for the span tags while later terms are matched, so that no term
// can match inside markup inserted for an earlier one.
constexpr std::string_view kOpenMarker = "[;:]";
constexpr std::string_view kCloseMarker = "[:;]";
constexpr std::string_view kOpenSpan = "<span class=\"highlight\">";
constexpr std::string_view kCloseSpan = "</span>";

// Longest regular expression built for one term; a longer one is skipped
// rather than cut into a different expression.
constexpr size_t kExpressionMaxBytes = 2047;

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  for (;;) {
    size_t hit = text.find(from, pos);
    if (hit == std::string_view::npos) break;
    out.append(text.substr(pos, hit - pos));
    out.append(to);
    pos = hit + from.size();
  }
  out.append(text.substr(pos));
  return out;
}

void AppendGroup(std::string& out, std::string_view text, const Regex::Span& group) {
  if (group.matched) out.append(text.substr(group.start, group.end - group.start));
}

// Marks every match of one term in `text`; returns false when nothing changed.
bool MarkTerm(std::string& text, const Regex& regex, bool substring) {
  std::vector<Regex::Span> groups;
  std::string rebuilt;
  size_t prev = 0;
  size_t offset = 0;
  for (;;) {
    int rc = regex.Match(text, offset, groups);
    bool counted = substring ? rc >= 1 : rc == 4;
    if (!counted) break;
    const Regex::Span& whole = groups[0];
    rebuilt.append(text, prev, whole.start - prev);
    if (substring) {
      rebuilt.append(kOpenMarker);
      AppendGroup(rebuilt, text, whole);
      rebuilt.append(kCloseMarker);
    } else {
      AppendGroup(rebuilt, text, groups[1]);
      rebuilt.append(kOpenMarker);
      AppendGroup(rebuilt, text, groups[2]);
      rebuilt.append(kCloseMarker);
      AppendGroup(rebuilt, text, groups[3]);
    }
    prev = whole.end;
    // The character right after a match never starts the next one.
    if (whole.end + 1 >= text.size()) break;
    offset = whole.end + 1;
  }
  if (prev == 0) return false;
  rebuilt.append(text, prev, std::string::npos);
  text = std::move(rebuilt);
  return true;
}

}  // namespace

HighlightRegexes::HighlightRegexes() = default;
HighlightRegexes::~HighlightRegexes() = default;

const Regex* HighlightRegexes::Get(const std::string& expression, bool caseless) {
  auto [entry, added] = compiled_.try_emplace({expression, caseless});
  if (added) entry->second = Regex::Compile(expression, caseless);
  return entry->second.get();
}

std::string HighlightText(std::string_view text, const std::vector<std::string>& termPatterns,
                          const HighlightOptions& options, TextKind kind,
                          HighlightRegexes* regexes) {
  if (text.empty()) return {};
  if (!options.enabled) return kind == TextKind::kPlain ? EscapeHtml(text) : std::string(text);
  std::string working(text);
  for (const std::string& pattern : termPatterns) {
    if (pattern.empty()) continue;
    std::string expression =
        options.substring ? "(" + pattern + ")" : "(\\A|\\W|\\b)(" + pattern + ")(\\Z|\\W|\\b)";
    if (expression.size() > kExpressionMaxBytes) continue;
    std::unique_ptr<Regex> own;
    const Regex* regex = nullptr;
    if (regexes) {
      regex = regexes->Get(expression, options.caseless);
    } else {
      own = Regex::Compile(expression, options.caseless);
      regex = own.get();
    }
    if (!regex) continue;
    MarkTerm(working, *regex, options.substring);
  }
  // The markers hold no character that escaping changes, so they survive it.
  if (kind == TextKind::kPlain) working = EscapeHtml(working);
  working = ReplaceAll(working, kOpenMarker, kOpenSpan);
  return ReplaceAll(working, kCloseMarker, kCloseSpan);
}

}  // namespace quorix
