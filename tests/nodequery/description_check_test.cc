// Fetching and checking an OpenSearch description: which template hosts a
// node may use, and what an unusable description reports.
#include <gtest/gtest.h>

#include "nodequery/query_url.h"
#include "platform/url_escape.h"
#include "tests/support/recording_log.h"
#include "tests/support/test_http_server.h"

namespace quorix {
namespace {

using testing::HttpAnswer;
using testing::RecordingLog;
using testing::TestHttpServer;

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
