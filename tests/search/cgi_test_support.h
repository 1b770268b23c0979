// Building blocks for tests that run the built quorix against local test
// nodes: the settings file text, the nodes' RSS answers and an OpenSearch
// description document.
#pragma once

#include <regex>
#include <string>
#include <utility>
#include <vector>

namespace quorix::testing {

// The text of a settings.qxdat: options and nodes in the order they were added.
class SettingsText {
 public:
  SettingsText& Option(const std::string& key, int value) {
    lines_ += key + " = " + std::to_string(value) + "\n";
    return *this;
  }
  SettingsText& Text(const std::string& key, const std::string& value) {
    lines_ += key + " = \"" + value + "\"\n";
    return *this;
  }
  // A Vexa node queried at `url` (scheme, host and path).
  SettingsText& VexaNode(const std::string& url, int timeoutMs = 5000) {
    return Node(0, timeoutMs).Text(Key("VEXA_URL"), url);
  }
  // An OpenSearch node whose description document is at `url`.
  SettingsText& OpenSearchNode(const std::string& url, int timeoutMs = 5000) {
    return Node(1, timeoutMs).Text(Key("OS_DESC_URL"), url);
  }
  // The page-link and sort texts, so that the links can be found by them.
  SettingsText& PageLinkTexts() {
    return Text("STR_RESULT_PAGES", "Pages:")
        .Text("STR_RESULT_PAGES_PREVIOUS", "Prev")
        .Text("STR_RESULT_PAGES_NEXT", "Next");
  }
  const std::string& str() const { return lines_; }

 private:
  SettingsText& Node(int type, int timeoutMs) {
    ++nodes_;
    Option(Key("DISABLED"), 0).Option(Key("TYPE"), type).Option(Key("STRICT_QUERY_SYNTAX"), 0);
    return Option(Key("TIMEOUT_MS"), timeoutMs);
  }
  std::string Key(const std::string& name) const {
    return "NODE" + std::to_string(nodes_ - 1) + "_" + name;
  }

  std::string lines_;
  int nodes_ = 0;
};

struct RssItem {
  std::string title;
  std::string link;
  std::string description;
  int score = 0;
};

// `count` items titled "<prefix> <n>" (n from 1) with scores falling from
// `topScore` by 1.
inline std::vector<RssItem> NumberedItems(const std::string& prefix, int count,
                                          int topScore = 100) {
  std::vector<RssItem> items;
  for (int i = 1; i <= count; ++i) {
    std::string n = std::to_string(i);
    items.push_back({prefix + " " + n, "http://" + prefix + ".test/" + n, "About " + n,
                     topScore - (i - 1)});
  }
  return items;
}

namespace detail {
inline std::string RssHead(int totalResults) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<rss version=\"2.0\" xmlns:openSearch=\"http://a9.com/-/spec/opensearch/1.1/\" "
         "xmlns:vexa=\"http://vexa.test/ns\">\n<channel>\n<title>Node</title>\n"
         "<link>http://node.test/</link>\n<description>Results</description>\n"
         "<openSearch:totalResults>" +
         std::to_string(totalResults) +
         "</openSearch:totalResults>\n<openSearch:startIndex>1</openSearch:startIndex>\n";
}
}  // namespace detail

// A Vexa node's answer: its display settings (title, description, score and
// URL shown), the echoed query, and the items with their vexa: scores.
inline std::string VexaRss(const std::vector<RssItem>& items, int totalResults,
                           const std::string& echoedQuery = "test") {
  std::string rss = detail::RssHead(totalResults);
  for (const char* name : {"DisplayTitle", "DisplayMetaDesc", "DisplayScore", "DisplayURL"})
    rss += std::string("<vexa:setting name=\"") + name + "\" value=\"1\"/>\n";
  rss += "<vexa:searchquery>" + echoedQuery + "</vexa:searchquery>\n";
  for (const RssItem& item : items) {
    rss += "<item>\n<title>" + item.title + "</title>\n<link>" + item.link +
           "</link>\n<description>" + item.description + "</description>\n<vexa:score>" +
           std::to_string(item.score) + "</vexa:score>\n</item>\n";
  }
  return rss + "</channel>\n</rss>\n";
}

// An OpenSearch node's answer. Titles, links and descriptions go in as given,
// so a test can put markup or character references into them.
inline std::string OpenSearchRss(const std::vector<RssItem>& items, int totalResults) {
  std::string rss = detail::RssHead(totalResults);
  for (const RssItem& item : items) {
    rss += "<item>\n<title>" + item.title + "</title>\n<link>" + item.link +
           "</link>\n<description>" + item.description + "</description>\n</item>\n";
  }
  return rss + "</channel>\n</rss>\n";
}

// An OpenSearch description whose RSS template is `templateUrl` (with the
// & of its query already written as &amp;).
inline std::string OpenSearchDescription(const std::string& templateUrl) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<OpenSearchDescription xmlns=\"http://a9.com/-/spec/opensearch/1.1/\">\n"
         "<ShortName>Test</ShortName>\n<Url type=\"application/rss+xml\" template=\"" +
         templateUrl + "\"/>\n</OpenSearchDescription>\n";
}

// A page template whose marker line is `marker`.
inline std::string PageTemplateText(const std::string& marker = "<!--VEXASEARCH-->") {
  return "<html><head><title>Site</title></head><body>\n<h1>Site head</h1>\n" + marker +
         "\n<p>Site foot</p>\n</body></html>\n";
}

// The result titles on a page, in page order (linked titles only).
inline std::vector<std::string> TitlesInOrder(const std::string& page) {
  std::vector<std::string> titles;
  std::regex title(
      "<div class=\"result_title\"><b>\\d+\\.</b>&nbsp;<a href=\"[^\"]*\">([^<]*)</a>");
  for (auto it = std::sregex_iterator(page.begin(), page.end(), title);
       it != std::sregex_iterator(); ++it)
    titles.push_back((*it)[1]);
  return titles;
}

// Number of times `needle` occurs in `text`.
inline size_t CountOf(const std::string& text, const std::string& needle) {
  size_t count = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
    ++count;
  return count;
}

}  // namespace quorix::testing
