#include "nodequery/response_parser.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "nodequery/node_query_options.h"
#include "nodequery/query_url.h"
#include "nodequery/tag_handlers.h"
#include "tests/support/recording_log.h"

namespace quorix {
namespace {

using testing::RecordingLog;

constexpr char kOpenSearchNs[] = "http://a9.com/-/spec/opensearch/1.1/";

struct Parsed {
  Status status = 0;
  Channel channel;
  NodeTotals totals;
  RecordingLog log;
};

// Parses `body` as node 3's answer; `type` 0 is a Vexa node.
void Parse(Parsed& out, const std::string& body, int type = 0, int requested = 10,
           const ParseOptions& options = {}, bool countSupported = true) {
  NodeRecord node;
  node.disabled = false;
  node.type = type;
  node.osHost = "node.example";
  node.osPath = "/search";
  node.osQuery = "?q=test";
  NodeRun run;
  UseConfiguredUrl(node, run);
  run.countSupported = countSupported;
  run.responseBody = body;
  out.status = ParseResponse(3, requested, node, run, out.channel, out.totals, out.log, options);
}

std::string Items(int count, const std::string& extra = "") {
  std::string items;
  for (int i = 0; i < count; ++i)
    items += "<item><title>T" + std::to_string(i) + "</title>" + extra + "</item>\n";
  return items;
}

std::string Rss(const std::string& channelBody,
                const std::string& rssAttributes = std::string(" xmlns:openSearch=\"") +
                                                   kOpenSearchNs + "\"") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"" + rssAttributes +
         ">\n<channel>\n" + channelBody + "</channel>\n</rss>\n";
}

std::string Total(int total) {
  return "<openSearch:totalResults>" + std::to_string(total) + "</openSearch:totalResults>\n";
}

TEST(ParseResponse, VexaResponseFillsChannelAndItems) {
  std::string body = Rss(
      "<title>Site search</title><link>http://site/</link><description>All pages</description>\n" +
      Total(2) +
      "<openSearch:startIndex>1</openSearch:startIndex>"
      "<openSearch:itemsPerPage>10</openSearch:itemsPerPage>\n"
      "<openSearch:link rel=\"search\" href=\"http://site/os.xml\"/>\n"
      "<vexa:setting name=\"Version\" value=\"5.1\"/>"
      "<vexa:setting name=\"MinWordLen\" value=\"3\"/>"
      "<vexa:setting name=\"Spelling\" value=\"2\"/>"
      "<vexa:setting name=\"Unknown\" value=\"9\"/>"
      "<vexa:setting name=\"ContextSize\"/>\n"
      "<vexa:searchquery>cats &amp; dogs</vexa:searchquery>"
      "<vexa:searchcategory>Pets</vexa:searchcategory>"
      "<vexa:category>Pets</vexa:category><vexa:category>Zoo</vexa:category>"
      "<vexa:spelling>cars</vexa:spelling><vexa:searchtime>0.25</vexa:searchtime>\n"
      "<vexa:recommended><title>Rec</title><description>D</description>"
      "<link>http://rec/</link></vexa:recommended>\n"
      "<item><title>First</title><link>http://site/1</link><description>one</description>"
      "<category>a</category><category>b</category><pubDate>Tue, 14 Apr 2009 10:00:00 GMT"
      "</pubDate><vexa:context>ctx</vexa:context><vexa:score>80</vexa:score>"
      "<vexa:termsMatched>2</vexa:termsMatched><vexa:fileSize>1234</vexa:fileSize>"
      "<vexa:imageURL>http://img/</vexa:imageURL></item>\n"
      "<item><title>Second</title><category>c</category><vexa:score>20</vexa:score>"
      "<vexa:datetime>1000</vexa:datetime></item>\n");
  Parsed p;
  Parse(p, body);
  ASSERT_EQ(p.status, kOk);
  const Channel& c = p.channel;
  EXPECT_TRUE(c.valid);
  EXPECT_EQ(c.node, 3);
  EXPECT_EQ(c.xmlVersion, "1.0");
  EXPECT_EQ(c.encoding, "UTF-8");
  EXPECT_EQ(c.rssVersion, "2.0");
  EXPECT_EQ(c.osPrefix, "openSearch");
  EXPECT_EQ(c.osXMLNS, kOpenSearchNs);
  EXPECT_EQ(c.title, "Site search");
  EXPECT_EQ(c.link, "http://site/");
  EXPECT_EQ(c.description, "All pages");
  EXPECT_EQ(c.totalResults, 2);
  EXPECT_EQ(c.osStartIndex, 1);
  EXPECT_EQ(c.osItemsPerPage, 10);
  EXPECT_EQ(c.osLink, "http://site/os.xml");
  EXPECT_EQ(c.settings.Version, "5.1");
  EXPECT_EQ(c.settings.MinWordLen, 3);
  EXPECT_TRUE(c.settings.Spelling);
  EXPECT_EQ(c.settings.ContextSize, 0);
  EXPECT_EQ(c.vexaSearchQuery, "cats &amp; dogs");  // Vexa text is kept as sent
  EXPECT_EQ(c.vexaSearchCategory, "Pets");
  EXPECT_EQ(c.catNames[0], "Pets");
  EXPECT_EQ(c.catNames[1], "Zoo");
  EXPECT_EQ(c.vexaSpellingSuggestions[0], "cars");
  EXPECT_DOUBLE_EQ(c.searchTime, 0.25);
  ASSERT_EQ(c.recommended.size(), 1u);
  EXPECT_EQ(c.recommended[0].title, "Rec");
  EXPECT_EQ(c.recommended[0].link, "http://rec/");
  ASSERT_EQ(c.items.size(), 2u);
  EXPECT_EQ(c.osTotalQueriedItems, 2);
  const Item& first = *c.items[0];
  EXPECT_EQ(first.node, 3);
  EXPECT_EQ(first.title, "First");
  EXPECT_EQ(first.category[0], "a");
  EXPECT_EQ(first.category[1], "b");
  EXPECT_EQ(first.vexaContext, "ctx");
  EXPECT_EQ(first.vexaScore, 80);
  EXPECT_EQ(first.vexaTermsMatched, 2);
  EXPECT_EQ(first.vexaItemSize, 1234);
  EXPECT_EQ(first.vexaImageURL, "http://img/");
  EXPECT_EQ(first.vexaDateTime, 1239703200);  // from pubDate
  const Item& second = *c.items[1];
  EXPECT_EQ(second.category[0], "c");  // a new item starts at category 0
  EXPECT_EQ(second.vexaDateTime, 1000);
  EXPECT_EQ(p.totals.queriedItems, 2);
  EXPECT_EQ(p.totals.availableItems, 2);
  EXPECT_TRUE(p.totals.valid);
  EXPECT_TRUE(p.totals.vexaScoreSeen);
  EXPECT_EQ(p.totals.maxVexaScore, 80);
  EXPECT_EQ(p.totals.minVexaScore, 20);

  EXPECT_TRUE(p.log.Has(kLogDetail, "Node #3: settings.Version = 5.1"));
  EXPECT_TRUE(p.log.Has(kLogDetail, "Node #3: settings.MinWordLen = 3"));
  EXPECT_TRUE(p.log.Has(kLogDetail, "Node #3, Item #1: title = Second"));
  EXPECT_TRUE(p.log.Has(kLogDetail, "Node #3, Item #0: category[1] = b"));
  EXPECT_TRUE(p.log.Has(kLogDetail, "Node #3: channel.recommended[0].title = Rec"));
  EXPECT_TRUE(p.log.Has(kLogDetail, "Node #3: channel.searchTime = 0.250000"));
  EXPECT_TRUE(p.log.Has(kLogDetail, "Node #3, Item #1: vexaDateTime = 1000"));
  EXPECT_TRUE(p.log.Has(kLogInfo, "Node #3: totalResults = 2"));
  EXPECT_TRUE(p.log.Has(kLogInfo, "Node #3: channel.osTotalQueriedItems = 2"));
  EXPECT_TRUE(p.log.Has(kLogInfo, "Node #3 returned 2 queried items"));
  EXPECT_TRUE(p.log.Has(kLogFileOnly,
                        "Node #3 \"http://node.example/search?q=test\" is a valid query URL"));
}

TEST(ParseResponse, OpenSearchPrefixFromTheNamespace) {
  struct Case {
    std::string rssAttributes, totalTag, prefix;
    int total;
    bool namespaceMessage;
  } cases[] = {
      {std::string(" xmlns:os=\"") + kOpenSearchNs + "\"", "os:totalResults", "os", 7, false},
      {" xmlns:osr=\"http://a9.com/-/spec/opensearchrss/1.0/\" xmlns:dc=\"x\"", "osr:totalResults",
       "osr", 7, false},
      {"", "openSearch:totalResults", "openSearch", 7, true},
      {"", "OPENSEARCH:TOTALRESULTS", "openSearch", 7, true},  // names ignore case
      {" xmlns:os=\"other\"", "os:totalResults", "openSearch", -1, true},
  };
  for (const auto& c : cases) {
    Parsed p;
    Parse(p, Rss("<" + c.totalTag + ">7</" + c.totalTag + ">" + Items(7), c.rssAttributes), 1);
    EXPECT_EQ(p.channel.osPrefix, c.prefix) << c.rssAttributes;
    EXPECT_EQ(p.channel.totalResults, c.total) << c.rssAttributes << " " << c.totalTag;
    EXPECT_EQ(p.log.Has(kLogDetailWarning, "Node #3: Cannot find OpenSearch name space"),
              c.namespaceMessage)
        << c.rssAttributes;
  }
}

TEST(ParseResponse, RssNamesAreCaseSensitive) {
  Parsed p;
  Parse(p, Rss("<TITLE>Upper</TITLE><title>lower</title>" + Total(0)), 1);
  EXPECT_EQ(p.channel.title, "lower");
}

TEST(ParseResponse, CompletionChecks) {
  struct Case {
    const char* name;
    std::string body;
    int requested;
    bool countSupported;
    Status status;
    bool valid;
    int total, available, queried;
  } cases[] = {
      {"4 of 10, total 4", Rss(Total(4) + Items(4)), 10, true, kOk, true, 4, 4, 4},
      {"4 of 10, total 50", Rss(Total(50) + Items(4)), 10, true, kFewerItemsThanRequested, true, 50,
       50, 4},
      {"total 0 with 3 items", Rss(Total(0) + Items(3)), 10, true, kOk, true, 3, 3, 3},
      {"count unsupported", Rss(Total(50) + Items(10)), 10, false, kOk, true, 10, 10, 10},
      {"no totalResults", Rss(Items(3)), 10, true, kResponseNotRecognised, false, -1, 0, 0},
      {"no rss version", "<rss><channel>" + Total(2) + Items(2) + "</channel></rss>", 10, true,
       kResponseNotRecognised, true, 2, 2, 2},
      {"empty totalResults", Rss("<openSearch:totalResults></openSearch:totalResults>"), 10, true,
       kOk, true, 0, 0, 0},
      {"negative totalResults", Rss(Total(-7) + Items(1)), 10, true, kOk, false, -7, 0, 0},
  };
  for (const auto& c : cases) {
    Parsed p;
    Parse(p, c.body, 0, c.requested, {}, c.countSupported);
    EXPECT_EQ(p.status, c.status) << c.name;
    EXPECT_EQ(p.channel.valid, c.valid) << c.name;
    EXPECT_EQ(p.totals.valid, c.valid) << c.name;
    EXPECT_EQ(p.channel.totalResults, c.total) << c.name;
    EXPECT_EQ(p.totals.availableItems, c.available) << c.name;
    EXPECT_EQ(p.totals.queriedItems, c.queried) << c.name;
  }
}

TEST(ParseResponse, CompletionMessages) {
  Parsed zero;
  Parse(zero, Rss(Total(0) + Items(3)));
  EXPECT_TRUE(zero.log.Has(kLogWarning,
                           "Node #3: Slave node did not indicate totalResults.  Setting to number "
                           "of queried items."));
  Parsed unknown;
  std::string body = "<html><body>" + std::string(300, 'x') + "</body></html>";
  Parse(unknown, body);
  EXPECT_TRUE(
      unknown.log.Has(kLogError, "Node #3: Slave node did not return the expected XML format"));
  EXPECT_FALSE(unknown.log.Contains("Slave node returned"));

  ParseOptions panel;
  panel.logUnrecognisedBody = true;
  Parsed unknownInPanel;
  Parse(unknownInPanel, body, 0, 10, panel);
  EXPECT_TRUE(
      unknownInPanel.log.Has(kLogError, "Node #3: Slave node returned: " + body.substr(0, 200)));
}

TEST(ParseResponse, CdataTitleDependsOnTheNodeKind) {
  std::string body = Rss(Total(1) + "<item><title><![CDATA[Fish &amp; chips]]></title></item>");
  Parsed openSearch, vexa;
  Parse(openSearch, body, 1);
  Parse(vexa, body, 0);
  ASSERT_EQ(openSearch.channel.items.size(), 1u);
  ASSERT_EQ(vexa.channel.items.size(), 1u);
  EXPECT_EQ(openSearch.channel.items[0]->title, "Fish & chips");
  EXPECT_EQ(vexa.channel.items[0]->title, "<![CDATA[Fish &amp; chips]]>");
}

TEST(ParseResponse, OpenSearchNodesIgnoreVexaElements) {
  std::string body = Rss(Total(1) + "<vexa:searchquery>q</vexa:searchquery>" +
                         "<item><title>x</title><vexa:score>50</vexa:score>"
                         "<category>c</category></item>");
  Parsed p;
  Parse(p, body, 1);
  EXPECT_EQ(p.channel.vexaSearchQuery, "");
  EXPECT_EQ(p.channel.items[0]->vexaScore, 0);
  EXPECT_EQ(p.channel.items[0]->category[0], "");
  EXPECT_FALSE(p.totals.vexaScoreSeen);
}

TEST(ParseResponse, ExtraCategoriesAndSuggestionsAreDropped) {
  std::string names, spellings, categories;
  for (int i = 0; i < 70; ++i) names += "<vexa:category>n" + std::to_string(i) + "</vexa:category>";
  for (int i = 0; i < 5; ++i)
    spellings += "<vexa:spelling>s" + std::to_string(i) + "</vexa:spelling>";
  for (int i = 0; i < 10; ++i) categories += "<category>c" + std::to_string(i) + "</category>";
  Parsed p;
  Parse(p, Rss(Total(1) + names + spellings + "<item>" + categories + "</item>"));
  EXPECT_EQ(p.status, kOk);
  EXPECT_EQ(p.channel.catNames[63], "n63");
  EXPECT_EQ(p.channel.vexaSpellingSuggestions[2], "s2");
  EXPECT_EQ(p.channel.items[0]->category[6], "c6");
  EXPECT_EQ(p.channel.items[0]->category[7], "");
  EXPECT_FALSE(p.log.Contains("catNames[64]"));
  EXPECT_FALSE(p.log.Contains("vexaSpellingSuggestions[3]"));
}

TEST(ParseResponse, TagsInsideCommentsAreStillScanned) {
  Parsed p;
  Parse(p, Rss(Total(1) + "<!-- <title>From a comment</title> -->" + Items(1)));
  EXPECT_EQ(p.channel.title, "From a comment");
  EXPECT_EQ(p.channel.items.size(), 1u);
}

TEST(ParseResponse, NulBytesFromANodeNeverReachItems) {
  using namespace std::string_literals;
  std::string item =
      "<item><title>T</title><link>http://site/\0a&#0;b</link>"
      "<description>d&#x0;e\0f&#x00;</description></item>"s;
  for (int type : {0, 1}) {
    Parsed p;
    Parse(p, CleanResponseBody(Rss(Total(1) + item)), type);
    ASSERT_EQ(p.channel.items.size(), 1u) << type;
    const Item& got = *p.channel.items[0];
    EXPECT_EQ(got.link.find('\0'), std::string::npos) << type;
    EXPECT_EQ(got.description.find('\0'), std::string::npos) << type;
    if (type == 1) {  // OpenSearch text has its references decoded
      EXPECT_EQ(got.link, "http://site/ab");
      EXPECT_EQ(got.description, "def");
    }
  }
}

TEST(ParseResponse, MalformedResponses) {
  struct Case {
    const char* name;
    std::string body;
    Status status;
  } cases[] = {
      {"empty", "", kQueryNoResponse},
      {"no closing bracket", Rss(Total(1)) + "<item", kResponseMalformed},
      {"comment without end", "<!-- x", kResponseMalformed},
      {"CDATA without end", Rss(Total(1) + "<item><title><![CDATA[x</title></item>"),
       kResponseMalformed},
      {"long tag", "<a" + std::string(509, 'x') + ">", kTooLong},
      {"tag of 511", "<a" + std::string(508, 'x') + ">", kResponseNotRecognised},
      {"long CDATA", "<a><![CDATA[" + std::string(4081, 'x') + "]]>", kTooLong},
      {"CDATA of 4092", "<a><![CDATA[" + std::string(4080, 'x') + "]]>", kResponseNotRecognised},
  };
  for (const auto& c : cases) {
    Parsed p;
    Parse(p, c.body);
    EXPECT_EQ(p.status, c.status) << c.name;
    EXPECT_FALSE(p.channel.valid) << c.name;
    EXPECT_EQ(p.totals.queriedItems, 0) << c.name;
    EXPECT_EQ(p.totals.availableItems, 0) << c.name;
  }
}

TEST(ParseResponse, StrayEndTagsAndUnclosedRecords) {
  std::string body = Rss(Total(1) + "</item></vexa:recommended></vexa:recommended>" +
                         "<vexa:recommended><title>open</title>" +
                         "<vexa:recommended><title>again</title></vexa:recommended>" +
                         "<vexa:recommended><title>never closed</title>" + Items(1));
  Parsed p;
  Parse(p, body);
  EXPECT_EQ(p.status, kOk);
  ASSERT_EQ(p.channel.recommended.size(), 1u);
  EXPECT_EQ(p.channel.recommended[0].title, "again");
  ASSERT_EQ(p.channel.items.size(), 1u);
  EXPECT_EQ(p.channel.items[0]->title, "T0");
}

TEST(ParseResponse, ControlPanelPlaceholders) {
  std::string body = Rss(Total(1) + "<vexa:recommended></vexa:recommended>" +
                         "<item><link>http://x/</link></item>");
  ParseOptions panel;
  panel.panelPlaceholders = true;
  Parsed withPlaceholders, plain;
  Parse(withPlaceholders, body, 0, 10, panel);
  Parse(plain, body);
  const Channel& c = withPlaceholders.channel;
  EXPECT_EQ(c.title, "Channel title blank");
  EXPECT_EQ(c.description, "Channel description blank");
  EXPECT_EQ(c.link, "Channel link blank");
  EXPECT_EQ(c.recommended[0].title, "Recommended title blank");
  EXPECT_EQ(c.recommended[0].description, "Recommended description blank");
  EXPECT_EQ(c.recommended[0].link, "Recommended link blank");
  EXPECT_EQ(c.items[0]->title, "Item title blank");
  EXPECT_EQ(c.items[0]->description, "Item description blank");
  EXPECT_EQ(c.items[0]->link, "http://x/");
  EXPECT_EQ(plain.channel.title, "");
  EXPECT_EQ(plain.channel.items[0]->title, "");
}

TEST(ParseResponse, HostileInputEndsQuickly) {
  struct Case {
    const char* name;
    std::string body;
  } cases[] = {
      {"open brackets", std::string(1 << 20, '<')},
      {"comment openers", std::string(1 << 20, '<').replace(1, 1, "!") + ">"},
      {"bang tags",
       [] {
         std::string s;
         while (s.size() < (1 << 20)) s += "<!";
         return s + ">";
       }()},
      {"empty elements",
       [] {
         std::string s;
         while (s.size() < (1 << 20)) s += "<item>";
         return s;
       }()},
      {"NUL and invalid UTF-8",
       std::string("<rss version=\"2\0\xff\">\0<item><title>\xc3\x28\0</title>", 40)},
      {"many ampersands", "<rss><channel><title>" + std::string(4000, '&') + "</title>"},
  };
  for (const auto& c : cases) {
    Parsed p;
    auto start = std::chrono::steady_clock::now();
    Parse(p, c.body, 1);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 5.0) << c.name;  // guards against quadratic rescans, not a benchmark
  }
}

