// Building blocks for tests that run the built quorix against local test
// nodes: the settings file text, the nodes' RSS answers and an OpenSearch
// description document.
#pragma once

#include <algorithm>
#include <cctype>
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
    items.push_back(
        {prefix + " " + n, "http://" + prefix + ".test/" + n, "About " + n, topScore - (i - 1)});
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

// An attribute value as a browser reads it: character references decoded,
// leading blanks and control characters dropped, letters in lower case.
inline std::string AttributeAsRead(std::string value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '&') {
      size_t end = value.find(';', i);
      std::string name = end == std::string::npos ? "" : value.substr(i + 1, end - i - 1);
      int code = -1;
      if (name == "quot") code = '"';
      if (name == "amp") code = '&';
      if (name == "lt") code = '<';
      if (name == "gt") code = '>';
      if (name == "colon") code = ':';
      if (name.size() > 1 && name[0] == '#')
        code = name[1] == 'x' || name[1] == 'X' ? std::stoi(name.substr(2), nullptr, 16)
                                                : std::stoi(name.substr(1));
      if (code >= 0) {
        out += static_cast<char>(code);
        i = end;
        continue;
      }
    }
    if (out.empty() && static_cast<unsigned char>(value[i]) <= ' ') continue;
    out += static_cast<char>(std::tolower(static_cast<unsigned char>(value[i])));
  }
  return out;
}

// Problems in the markup of a page: a script element, an event-handler
// attribute, or a link or source that runs script. Empty when there are none.
inline std::vector<std::string> ExecutableMarkup(const std::string& page) {
  std::vector<std::string> found;
  // A start or end tag with its attributes: name, then name=value pairs whose
  // values may be quoted either way or bare.
  std::regex tag(
      R"(<(/?)([A-Za-z][^\s/>]*)((?:\s*[^\s"'>/=]+(?:\s*=\s*(?:"[^"]*"|'[^']*'|[^\s>]*))?|\s*/)*)\s*>)");
  std::regex attribute(R"(([^\s"'>/=]+)(?:\s*=\s*("[^"]*"|'[^']*'|[^\s>]*))?)");
  for (auto it = std::sregex_iterator(page.begin(), page.end(), tag); it != std::sregex_iterator();
       ++it) {
    std::string name = (*it)[2];
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name == "script" || name == "iframe" || name == "object" || name == "embed")
      found.push_back(it->str());
    std::string attributes = (*it)[3];
    for (auto a = std::sregex_iterator(attributes.begin(), attributes.end(), attribute);
         a != std::sregex_iterator(); ++a) {
      std::string key = (*a)[1];
      for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      std::string value = (*a)[2];
      if (!value.empty() && (value[0] == '"' || value[0] == '\''))
        value = value.substr(1, value.size() - 2);
      value = AttributeAsRead(value);
      bool urlAttribute = key == "href" || key == "src" || key == "action";
      if (key.starts_with("on") || key == "style" ||
          (urlAttribute && (value.starts_with("javascript:") || value.starts_with("vbscript:") ||
                            value.starts_with("data:"))))
        found.push_back(it->str());
    }
  }
  return found;
}

// Number of times `needle` occurs in `text`.
inline size_t CountOf(const std::string& text, const std::string& needle) {
  size_t count = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
    ++count;
  return count;
}

}  // namespace quorix::testing
