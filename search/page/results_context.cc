#include "search/page/results_context.h"

#include "platform/html_text.h"
#include "platform/text.h"
#include "search/page/highlight.h"

namespace quorix {

void WriteNodeText(const ResultsContext& context, const Channel& channel, std::string_view text,
                   bool stripTags) {
  HighlightOptions options;
  options.enabled = channel.settings.Highlighting;
  options.substring = channel.settings.SearchAsSubstring;
  options.caseless = channel.settings.ToLowerSearchWords;
  // A node without display settings of its own (an OpenSearch node) gets the
  // usual word-wise, case-blind highlighting under the current page markup.
  if (context.config.pageMarkup == 1 && !IsTrustedNode(channel)) {
    options.enabled = true;
    options.caseless = true;
  }
  if (IsTrustedNode(channel)) {
    context.out.Write(HighlightText(NodeHtml(channel, text), context.terms.termPatterns, options,
                                    TextKind::kMarkup, context.terms.regexes.get()));
    return;
  }
  std::string plain = MarkupSafeText(stripTags ? StripTags(text) : text);
  context.out.Write(HighlightText(plain, context.terms.termPatterns, options, TextKind::kPlain,
                                  context.terms.regexes.get()));
}

std::string NodeHtml(const Channel& channel, std::string_view text, bool stripTags) {
  if (!IsTrustedNode(channel))
    return EscapeHtml(MarkupSafeText(stripTags ? StripTags(text) : text));
  std::string html = MarkupSafeText(CdataSectionContent(text).value_or(text));
  // Outside a CDATA section "]]>" is the same text as "]]&gt;", which any CDATA section can hold.
  for (size_t at = html.find("]]>"); at != std::string::npos; at = html.find("]]>", at + 2))
    html.replace(at + 2, 1, "&gt;");
  return html;
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
