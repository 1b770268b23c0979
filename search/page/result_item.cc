// One result item of the results page.
#include <ctime>

#include "search/page/result_sources.h"
#include "search/page/results_page.h"

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

// The linked image of a trusted node's item that has one.
void WriteImage(PageOutput& out, const Channel& channel, const Item& item) {
  if (!channel.settings.UseVexaImage || item.vexaImageURL.empty() || !IsTrustedNode(channel))
    return;
  out.Write("<div class=\"result_image\">");
  out.Write(LinkAnchor(channel, item.link));
  out.Printf("<img src=\"%s\" class=\"result_image\">", item.vexaImageURL.c_str());
  out.Write("</a></div>");
}

void WriteTitle(const ResultsContext& context, const Channel& channel, const Item& item,
                int64_t number) {
  PageOutput& out = context.out;
  const SettingsBlock& settings = channel.settings;
  const bool anchor = MayLink(channel, item.link);
  out.Write("<div class=\"result_title\">");
  out.Printf("<b>%lld.</b>&nbsp;", static_cast<long long>(number));
  if (anchor) out.Write(LinkAnchor(channel, item.link));
  if (settings.DisplayTitle || !IsTrustedNode(channel))
    WriteNodeText(context, channel, item.title);
  else
    out.Write(item.link);
  if (anchor) out.Write("</a>");
  if (settings.UseCats && context.config.useCats) {
    for (const std::string& category : item.category)
      if (!category.empty())
        out.Printf("<span class=\"category\"> [%s]</span>",
                   NodeAttribute(channel, category).c_str());
  }
  out.Write("</div>\n");
}

void WriteDescriptionAndContext(const ResultsContext& context, const Channel& channel,
                                const Item& item) {
  const bool trusted = IsTrustedNode(channel);
  if (channel.settings.DisplayMetaDesc || !trusted) {
    context.out.Write("<div class=\"description\">");
    WriteNodeText(context, channel, item.description, /*stripTags=*/true);
    context.out.Write("</div>\n");
  }
  if (channel.settings.DisplayContext && trusted) {
    context.out.Write("<div class=\"context\">\n");
    WriteNodeText(context, channel, item.vexaContext);
    context.out.Write("</div>\n");
  }
}

void LogItemSource(const ResultsContext& context, const Item& item) {
  context.log.Logf(kLogInfo, "Date-Time: %llu", static_cast<unsigned long long>(item.vexaDateTime));
  const NodeRecord& node = context.config.nodes[item.node];
  if (node.IsVexa())
    context.log.Logf(kLogInfo, "From Node #%d, %s%s", item.node, node.vexaHost.c_str(),
                     node.vexaPath.c_str());
  else
    context.log.Logf(kLogInfo, "From Node #%d, %s%s", item.node, node.osHost.c_str(),
                     node.osPath.c_str());
}

}  // namespace

void ResultsPage::DisplayResultItem(const ResultPage& page, size_t index) {
  if (index >= page.items.size() || !page.channels) return;
  const Item& item = page.items[index];
  if (item.node < 0 || item.node >= kMaxNodes) return;
  const Channel& channel = (*page.channels)[item.node];
  PageOutput& out = context_.out;
  const int64_t number = page.firstNumber + static_cast<int64_t>(index);
  out.Printf("<!-- Item #%lld of page #%d -->\n", static_cast<long long>(number),
             context_.query.currentPageNum);
  out.Write(index % 2 == 0 ? "<div class=\"result_block\">\n"
                           : "<div class=\"result_altblock\">\n");
  WriteImage(out, channel, item);
  WriteTitle(context_, channel, item, number);
  WriteDescriptionAndContext(context_, channel, item);
  WriteInfoline(out, channel, item);
  WriteAlsoFoundLine(context_, item);
  LogItemSource(context_, item);
  out.Write("</div>\n");
  out.Write("<p></p>\n\n");
}

}  // namespace quorix
