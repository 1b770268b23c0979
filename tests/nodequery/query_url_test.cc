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
    // The built-in template has no start index, and needs none: no warning.
    EXPECT_TRUE(log.Lines().empty()) << c.name;
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

}  // namespace
}  // namespace quorix
