#include "search/page/result_extras.h"

#include <algorithm>

#include "platform/html_text.h"
#include "search/page/result_links.h"

namespace quorix {
namespace {

void WriteRecommendedLink(const ResultsContext& context, const Channel& channel,
                          const Item& record) {
  PageOutput& out = context.out;
  out.Write("<div class=\"recommend_block\">\n");
  out.Write("<div class=\"recommend_title\">");
  // A trusted node's anchor is written even for an empty link.
  bool anchor = IsTrustedNode(channel) || IsWebLink(record.link);
  if (anchor) out.Write(LinkAnchor(channel, record.link));
  WriteNodeText(context, channel, record.title.empty() ? record.link : record.title);
  if (anchor) out.Write("</a>");
  out.Write("</div>\n");
  out.Write("<div class=\"recommend_description\">");
  WriteNodeText(context, channel, record.description, /*stripTags=*/true);
  out.Write("</div>\n");
  out.Printf("<div class=\"recommend_infoline\">%s</div>\n",
             NodeAttribute(channel, record.link).c_str());
  out.Write("</div>");
}

}  // namespace

void DisplayRecommended(const ResultsContext& context, const ChannelTable& channels,
                        int32_t nodeCount) {
  const Config& config = context.config;
  int32_t shown = 0;
  int32_t slots = std::clamp<int32_t>(nodeCount, 0, kMaxNodes);
  for (int32_t node = 0; node < slots; ++node) {
    const Channel& channel = channels[node];
    if (!channel.valid) continue;
    if (config.recommended && !channel.recommended.empty() && shown < config.recommendedMax) {
      context.out.Write("<div class=\"recommended\">\n");
      context.out.Printf("<div class=\"recommended_heading\">%s</div>\n",
                         context.Lang(kStrRecommended).c_str());
      for (size_t k = 0;
           k < channel.recommended.size() && static_cast<int64_t>(k) < config.recommendedMax &&
           shown < config.recommendedMax;
           ++k, ++shown)
        WriteRecommendedLink(context, channel, channel.recommended[k]);
      context.out.Write("</div>\n");
    }
    if (IsTrustedNode(channel)) break;
  }
}

void DisplaySpellingSuggestions(const ResultsContext& context, int64_t queriedItems,
                                const ChannelTable& channels, int32_t nodeCount) {
  const Config& config = context.config;
  if (!config.spelling || queriedItems >= config.spellingWhenLessThan || nodeCount <= 0) return;
  int written = 0;
  int32_t slots = std::min<int32_t>(nodeCount, kMaxNodes);
  for (int32_t node = 0; node < slots && written < kSpellingSuggestions; ++node) {
    const Channel& channel = channels[node];
    if (!channel.valid) continue;
    for (const std::string& suggestion : channel.vexaSpellingSuggestions) {
      if (written >= kSpellingSuggestions) break;
      if (suggestion.empty()) continue;
      if (written == 0 && config.pageMarkup == 1) {
        context.out.Printf("<p class=\"suggestion\">%s ", context.Lang(kStrDidYouMean).c_str());
      } else if (written == 0) {
        context.out.Write("<div class=\"suggestion\">");
        context.out.Printf("<div class=\"suggestion\"><br />%s ",
                           context.Lang(kStrDidYouMean).c_str());
      } else {
        context.out.Write(" or ");
      }
      context.out.Write(SuggestionLinkOpen(config, context.query, suggestion));
      context.out.Write(EscapeHtml(suggestion));
      context.out.Write("</a>");
      ++written;
    }
  }
  // The older markup leaves the outer of its two div elements open.
  if (written > 0) context.out.Write(config.pageMarkup == 1 ? "?</p>\n" : "?</div>");
}

}  // namespace quorix