TEST(ParseResponse, RecordsBeyondTheLimitAreDropped) {
  std::string many;
  for (size_t i = 0; i < kMaxStoredRecords + 5; ++i)
    many += "<vexa:recommended></vexa:recommended><item></item>";
  Parsed p;
  Parse(p, Rss(Total(50000) + many), 0, 1000);
  EXPECT_EQ(p.status, kOk);
  EXPECT_EQ(p.channel.items.size(), kMaxStoredRecords);
  EXPECT_EQ(p.channel.osTotalQueriedItems, static_cast<int32_t>(kMaxStoredRecords));
  EXPECT_EQ(p.totals.queriedItems, static_cast<int32_t>(kMaxStoredRecords));
  EXPECT_EQ(p.channel.recommended.size(), kMaxStoredRecords);
  EXPECT_TRUE(p.log.Has(kLogWarning, "Node #3: more than 10000 items; the rest are not kept"));
  size_t warnings = 0;
  for (const auto& line : p.log.Lines())
    warnings += line.text.find("items; the rest are not kept") != std::string::npos;
  EXPECT_EQ(warnings, 1u);
}

TEST(ParseResponse, AllocationFailureLabelByProgram) {
  struct Case {
    const char* name;
    ParseOptions options;
    const char* line;
  } cases[] = {
      {"search", ParseOptions{}, "Error allocating memory in Quorix::ProcessXMLTag(12)\n"},
      {"panel", NodeQueryOptions::ControlPanel().parse,
       "Error allocating memory in ProcessXMLTag(12)\n"},
  };
  for (const Case& c : cases) {
    NodeRun run;
    Channel channel;
    NodeTotals totals;
    RecordingLog log;
    ParseState state{3, true, run, channel, totals, log, c.options};
    LogAllocationFailure(state, 12);
    EXPECT_TRUE(log.Has(kLogError, c.line)) << c.name;
  }
}

TEST(ParseRssDate, Forms) {
  struct Case {
    std::string text;
    int64_t seconds;
  } cases[] = {
      {"Tue, 14 Apr 2009 10:00:00 GMT", 1239703200},
      {"14 Apr 2009 10:00 GMT", 1239703200},
      {"Tue, 14 Apr 2009 10:00 GMT", 1239703200},
      {"14 Apr 2009 10:00:00 +0200", 1239703200},     // the zone is ignored
      {"Tue, 14 Foo 2009 10:00:00 GMT", 1231927200},  // unknown month: January
      {"Tue, 14 apr 2009 10:00:00 GMT", 1231927200},  // month names are case-sensitive
      {"Thu, 01 Jan 1970 00:00:01 GMT", 1},
      {"", 0},
      {"Tue, 14 Apr 2009", 0},
      {"Wed, 31 Dec 1969 23:59:59 GMT", -1},
      {"Wed, 1 Jan 3001 00:00:00 GMT", -1},
      {"Tue, 31 Apr 2009 10:00:00 GMT", 1241172000},  // carried into May
      {"x:y", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseRssDate(c.text), c.seconds) << "date: " << c.text;
}

}  // namespace
}  // namespace quorix
