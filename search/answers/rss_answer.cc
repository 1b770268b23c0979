#include "search/answers/rss_answer.h"

#include <algorithm>

#include "platform/html_escape.h"
#include "platform/text.h"
#include "search/answers/vexa_rss.h"

namespace quorix {
namespace {

constexpr size_t kMaxRecommended = 64;

// This search's own categories (vexa_cats.qxdat), when it offers them.
int OwnCategoryCount(const Config& config) {
  if (config.useCats != 1) return 0;
  return static_cast<int>(
      std::min<size_t>(config.categoryNames.size(), static_cast<size_t>(kChannelCategoryNames)));
}

// The searched categories' names, or "All".
std::string SearchedCategories(const AnswerView& view) {
  std::string names;
  for (int32_t number : view.query.cat) {
    if (number < 0 || static_cast<size_t>(number) >= view.config.categoryNames.size()) return "All";
    names += (names.empty() ? "" : ", ") + view.config.categoryNames[number];
  }
  return names.empty() ? "All" : names;
}

// The settings the answer reports: how the first Vexa node shows its items
// (what a cached result set keeps of its nodes' settings) and this search's
// own categories, everything else fixed, so that a fresh answer and one from
// the cache report the same.
SettingsBlock AnswerSettings(const Channel* vexa, const Config& config) {
  SettingsBlock settings;
  settings.NumCats = OwnCategoryCount(config);
  settings.UseCats = settings.NumCats > 0;
  settings.SearchMultiCats = settings.UseCats && config.searchMultiCats != 0;
  settings.Version = "Quorix";
  settings.UseUTF8 = settings.UseDateTime = true;
  settings.Highlighting = settings.DisplayMetaDesc = settings.DisplayDate = true;
  settings.DisplayTitle = settings.DisplayScore = settings.DisplayURL = true;
  if (vexa == nullptr) return settings;
  const SettingsBlock& shown = vexa->settings;
  for (bool SettingsBlock::*flag :
       {&SettingsBlock::Highlighting, &SettingsBlock::DisplayMetaDesc, &SettingsBlock::DisplayDate,
        &SettingsBlock::DisplayContext, &SettingsBlock::DisplayTitle, &SettingsBlock::DisplayTerms,
        &SettingsBlock::DisplayScore, &SettingsBlock::DisplayURL, &SettingsBlock::DisplayFilesize,
        &SettingsBlock::UseVexaImage, &SettingsBlock::SearchAsSubstring,
        &SettingsBlock::ToLowerSearchWords})
    settings.*flag = shown.*flag;
  settings.LinkTarget = shown.LinkTarget;
  return settings;
}

// The first valid Vexa node's record: its settings describe the answer.
const Channel* FirstVexaChannel(const AnswerView& view) {
  if (!view.page.channels) return nullptr;
  for (const Channel& channel : *view.page.channels)
    if (channel.valid && !IsOpenSearchNode(channel)) return &channel;
  return nullptr;
}

std::string ChannelElements(const AnswerView& view, const Channel* vexa) {
  std::string out;
  std::string title = view.config.openSearchShortName.empty() ? std::string("Quorix search")
                                                              : view.config.openSearchShortName;
  out += HtmlTextElement("title", EscapeHtml(title + ": " + view.query.query)) + "\n";
  out += HtmlTextElement("description", EscapeHtml(view.config.openSearchDescription)) + "\n";
  const int64_t perPage = view.query.itemsPerPage;
  out += OpenSearchCounts(AnswerTotal(view.page), (view.query.currentPageNum - 1) * perPage + 1,
                          perPage);
  out += VexaSettingElements(AnswerSettings(vexa, view.config));
  out += HtmlElement("vexa:searchquery", view.query.query_out) + "\n";
  int categories = OwnCategoryCount(view.config);
  if (categories > 0) out += HtmlElement("vexa:searchcategory", SearchedCategories(view)) + "\n";
  for (int i = 0; i < categories; ++i)
    out += HtmlElement("vexa:category", view.config.categoryNames[i]) + "\n";
  return out;
}

std::string SuggestionElements(const AnswerView& view) {
  if (!view.page.channels) return "";
  std::vector<std::string> spellings;
  std::string out;
  size_t recommended = 0;
  for (const Channel& channel : *view.page.channels) {
    if (!channel.valid || IsOpenSearchNode(channel)) continue;
    for (const std::string& spelling : channel.vexaSpellingSuggestions) {
      if (spelling.empty() || spellings.size() >= kSpellingSuggestions ||
          std::find(spellings.begin(), spellings.end(), spelling) != spellings.end())
        continue;
      spellings.push_back(spelling);
      out += HtmlElement("vexa:spelling", spelling) + "\n";
    }
    for (const Item& link : channel.recommended) {
      if (recommended++ >= kMaxRecommended) break;
      out += "<vexa:recommended>" + HtmlTextElement("title", ItemHtml(&channel, link.title)) +
             HtmlElement("link", link.link) +
             HtmlTextElement("description", ItemHtml(&channel, link.description)) +
             "</vexa:recommended>\n";
    }
  }
  return out;
}

std::string ErrorElements(const AnswerView& view) {
  std::string out;
  for (const NodeFailure& failure : NodeFailures(view))
    out += Format("<vexa:error node=\"%d\" status=\"%d\">", failure.node, failure.status) +
           XmlEscape(failure.line) + "</vexa:error>\n";
  for (const std::string& error : view.errors)
    out += "<vexa:error>" + XmlEscape(error) + "</vexa:error>\n";
  return out;
}

// One element per source still answering, which makes the answer partial:
// a node of ours, or a source of a node that answered in part.
std::string PendingElements(const AnswerView& view) {
  std::string out;
  for (int node = 0; node < std::clamp(view.config.nodeCount, 0, kMaxNodes); ++node) {
    for (int i = 0; i < PendingSourcesOf(view.page, node); ++i)
      out += Format("<vexa:pending node=\"%d\">", node) + XmlEscape(view.config.nodes[node].name) +
             "</vexa:pending>\n";
  }
  return out;
}

std::string ItemElement(const AnswerView& view, const Item& item) {
  const Channel* channel = ChannelOf(view, item);
  std::string out = "<item>\n";
  out += HtmlTextElement("title", ItemHtml(channel, item.title)) + "\n";
  out += HtmlElement("link", ItemLink(channel, item.link)) + "\n";
  out += HtmlTextElement("description", ItemHtml(channel, item.description, true)) + "\n";
  std::string date = RssDate(item.vexaDateTime);
  if (!date.empty()) out += XmlElement("pubDate", date) + "\n";
  for (const std::string& category : item.category)
    if (!category.empty()) out += HtmlTextElement("category", ItemHtml(channel, category)) + "\n";
  if (!item.vexaContext.empty())
    out += HtmlTextElement("vexa:context", ItemHtml(channel, item.vexaContext)) + "\n";
  out += XmlElement("vexa:score", std::to_string(item.vexaScore)) + "\n";
  out += XmlElement("vexa:termsMatched", std::to_string(item.vexaTermsMatched)) + "\n";
  out += XmlElement("vexa:fileSize", std::to_string(item.vexaItemSize)) + "\n";
  if (!item.vexaImageURL.empty())
    out += HtmlElement("vexa:imageURL", ItemHtml(channel, item.vexaImageURL)) + "\n";
  out += XmlElement("vexa:datetime", std::to_string(item.vexaDateTime)) + "\n";
  return out + "</item>\n";
}

}  // namespace

std::string RssAnswer(const AnswerView& view) {
  const Channel* vexa = FirstVexaChannel(view);
  std::string out = VexaRssOpening();
  out += ChannelElements(view, vexa);
  out += SuggestionElements(view);
  out += XmlElement("vexa:searchtime", Format("%.3f", view.searchSeconds)) + "\n";
  out += ErrorElements(view);
  out += PendingElements(view);
  for (const Item& item : view.page.items) out += ItemElement(view, item);
  return out + VexaRssClosing();
}

}  // namespace quorix
