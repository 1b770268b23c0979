// One result item of the results page.
#include <ctime>

#include "search/result_sources.h"
#include "search/results_page.h"

namespace quorix {
namespace {

constexpr const char* kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

void WriteInfoline(PageOutput& out, const Channel& channel, const Item& item) {
  const SettingsBlock& settings = channel.settings;
  bool trusted = IsTrustedNode(channel);
  out.Write("<div class=\"infoline\">\n");
  if (settings.DisplayTerms) out.Printf("Terms matched:  %d", item.vexaTermsMatched);
  if (settings.DisplayScore || !trusted) out.Printf("&nbsp; - &nbsp;Score:  %d", item.vexaScore);
  if (!trusted) {
    out.Printf("&nbsp; - &nbsp;%s", NodeAttribute(channel, item.pubDate).c_str());
  } else if (settings.DisplayDate) {
    std::time_t seconds = static_cast<std::time_t>(item.vexaDateTime);
    std::tm local{};
    // tm_year can be as large as INT_MAX for a far date-time, so the year is widened first.
    if (localtime_r(&seconds, &local))
      out.Printf("&nbsp; - &nbsp;%02d %s %04lld", local.tm_mday, kMonthNames[local.tm_mon],
                 static_cast<long long>(local.tm_year) + 1900);
  }
  if (settings.DisplayFilesize) out.Printf("&nbsp; - &nbsp;%2dk", item.vexaItemSize);
  if (settings.DisplayURL || !trusted)
    out.Printf("&nbsp; - &nbsp;URL: %s", NodeAttribute(channel, item.link).c_str());
  out.Write("</div>\n");
}

}  // namespace

void ResultsPage::DisplayResultItem(const ChannelTable& channels, const ItemList& items,
                                    int64_t index, bool fromCache) {
  if (index < 0 || static_cast<size_t>(index) >= items.size() || !items[index]) return;
  const Item& item = *items[index];
  if (item.node < 0 || item.node >= kMaxNodes) return;
  const Channel& channel = channels[item.node];
  const SettingsBlock& settings = channel.settings;
  const VexaQuery& query = context_.query;
  PageOutput& out = context_.out;
  bool trusted = IsTrustedNode(channel);

  int64_t number =
      fromCache ? static_cast<int64_t>(query.currentPageNum - 1) * query.itemsPerPage + index + 1
                : index + 1;
  out.Printf("<!-- Item #%lld of page #%d -->\n", static_cast<long long>(number),
             query.currentPageNum);
  out.Write(index % 2 == 0 ? "<div class=\"result_block\">\n"
                           : "<div class=\"result_altblock\">\n");

  bool anchor = MayLink(channel, item.link);
  if (settings.UseVexaImage && !item.vexaImageURL.empty() && trusted) {
    out.Write("<div class=\"result_image\">");
    out.Write(LinkAnchor(channel, item.link));
    out.Printf("<img src=\"%s\" class=\"result_image\">", item.vexaImageURL.c_str());
    out.Write("</a></div>");
  }

  out.Write("<div class=\"result_title\">");
  out.Printf("<b>%lld.</b>&nbsp;", static_cast<long long>(number));
  if (anchor) out.Write(LinkAnchor(channel, item.link));
  if (settings.DisplayTitle || !trusted)
    WriteNodeText(context_, channel, item.title);
  else
    out.Write(item.link);
  if (anchor) out.Write("</a>");
  if (settings.UseCats && context_.config.useCats) {
    for (const std::string& category : item.category)
      if (!category.empty())
        out.Printf("<span class=\"category\"> [%s]</span>",
                   NodeAttribute(channel, category).c_str());
  }
  out.Write("</div>\n");

  if (settings.DisplayMetaDesc || !trusted) {
    out.Write("<div class=\"description\">");
    WriteNodeText(context_, channel, item.description, /*stripTags=*/true);
    out.Write("</div>\n");
  }
  if (settings.DisplayContext && trusted) {
    out.Write("<div class=\"context\">\n");
    WriteNodeText(context_, channel, item.vexaContext);
    out.Write("</div>\n");
  }

  WriteInfoline(out, channel, item);
  WriteAlsoFoundLine(context_, item);
  context_.log.Logf(kLogInfo, "Date-Time: %llu",
                    static_cast<unsigned long long>(item.vexaDateTime));
  const NodeRecord& node = context_.config.nodes[item.node];
  if (node.IsVexa())
    context_.log.Logf(kLogInfo, "From Node #%d, %s%s", item.node, node.vexaHost.c_str(),
                      node.vexaPath.c_str());
  else
    context_.log.Logf(kLogInfo, "From Node #%d, %s%s", item.node, node.osHost.c_str(),
                      node.osPath.c_str());
  out.Write("</div>\n");
  out.Write("<p></p>\n\n");
}

}  // namespace quorix
