#include "nodequery/query_url.h"

#include <gtest/gtest.h>

#include "platform/url_escape.h"
#include "tests/support/recording_log.h"
#include "tests/support/test_http_server.h"

namespace quorix {
namespace {

using testing::HttpAnswer;
using testing::RecordingLog;
using testing::TestHttpServer;

TEST(ReplaceAllTest, Cases) {
  struct Case {
    const char* placeholder;
    std::string value;
    std::string text;
    bool found;
    std::string want;
  } cases[] = {
      {"{count}", "20", "?a={count}&b={count}", true, "?a=20&b=20"},
      {"{count}", "20", "?a={count?}", false, "?a={count?}"},
      {"{x}", "{x}", "?a={x}", false, "?a={x}"},
      {"{x}", "{x}{x}", "?a={x}", true, "?a={x}{x}"},  // inserted text is not scanned again
      {"{q}", "", "{q}{q}", true, ""},
      {"{q}", std::string(9000, 'v'), "?{q}", true, "?" + std::string(9000, 'v')},
  };
  for (Case& c : cases) {
    std::string text = c.text;
    EXPECT_EQ(ReplaceAll(c.placeholder, c.value, text), c.found) << c.text;
    EXPECT_EQ(text, c.want) << c.text;
  }
}

NodeRecord VexaNode(const char* path = "/cgi-bin/search.cgi") {
  NodeRecord node;
  node.disabled = false;
  node.type = 0;
  node.osPath = path;
  node.osQuery = kVexaQueryTemplate;
  return node;
}

NodeRecord OpenSearchNode(const char* query, int strict = 0) {
  NodeRecord node;
  node.disabled = false;
  node.type = 1;
  node.osPath = "/os";
  node.osQuery = query;
  node.strictQuerySyntax = strict;
  return node;
}

TEST(BuildQueryStringTest, VexaRequestPaths) {
  struct Case {
    const char* name;
    bool useCats, multi, matchAll, sortDate;
    std::vector<int32_t> cats;
    std::string wantTail;
  } cases[] = {
      {"no categories",
       false,
       false,
       true,
       false,
       {},
       "&quorix=1&vexa_xml=1&vexa_and=1&vexa_sort=0"},
      {"categories, first only",
       true,
       false,
       false,
       true,
       {2, 5, 7},
       "&quorix=1&vexa_xml=1&vexa_and=0&vexa_cat%5B%5D=2&vexa_sort=1"},
      {"categories, all of them",
       true,
       true,
       false,
       false,
       {2, 5, 7},
       "&quorix=1&vexa_xml=1&vexa_and=0&vexa_cat%5B%5D=2&vexa_cat%5B%5D=5&vexa_cat%5B%5D=7"
       "&vexa_sort=0"},
      {"categories, none selected",
       true,
       false,
       false,
       false,
       {-1},
       "&quorix=1&vexa_xml=1&vexa_and=0&vexa_cat%5B%5D=-1&vexa_sort=0"},
  };
  for (const Case& c : cases) {
    NodeRecord node = VexaNode();
    NodeQueryRequest request;
    request.escapedQuery = "c%2B%2B";
    request.wordMatchAll = c.matchAll;
    request.sortDate = c.sortDate;
    request.cat = c.cats;
    RecordingLog log;
    NodeRun run;
    UseConfiguredUrl(node, run);
    ASSERT_EQ(BuildQueryString(0, node, run, request, 20, c.useCats, c.multi, log), kOk) << c.name;
    EXPECT_EQ(run.requestPath,
              "/cgi-bin/search.cgi?vexa_query=c%2B%2B&vexa_page=1&vexa_per_page=20&vexa_and={"
              "searchAll?}&vexa_xml=1" +
                  c.wantTail)
        << c.name;
    // The built-in template has no start index: a warning for every Vexa query.
    ASSERT_EQ(log.Lines().size(), 1u) << c.name;
    EXPECT_TRUE(log.Has(kLogWarning,
                        "Node #0 does not support Core Open Search query parameter {startIndex}."))
        << c.name;
  }
}

TEST(BuildQueryStringTest, OpenSearchPlaceholders) {
  // 255 CJK characters: the longest query, 2295 bytes once escaped.
  std::string cjk;
  for (int i = 0; i < 255; ++i) cjk += "\xE4\xB8\xAD";
  const std::string longQuery = UrlEscape(cjk);
  ASSERT_EQ(longQuery.substr(0, 18), "%E4%B8%AD%E4%B8%AD");
  ASSERT_EQ(longQuery.size(), 255u * 9);
  const std::string twice =
      "?a={searchTerms}&b={searchTerms}&n={count}&p={startPage}&i={startIndex}";
  struct Case {
    std::string query;
    int strict;
    Status want;
    std::string wantPath;
    bool countSupported, startPageSupported;
    std::vector<std::string> wantLines;
    std::string escapedQuery = "test";
  } cases[] = {
      {"?q={searchTerms}&n={count}&p={startPage?}",
       0,
       kOk,
       "/os?q=test&n=10&p=3",
       true,
       true,
       {"Node #4 does not support Core Open Search query parameter {startIndex}."}},
      {"?q={searchTerms}&n={count?}&i={startIndex}",
       0,
       kOk,
       "/os?q=test&n=10&i=1",
       true,
       false,
       {"Node #4 does not support Core Open Search query parameter {startPage}."}},
      {"?q={searchTerms}&i={startIndex?}&p={startPage}",
       0,
       kOk,
       "/os?q=test&i=1&p=3",
       false,
       true,
       {"Node #4 does not support Core Open Search query parameter {count}."}},
      {"?q={searchTerms}&i={startIndex}&p={startPage}",
       1,
       kQuerySyntaxUnsupported,
       "",
       false,
       true,
       {"Node #4 does not support Core Open Search query parameter {count}."}},
      {"?q={query}&n={count}",
       0,
       kQuerySyntaxUnsupported,
       "",
       true,
       true,
       {"Node #4 does not support Core Open Search query parameter {searchTerms}."}},
      {"?q={searchTerms}&lang={language?}&n={count}&p={startPage}&i={startIndex}",
       0,
       kOk,
       "/os?q=test&lang={language?}&n=10&p=3&i=1",
       true,
       true,
       {}},
      {"?q={searchTerms}&n={count}&p={startPage}",
       0,
       kOk,
       "/os?q=" + longQuery + "&n=10&p=3",
       true,
       true,
       {"Node #4 does not support Core Open Search query parameter {startIndex}."},
       longQuery},
      {twice,
       0,
       kOk,
       "/os?a=" + longQuery + "&b=" + longQuery + "&n=10&p=3&i=1",
       true,
       true,
       {},
       longQuery},
      {twice + twice + twice,
       0,
       kQueryUrlTooLong,
       "",
       true,
       true,
       {"Node #4: the query URL would be 13830 characters long, more than 8000"},
       longQuery},
  };
  for (const Case& c : cases) {
    NodeRecord node = OpenSearchNode(c.query.c_str(), c.strict);
    NodeQueryRequest request;
    request.escapedQuery = c.escapedQuery;
    request.nodeStartPage[4] = 3;
    RecordingLog log;
    NodeRun run;
    UseConfiguredUrl(node, run);
    EXPECT_EQ(BuildQueryString(4, node, run, request, 10, true, true, log), c.want) << c.query;
    EXPECT_EQ(run.requestPath, c.wantPath) << c.query;
    EXPECT_EQ(run.countSupported, c.countSupported) << c.query;
    EXPECT_EQ(run.startPageSupported, c.startPageSupported) << c.query;
    std::vector<std::string> lines;
    for (const auto& line : log.Lines()) lines.push_back(line.text);
    EXPECT_EQ(lines, c.wantLines) << c.query;
  }
}

TEST(BuildQueryStringTest, MissingCountIsAWarningOrAnErrorByStrictness) {
  for (int strict : {0, 1}) {
    NodeRecord node = OpenSearchNode("?q={searchTerms}&p={startPage}&i={startIndex}", strict);
    RecordingLog log;
    NodeRun run;
    UseConfiguredUrl(node, run);
    BuildQueryString(0, node, run, NodeQueryRequest(), 10, false, false, log);
    EXPECT_TRUE(log.Has(strict ? kLogError : kLogWarning,
                        "Node #0 does not support Core Open Search query parameter {count}."))
        << "strict " << strict;
  }
}

TEST(BuildQueryStringTest, RequestPathTooLongIsRefusedNotCut) {
  NodeRecord node = OpenSearchNode("?q={searchTerms}&n={count}");
  node.osPath = "/" + std::string(kRequestPathUnits, 'p');
  NodeQueryRequest request;
  request.escapedQuery = "x";
  RecordingLog log;
  NodeRun run;
  UseConfiguredUrl(node, run);
  EXPECT_EQ(BuildQueryString(0, node, run, request, 10, false, false, log), kQueryUrlTooLong);
  EXPECT_EQ(run.requestPath, "");
}

TEST(SplitQueryTemplateTest, Cases) {
  UrlParts base{"http", "desc.example:8080", "/dir/os.xml?v=1", ""};
  struct Case {
    std::string templ;
    TemplateSplit want;
    UrlParts parts;
  } cases[] = {
      {"http://h.example/s?q={searchTerms}",
       TemplateSplit::kOk,
       {"http", "h.example", "/s", "?q={searchTerms}"}},
      {"HTTP://h.example:81/a/b?q=1", TemplateSplit::kOk, {"http", "h.example:81", "/a/b", "?q=1"}},
      {"https://h.example/s?q=1", TemplateSplit::kOk, {"https", "h.example", "/s", "?q=1"}},
      {"//h.example/s?q=1", TemplateSplit::kOk, {"http", "h.example", "/s", "?q=1"}},
      {"/search?q=1", TemplateSplit::kOk, {"http", "desc.example:8080", "/search", "?q=1"}},
      {"search?q=1", TemplateSplit::kOk, {"http", "desc.example:8080", "/dir/search", "?q=1"}},
      {"?q=1", TemplateSplit::kOk, {"http", "desc.example:8080", "/dir/os.xml", "?q=1"}},
      {"http://h.example?q=1", TemplateSplit::kNoPathOrQuery, {}},
      {"http://h.example/s", TemplateSplit::kNoPathOrQuery, {}},
      {"http:///s?q=1", TemplateSplit::kNoPathOrQuery, {}},
      {"ftp://h.example/s?q=1", TemplateSplit::kUnsupportedScheme, {}},
      {"http://" + std::string(256, 'h') + "/s?q=1", TemplateSplit::kTooLong, {}},
      {"http://" + std::string(255, 'h') + "/s?q=1",
       TemplateSplit::kOk,
       {"http", std::string(255, 'h'), "/s", "?q=1"}},
      {"http://h/s?" + std::string(511, 'q'), TemplateSplit::kTooLong, {}},
      {"http://h/s?" + std::string(510, 'q'),
       TemplateSplit::kOk,
       {"http", "h", "/s", "?" + std::string(510, 'q')}},
      {"http://h/" + std::string(2047, 'p') + "?q", TemplateSplit::kTooLong, {}},
  };
  for (const Case& c : cases) {
    UrlParts out;
    TemplateSplit got = SplitQueryTemplate(c.templ, base, out);
    EXPECT_EQ(static_cast<int>(got), static_cast<int>(c.want)) << c.templ;
    if (got != TemplateSplit::kOk || c.want != TemplateSplit::kOk) continue;
    EXPECT_EQ(out.scheme, c.parts.scheme) << c.templ;
    EXPECT_EQ(out.host, c.parts.host) << c.templ;
    EXPECT_EQ(out.path, c.parts.path) << c.templ;
    EXPECT_EQ(out.query, c.parts.query) << c.templ;
  }
}

TEST(TemplateHostAllowedTest, LocalTemplatesOnlyForNodesConfiguredOnTheLocalNetwork) {
  struct Case {
    const char* vexaHost;
    const char* descHost;
    bool nameResolvedLocal;  // the description's host was reached on a local address
    const char* templateHost;
    bool allowed;
  } cases[] = {
      {"", "search.example.org", false, "127.0.0.1", false},
      {"", "search.example.org", false, "10.0.0.1:8080", false},
      {"", "search.example.org", false, "169.254.1.1", false},
      {"", "search.example.org", false, "100.100.100.200", false},
      {"", "search.example.org", false, "[64:ff9b::7f00:1]", false},
      {"", "search.example.org", false, "[::1]", false},
      {"", "search.example.org", false, "localhost", false},
      {"vexa.example", "", false, "192.168.0.9", false},
      {"", "search.example.org", false, "results.example.net", true},
      {"", "127.0.0.1:8081", false, "127.0.0.1:9000", true},
      {"", "10.1.1.1", false, "192.168.0.9", true},
      {"[::1]:81", "search.example.org", false, "localhost", true},
      // A configured name counts by the address it was reached on, not by its text.
      {"", "localhost:8081", false, "127.0.0.1", false},
      {"", "localhost:8081", true, "127.0.0.1", true},
      {"", "intranet.example", true, "10.0.0.5", true},
  };
  for (const Case& c : cases) {
    NodeRecord node;
    node.vexaHost = c.vexaHost;
    node.osDescHost = c.descHost;
    EXPECT_EQ(TemplateHostAllowed(node, c.nameResolvedLocal, c.templateHost), c.allowed)
        << c.vexaHost << " " << c.descHost << " -> " << c.templateHost;
  }
}

// A description document with the given Url elements.
std::string Description(const std::string& urls) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<OpenSearchDescription xmlns=\"http://a9.com/-/spec/opensearch/1.1/\">\n"
         "  <ShortName>Test</ShortName>\n" +
         urls + "\n</OpenSearchDescription>\n";
}

struct DescriptionFixture : ::testing::Test {
  NodeRecord Node(int type = 1) {
    NodeRecord node;
    node.disabled = false;
    node.type = type;
    node.osDescScheme = "http";
    node.osDescHost = server.HostPort();
    node.osDescPath = "/os.xml";
    node.timeoutMs = 5000;
    return node;
  }
  Status Check(const NodeRecord& node) {
    NodeQueryEnv env{log, options};
    run = NodeRun();
    return CheckOpenSearchDescriptionFileURL(0, node, run, env);
  }
  NodeRun run;
  TestHttpServer server;
  RecordingLog log;
  NodeQueryOptions options;
};

TEST_F(DescriptionFixture, TemplatesAreFoundSplitAndDecoded) {
  struct Case {
    const char* name;
    std::string urls;
    std::string scheme, host, path, query;
    bool byName;  // the node is configured as localhost:<port>
  } cases[] = {
      {"self-closing RSS Url",
       "<Url type=\"text/html\" template=\"http://www.example/html?q={searchTerms}\"/>\n"
       "<Url type=\"application/rss+xml\" "
       "template=\"http://search.example/rss.php?q={searchTerms}&amp;n={count}\"/>",
       "http", "search.example", "/rss.php", "?q={searchTerms}&n={count}", false},
      {"content form", "<Url>http://plain.example:81/s?q={searchTerms}&amp;p={startPage?}</Url>",
       "http", "plain.example:81", "/s", "?q={searchTerms}&p={startPage?}", false},
      {"Url with Param children",
       "<Url type=\"application/rss+xml\" template=\"https://sec.example/find?q={searchTerms}\">"
       "<Param name=\"a\" value=\"b\"/></Url>",
       "https", "sec.example", "/find", "?q={searchTerms}", false},
      {"relative template", "<Url type=\"application/rss+xml\" template=\"/rss?q={searchTerms}\"/>",
       "http", "", "/rss", "?q={searchTerms}", false},
      // A name that resolves to 127.0.0.1 is a node on the local network.
      {"local template of a node configured by name",
       "<Url type=\"application/rss+xml\" template=\"http://127.0.0.1:1/rss?q={searchTerms}\"/>",
       "http", "127.0.0.1:1", "/rss", "?q={searchTerms}", true},
  };
  for (const Case& c : cases) {
    server.Answer("/os.xml", HttpAnswer(Description(c.urls)));
    NodeRecord node = Node();
    if (c.byName) node.osDescHost = "localhost:" + std::to_string(server.port());
    ASSERT_EQ(Check(node), kOk) << c.name;
    EXPECT_TRUE(run.descriptionHostLocal) << c.name;
    EXPECT_EQ(run.osScheme, c.scheme) << c.name;
    EXPECT_EQ(run.osHost, c.host.empty() ? node.osDescHost : c.host) << c.name;
    EXPECT_EQ(run.osPath, c.path) << c.name;
    EXPECT_EQ(run.osQuery, c.query) << c.name;
    EXPECT_TRUE(run.descriptionResolved) << c.name;
    EXPECT_NE(run.responseBody.find("OpenSearchDescription"), std::string::npos) << c.name;
  }
}

TEST_F(DescriptionFixture, UnusableDescriptions) {
  struct Case {
    const char* name;
    HttpAnswer answer;
    Status want;
    std::string line;
  } cases[] = {
      {"text/html only",
       HttpAnswer(Description("<Url type=\"text/html\" template=\"http://h/s?q={searchTerms}\"/>")),
       kDescNotRecognised,
       "Node #0: Open Search Description file \"HOST/os.xml\" did not return a recognised "
       "format"},
      {"not a description", HttpAnswer("<html><body>hello</body></html>"), kDescNotRecognised, ""},
      {"empty body", HttpAnswer("").Status(404), kDescNoResponse,
       "Node #0: No response from \"HOST/os.xml\""},
      {"template without query",
       HttpAnswer(Description("<Url type=\"application/rss+xml\" template=\"http://h/s\"/>")),
       kQuerySyntaxUnsupported,
       "Node #0: Open Search Description query syntax not supported \"http://h/s\""},
      {"host too long",
       HttpAnswer(Description("<Url type=\"application/rss+xml\" template=\"http://" +
                              std::string(300, 'h') + "/s?q={searchTerms}\"/>")),
       kQuerySyntaxUnsupported,
       "Node #0: Open Search Description query URL is too long (host over 255, path over 2047 or "
       "query over 511 characters) \"http://" +
           std::string(300, 'h') + "/s?q={searchTerms}\""},
      {"template back to this search",
       HttpAnswer(Description("<Url type=\"application/rss+xml\" template=\"http://" +
                              server.HostPort() + "/quorix.cgi?vexa_query={searchTerms}\"/>")),
       kNodeLeadsToSelf, "Node #0: Address leads back to this search \"HOST/quorix.cgi\""},
      {"redirect back to this search",
       HttpAnswer().Status(302).Header("Location", server.Url("/quorix.cgi?vexa_query=x")),
       kNodeLeadsToSelf, "Node #0: Address leads back to this search \"HOST/os.xml\""},
  };
  for (const Case& c : cases) {
    server.Answer("/os.xml", c.answer);
    NodeRecord node = Node();
    RecordingLog fresh;
    std::string self = server.HostPort();  // this search, as far as the node can tell
    NodeQueryEnv env{fresh, options, nullptr, self, "/quorix.cgi"};
    NodeRun run;
    EXPECT_EQ(CheckOpenSearchDescriptionFileURL(0, node, run, env), c.want) << c.name;
    EXPECT_TRUE(run.osHost.empty()) << c.name;
    EXPECT_FALSE(run.descriptionResolved) << c.name;
    std::string line = c.line;
    if (size_t at = line.find("HOST"); at != std::string::npos)
      line.replace(at, 4, server.HostPort());
    if (!line.empty()) {
      EXPECT_TRUE(fresh.Has(kLogError, line)) << c.name;
    }
    EXPECT_FALSE(fresh.Lines().empty()) << c.name;
  }
}

TEST_F(DescriptionFixture, UnreachableServerIsASendFailure) {
  NodeRecord node = Node();
  node.osDescHost = "127.0.0.1:1";
  EXPECT_EQ(Check(node), kDescSendFailed);
  EXPECT_TRUE(log.Has(kLogError, "Node #0: Failed to send HTTP request to \"127.0.0.1:1/os.xml\""));
  node.osDescHost = "";
  EXPECT_EQ(Check(node), kDescConnectFailed);
  EXPECT_TRUE(log.Has(kLogError, "Node #0: Failed to connect to \"\""));
}

TEST_F(DescriptionFixture, PanelSendFailureNamesTheHostAndTheReason) {
  options = NodeQueryOptions::ControlPanel();
  NodeRecord node = Node();
  node.osDescHost = "127.0.0.1:1";
  EXPECT_EQ(Check(node), kDescSendFailed);
  EXPECT_TRUE(log.Has(kLogError, "Node #0: Failed to send HTTP request to \"127.0.0.1:1\""));
  EXPECT_TRUE(log.Contains("(Error: "));
}

TEST_F(DescriptionFixture, ResolveOpenSearchNode) {
  server.Answer("/os.xml",
                HttpAnswer(Description(
                    "<Url type=\"application/rss+xml\" template=\"/r?q={searchTerms}\"/>")));
  NodeRecord node = Node();
  NodeQueryEnv env{log, options};
  ASSERT_EQ(ResolveQueryUrl(2, node, run, env), kOk);
  EXPECT_EQ(run.osPath, "/r");
  EXPECT_TRUE(node.osPath.empty());
  EXPECT_TRUE(log.Has(kLogInfo, "Node #2 \"http://" + server.HostPort() +
                                    "/os.xml\" is a valid OpenSearch Description URL"));
  EXPECT_TRUE(log.Contains("ms - Node [2]: CheckOpenSearchDescriptionFileURL OpenSearch Node"));

  // A query URL from the settings is used as it is.
  size_t requests = server.RequestCount();
  node.osScheme = "http";
  node.osHost = "saved.example";
  node.osPath = "/saved";
  node.osQuery = "?q={searchTerms}";
  ASSERT_EQ(ResolveQueryUrl(2, node, run, env), kOk);
  EXPECT_EQ(server.RequestCount(), requests);
  EXPECT_EQ(run.osHost + run.osPath, "saved.example/saved");
  EXPECT_FALSE(run.descriptionResolved);

  NodeRecord broken = Node();
  broken.osDescPath = "/missing.xml";
  EXPECT_EQ(ResolveQueryUrl(2, broken, run, env), kDescNotRecognised);
  EXPECT_TRUE(log.Has(kLogError, "Node #2 \"http://" + server.HostPort() +
                                     "/missing.xml\" is NOT valid OpenSearch Description URL"));
}

TEST_F(DescriptionFixture, ResolveVexaNode) {
  NodeQueryEnv env{log, options};
  NodeRecord plain = Node(0);
  plain.osDescHost.clear();
  plain.vexaScheme = "http";
  plain.vexaHost = "vexa.example:8081";
  plain.vexaPath = "/search.cgi";
  ASSERT_EQ(ResolveQueryUrl(0, plain, run, env), kOk);
  EXPECT_EQ(run.osHost, "vexa.example:8081");
  EXPECT_EQ(run.osPath, "/search.cgi");
  EXPECT_EQ(run.osQuery, kVexaQueryTemplate);
  EXPECT_EQ(server.RequestCount(), 0u);

  // The description cannot be used: the node URL stands in, the code is kept.
  NodeRecord fallback = plain;
  fallback.osDescHost = server.HostPort();
  fallback.osDescPath = "/nothing-here";
  EXPECT_EQ(ResolveQueryUrl(0, fallback, run, env), kDescNotRecognised);
  EXPECT_EQ(run.osHost, "vexa.example:8081");
  EXPECT_EQ(run.osQuery, kVexaQueryTemplate);
  EXPECT_TRUE(log.Contains("ms - Node [0]: CheckOpenSearchDescriptionFileURL Vexa Node"));

  NodeRecord empty = fallback;
  empty.vexaPath.clear();
  EXPECT_EQ(ResolveQueryUrl(0, empty, run, env), kQueryUrlEmpty);
}

}  // namespace
}  // namespace quorix
