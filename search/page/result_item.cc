// One result item of the results page.
#include <cctype>
#include <ctime>
#include <vector>

#include "platform/html_text.h"
#include "platform/text.h"
#include "search/page/result_sources.h"
#include "search/page/results_page.h"

namespace quorix {
namespace {

constexpr const char* kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// `text` in lower case with every run of non-alphanumeric characters (spaces,
// punctuation, the "..." of a snippet) made one blank, and none at the ends.
std::string ComparableWords(std::string_view text) {
  std::string words;
  bool gap = false;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c >= 0x80) {
      if (gap && !words.empty()) words += ' ';
      words += static_cast<char>(std::tolower(c));
      gap = false;
    } else {
      gap = true;
    }
  }
  return words;
}

// "14 Nov 2023" in the server's local time; empty when the time cannot be converted.
std::string DayText(int64_t dateTime) {
  std::time_t seconds = static_cast<std::time_t>(dateTime);
  std::tm local{};
  // tm_year can be as large as INT_MAX for a far date-time, so the year is widened first.
  if (!localtime_r(&seconds, &local)) return {};
  return Format("%02d %s %04lld", local.tm_mday, kMonthNames[local.tm_mon],
                static_cast<long long>(local.tm_year) + 1900);
}

// An escaped URL with break opportunities after each "/" and before each "?",
// "&" and "=", so that a long one wraps at its separators. A trusted node's
// link may hold markup; nothing is put inside a tag.
std::string BreakableUrl(std::string_view url) {
  std::string text;
  bool inTag = false;
  for (char c : url) {
    if (c == '<') inTag = true;
    if (!inTag && (c == '?' || c == '&' || c == '=')) text += "<wbr>";
    text += c;
    if (!inTag && c == '/') text += "<wbr>";
    if (c == '>') inTag = false;
  }
  return text;
}

// The infoline under PageMarkup 1: only the parts that have a value, one date
// format for every node, separators only between parts.
void WriteJoinedInfoline(PageOutput& out, const Channel& channel, const Item& item) {
  const SettingsBlock& settings = channel.settings;
  const bool trusted = IsTrustedNode(channel);
  std::vector<std::string> parts;
  if (settings.DisplayTerms) parts.push_back(Format("Terms matched: %d", item.vexaTermsMatched));
  if (settings.DisplayScore || !trusted) parts.push_back(Format("Score: %d", item.vexaScore));
  if (settings.DisplayDate || !trusted) {
    std::string day = item.vexaDateTime != 0 ? DayText(item.vexaDateTime) : std::string();
    if (day.empty() && !trusted) day = NodeAttribute(channel, item.pubDate);
    if (!day.empty()) parts.push_back(day);
  }
  if (settings.DisplayFilesize) parts.push_back(Format("%dk", item.vexaItemSize));
  if ((settings.DisplayURL || !trusted) && !item.link.empty())
    parts.push_back("URL: " + BreakableUrl(NodeAttribute(channel, item.link)));
  if (parts.empty()) return;
  std::string line = parts[0];
  for (size_t i = 1; i < parts.size(); ++i) line += " - " + parts[i];
  out.Write("<div class=\"infoline\">" + line + "</div>\n");
}

void WriteInfoline(PageOutput& out, const Channel& channel, const Item& item) {
  const SettingsBlock& settings = channel.settings;
  bool trusted = IsTrustedNode(channel);
  out.Write("<div class=\"infoline\">\n");
  if (settings.DisplayTerms) out.Printf("Terms matched:  %d", item.vexaTermsMatched);
  if (settings.DisplayScore || !trusted) out.Printf("&nbsp; - &nbsp;Score:  %d", item.vexaScore);
  if (!trusted) {
    out.Printf("&nbsp; - &nbsp;%s", NodeAttribute(channel, item.pubDate).c_str());
  } else if (settings.DisplayDate) {
    std::string day = DayText(item.vexaDateTime);
    if (!day.empty()) out.Write("&nbsp; - &nbsp;" + day);
  }
  if (settings.DisplayFilesize) out.Printf("&nbsp; - &nbsp;%2dk", item.vexaItemSize);
  if (settings.DisplayURL || !trusted)
    out.Printf("&nbsp; - &nbsp;URL: %s", NodeAttribute(channel, item.link).c_str());
  out.Write("</div>\n");
}

// The linked image of a trusted node's item that has one. Under PageMarkup 1
// it is a decorative duplicate of the title's link: no alternative text, and
// kept out of the tab order and the accessibility tree.
void WriteImage(PageOutput& out, const Channel& channel, const Item& item, bool decorative) {
  if (!channel.settings.UseVexaImage || item.vexaImageURL.empty() || !IsTrustedNode(channel))
    return;
  out.Write("<div class=\"result_image\">");
  std::string anchor = LinkAnchor(channel, item.link);
  if (decorative) anchor.insert(anchor.size() - 1, " tabindex=\"-1\" aria-hidden=\"true\"");
  out.Write(anchor);
  out.Printf(decorative ? "<img src=\"%s\" class=\"result_image\" alt=\"\">"
                        : "<img src=\"%s\" class=\"result_image\">",
             item.vexaImageURL.c_str());
  out.Write("</a></div>");
}

void WriteTitle(const ResultsContext& context, const Channel& channel, const Item& item,
                int64_t number) {
  PageOutput& out = context.out;
  const SettingsBlock& settings = channel.settings;
  const bool anchor = MayLink(channel, item.link);
  const bool heading = context.config.pageMarkup == 1;
  if (heading) {
    out.Write("<h3 class=\"result_title\">");
  } else {
    out.Write("<div class=\"result_title\">");
    out.Printf("<b>%lld.</b>&nbsp;", static_cast<long long>(number));
  }
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
  out.Write(heading ? "</h3>\n" : "</div>\n");
}

// False when the description is shown and already holds the context's words.
bool ContextAddsToDescription(const Channel& channel, const Item& item) {
  std::string contextWords = ComparableWords(StripTags(NodeHtml(channel, item.vexaContext)));
  if (contextWords.empty()) return false;
  if (!channel.settings.DisplayMetaDesc) return true;
  std::string descriptionWords = ComparableWords(StripTags(NodeHtml(channel, item.description)));
  return descriptionWords.find(contextWords) == std::string::npos;
}

void WriteDescriptionAndContext(const ResultsContext& context, const Channel& channel,
                                const Item& item) {
  const bool trusted = IsTrustedNode(channel);
  if (channel.settings.DisplayMetaDesc || !trusted) {
    context.out.Write("<div class=\"description\">");
    WriteNodeText(context, channel, item.description, /*stripTags=*/true);
    context.out.Write("</div>\n");
  }
  if (channel.settings.DisplayContext && trusted &&
      (context.config.pageMarkup != 1 || ContextAddsToDescription(channel, item))) {
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
  const bool listItem = context_.config.pageMarkup == 1;
  const char* element = listItem ? "li" : "div";
  out.Printf(index % 2 == 0 ? "<%s class=\"result_block\">\n" : "<%s class=\"result_altblock\">\n",
             element);
  WriteImage(out, channel, item, listItem);
  WriteTitle(context_, channel, item, number);
  WriteDescriptionAndContext(context_, channel, item);
  if (listItem)
    WriteJoinedInfoline(out, channel, item);
  else
    WriteInfoline(out, channel, item);
  WriteAlsoFoundLine(context_, item);
  LogItemSource(context_, item);
  out.Printf("</%s>\n", element);
  if (!listItem) out.Write("<p></p>\n\n");
}

}  // namespace quorix
