#include "search/page/query_terms.h"

#include <algorithm>
#include <functional>

#include "platform/html_escape.h"
#include "platform/text.h"
#include "platform/url_escape.h"
#include "search/page/highlight.h"
#include "search/page/regex.h"

namespace quorix {
namespace {

constexpr std::string_view kTermPattern = "\"(.*?)\"|[^\\s\"]+";

using TermVisitor = std::function<void(std::string_view)>;

void VisitQuotedTerms(const Regex& regex, std::string_view query, const TermVisitor& visit) {
  std::vector<Regex::Span> groups;
  size_t offset = 0;
  while (offset <= query.size()) {
    int rc = regex.Match(query, offset, groups);
    if (rc < 0) break;
    const Regex::Span& whole = groups[0];
    if (rc >= 2 && groups[1].matched)
      visit(query.substr(groups[1].start, groups[1].end - groups[1].start));
    else
      visit(query.substr(whole.start, whole.end - whole.start));
    // The next attempt skips the character behind the match (a separator or the
    // quote that closed it) only when another character follows that one.
    size_t end = whole.end;
    if (end < query.size() && end + Utf8CharLength(query, end) < query.size())
      offset = end + Utf8CharLength(query, end);
    else
      offset = end;
    if (whole.end == whole.start && offset == end) ++offset;  // never loop on an empty match
  }
}

void VisitSpacedTerms(std::string_view query, const TermVisitor& visit) {
  size_t pos = 0;
  while (pos < query.size()) {
    if (query[pos] == ' ') {
      ++pos;
      continue;
    }
    size_t end = query.find(' ', pos);
    if (end == std::string_view::npos) end = query.size();
    visit(query.substr(pos, end - pos));
    pos = end;
  }
}

// Escape sequence for one pattern character; empty when it is copied as is.
std::string_view PatternPiece(char c) {
  switch (c) {
    case '*':
      return "[\\d\\S]*";
    case '?':
      return ".";
    case '.':
      return "\\.";
    default:
      return {};
  }
}

bool NeedsBackslash(char c) {
  static constexpr std::string_view kSpecial = "/\\+[^]$(){}=!<>|:";
  return kSpecial.find(c) != std::string_view::npos;
}

}  // namespace

std::vector<std::string> SplitQueryTerms(std::string_view rawQuery) {
  std::function<void(const TermVisitor&)> walk;
  std::unique_ptr<Regex> regex;
  if (rawQuery.find('"') != std::string_view::npos) {
    regex = Regex::Compile(kTermPattern, false);
    if (!regex) return {};
    walk = [&](const TermVisitor& visit) { VisitQuotedTerms(*regex, rawQuery, visit); };
  } else {
    walk = [&](const TermVisitor& visit) { VisitSpacedTerms(rawQuery, visit); };
  }
  // Count first, then collect into storage of exactly that size.
  size_t count = 0;
  walk([&](std::string_view) { ++count; });
  std::vector<std::string> terms;
  terms.reserve(count);
  walk([&](std::string_view term) { terms.emplace_back(CutBytes(term, kTermMaxBytes)); });
  return terms;
}

void MoveExcludedTermsLast(std::string_view rawQuery, std::vector<std::string>& terms) {
  if (rawQuery.find('-') == std::string_view::npos) return;
  std::stable_partition(terms.begin(), terms.end(),
                        [](const std::string& term) { return term.empty() || term[0] != '-'; });
}

std::string HighlightPattern(std::string_view term) {
  std::string pattern;
  for (size_t pos = 0; pos < term.size();) {
    size_t length = Utf8CharLength(term, pos);
    char c = term[pos];
    std::string piece(PatternPiece(c));
    if (piece.empty()) {
      if (NeedsBackslash(c)) piece += '\\';
      piece.append(term.substr(pos, length));
    }
    if (pattern.size() + piece.size() > kTermMaxBytes) break;
    pattern += piece;
    pos += length;
  }
  return pattern;
}

TermList BuildTermList(std::string_view rawQuery) {
  TermList list;
  list.terms = SplitQueryTerms(rawQuery);
  MoveExcludedTermsLast(rawQuery, list.terms);
  list.termPatterns.reserve(list.terms.size());
  for (const std::string& term : list.terms) list.termPatterns.push_back(HighlightPattern(term));
  list.regexes = std::make_shared<HighlightRegexes>();
  return list;
}

void FillQueryForms(VexaQuery& query, LogSink& log) {
  query.query = CutUtf16(query.rawQuery, kQueryMaxUnits);
  std::string escaped = UrlEscape(query.query);
  if (escaped.size() > kEscapedQueryMaxBytes) {
    query.escapeFailed = true;
    log.Logf(kLogError, "Error escaping search term for HTTP GET");
  } else
    query.escapedQuery = escaped;
  query.query_out = HtmlEscapeLimited(query.rawQuery, kQueryOutLimit);
}

}  // namespace quorix
