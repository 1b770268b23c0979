#include "tools/demo/rss_writer.h"

#include <algorithm>
#include <cstdio>

#include "search/answers/vexa_rss.h"

namespace quorix::demo {
namespace {

std::string Element(const std::string& name, const std::string& text) {
  return XmlElement(name, text);
}

std::string Setting(const std::string& name, const std::string& value) {
  return VexaSettingElement(name, XmlEscape(value));
}

std::string VexaSettings(int categoryCount) {
  const char* flags[][2] = {
      {"UseUTF8", "1"},
      {"MinWordLen", "1"},
      {"Highlighting", "1"},
      {"HighlightLimit", "0"},
      {"GotoHighlight", "0"},
      {"PdfHighlight", "0"},
      {"DisplayMetaDesc", "1"},
      {"UseDateTime", "1"},
      {"DisplayDate", "1"},
      {"DisplayContext", "1"},
      {"DisplayTitle", "1"},
      {"DisplayTerms", "1"},
      {"DisplayScore", "1"},
      {"DisplayURL", "1"},
      {"DisplayFilesize", "1"},
      {"UseVexaImage", "0"},
      {"WordSplit", "1"},
      {"SearchAsSubstring", "0"},
      {"ToLowerSearchWords", "1"},
      {"ContextSize", "30"},
      {"MaxContextKeywords", "3"},
      {"WordJoinChars", "-"},
      {"Spelling", "1"},
      {"SpellingWhenLessThan", "3"},
      {"Recommended", "1"},
      {"RecommendedMax", "3"},
      {"UseCats", "1"},
      {"SearchMultiCats", "1"},
      {"MapAccents", "0"},
      {"AccentChars", ""},
      {"NormalChars", ""},
      {"LinkTarget", "_self"},
  };
  std::string out = Setting("Version", "Vexa demo node 1.0");
  for (const auto& flag : flags) out += Setting(flag[0], flag[1]);
  out += Setting("NumCats", std::to_string(categoryCount));
  return out;
}

std::string OpenSearchHeader(const AnswerPage& page, size_t total, int startIndex) {
  return OpenSearchCounts(static_cast<int64_t>(total), startIndex, page.perPage);
}

// The first sentences of a text, at most about 200 characters, ending at a word.
std::string Summary(const std::string& text) {
  if (text.size() <= 200) return text;
  size_t end = text.rfind(". ", 200);
  if (end != std::string::npos && end > 80) return text.substr(0, end + 1);
  end = text.rfind(' ', 200);
  return text.substr(0, end == std::string::npos ? 200 : end) + "...";
}

}  // namespace

std::string XmlEscape(const std::string& text) { return quorix::XmlEscape(text); }

std::string VexaAnswer(const AnswerPage& page, const SearchEngine& engine,
                       const std::string& searchedCategory,
                       const std::vector<std::string>& spellings,
                       const std::vector<RecommendedLink>& recommended) {
  const std::vector<Hit>& hits = *page.hits;
  size_t first =
      static_cast<size_t>(std::max(page.page - 1, 0)) * static_cast<size_t>(page.perPage);
  std::string out = VexaRssOpening();
  out += Element("title", "Riverton Town Council search: " + page.query) + "\n";
  out += Element("link", page.selfUrl) + "\n";
  out += Element("description", "Search results from the Riverton Town Council web site") + "\n";
  out += OpenSearchHeader(page, hits.size(), static_cast<int>(first) + 1);
  out += VexaSettings(static_cast<int>(engine.Categories().size()));
  out += Element("vexa:searchquery", page.query) + "\n";
  out += Element("vexa:searchcategory", searchedCategory) + "\n";
  for (const std::string& name : engine.Categories()) out += Element("vexa:category", name) + "\n";
  for (const std::string& spelling : spellings) out += Element("vexa:spelling", spelling) + "\n";
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f", page.searchSeconds);
  out += Element("vexa:searchtime", seconds) + "\n";
  for (const RecommendedLink& link : recommended) {
    out += "<vexa:recommended>" + Element("title", link.title) + Element("link", link.link) +
           Element("description", link.description) + "</vexa:recommended>\n";
  }
  for (size_t i = first; i < hits.size() && i < first + static_cast<size_t>(page.perPage); ++i) {
    const Hit& hit = hits[i];
    const Document& document = *hit.document;
    out += "<item>\n" + Element("title", document.title) + "\n" + Element("link", document.url) +
           "\n" + Element("description", Summary(document.text)) + "\n" +
           Element("pubDate", RssDate(document.date)) + "\n" +
           Element("category", document.category) + "\n" + Element("vexa:context", hit.context) +
           "\n" + Element("vexa:score", std::to_string(hit.score)) + "\n" +
           Element("vexa:termsMatched", std::to_string(hit.termsMatched)) + "\n" +
           Element("vexa:fileSize", std::to_string(document.size)) + "\n" +
           Element("vexa:datetime", std::to_string(document.date)) + "\n</item>\n";
  }
  out += VexaRssClosing();
  return out;
}

std::string OpenSearchAnswer(const AnswerPage& page, int startIndex) {
  const std::vector<Hit>& hits = *page.hits;
  size_t first = static_cast<size_t>(std::max(startIndex - 1, 0));
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out += "<rss version=\"2.0\" xmlns:openSearch=\"" + std::string(kOpenSearchNamespace) +
         "\">\n<channel>\n";
  out += Element("title", "Garden & Kitchen magazine: " + page.query) + "\n";
  out += Element("link", page.selfUrl) + "\n";
  out += Element("description", "Recipes and gardening guides") + "\n";
  out += OpenSearchHeader(page, hits.size(), static_cast<int>(first) + 1);
  for (size_t i = first; i < hits.size() && i < first + static_cast<size_t>(page.perPage); ++i) {
    const Document& document = *hits[i].document;
    out += "<item>\n" + Element("title", document.title) + "\n" + Element("link", document.url) +
           "\n" + Element("description", document.text) + "\n" +
           Element("pubDate", RssDate(document.date)) + "\n</item>\n";
  }
  out += "</channel>\n</rss>\n";
  return out;
}

std::string OpenSearchDescription(const std::string& searchUrl) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<OpenSearchDescription xmlns=\"http://a9.com/-/spec/opensearch/1.1/\">\n"
         "<ShortName>Garden &amp; Kitchen</ShortName>\n"
         "<Description>Recipes and gardening guides</Description>\n"
         "<Url type=\"text/html\" template=\"" +
         XmlEscape(searchUrl) +
         "?q={searchTerms}&amp;format=html\"/>\n"
         "<Url type=\"application/rss+xml\" template=\"" +
         XmlEscape(searchUrl) +
         "?q={searchTerms}&amp;count={count?}&amp;start={startIndex?}\"/>\n"
         "</OpenSearchDescription>\n";
}

}  // namespace quorix::demo
