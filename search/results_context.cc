#include "search/results_context.h"

#include "search/highlight.h"
#include "search/html_text.h"

namespace quorix {

void WriteNodeText(const ResultsContext& context, const Channel& channel, std::string_view text,
                   bool stripTags) {
  HighlightOptions options;
  options.enabled = channel.settings.Highlighting;
  options.substring = channel.settings.SearchAsSubstring;
  options.caseless = channel.settings.ToLowerSearchWords;
  if (IsTrustedNode(channel)) {
    context.out.Write(HighlightText(text, context.terms.termPatterns, options, TextKind::kMarkup,
                                    context.terms.regexes.get()));
    return;
  }
  std::string plain = stripTags ? StripTags(text) : std::string(text);
  context.out.Write(HighlightText(plain, context.terms.termPatterns, options, TextKind::kPlain,
                                  context.terms.regexes.get()));
}

std::string NodeAttribute(const Channel& channel, std::string_view text) {
  return IsTrustedNode(channel) ? std::string(text) : EscapeHtml(text);
}

std::string LinkAnchor(const Channel& channel, std::string_view link) {
  std::string anchor = "<a href=\"" + NodeAttribute(channel, link) + "\"";
  const std::string& target = channel.settings.LinkTarget;
  if (!target.empty()) anchor += " target=\"" + NodeAttribute(channel, target) + "\"";
  return anchor + ">";
}

bool MayLink(const Channel& channel, std::string_view link) {
  if (link.empty()) return false;
  return IsTrustedNode(channel) || IsWebLink(link);
}

}  // namespace quorix
