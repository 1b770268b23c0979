// The request lifecycle: the built program run as a CGI, and RunCgi in process
// with fake components where the page alone cannot show the request record.
#include "search/request/cgi_main.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <sstream>

#include "tests/search/cgi_test_support.h"
#include "tests/support/cgi_runner.h"

namespace quorix {
namespace {

using testing::CgiBody;
using testing::CgiSandbox;
using testing::QuorixBinary;

const std::string kHeader = "Content-type: text/html;\n\n<!--Vexa Search Engine -->\n";
const std::string kErrorHeader = "Content-type: text/html\n\n";

std::string InfoLine(const std::string& text) {
  return "<div><font size=\"2\"><i>" + text + "</i></font></div>";
}

class CgiProgramTest : public ::testing::Test {
 protected:
  CgiProgramTest() : sandbox_(QuorixBinary()) {
    sandbox_.WriteFile("settings.qxdat",
                       "DEBUG = 1\r\nAllowRequestDebug = 1\r\nDefaultToAnd = 1\r\n");
  }
  CgiSandbox sandbox_;
};

TEST_F(CgiProgramTest, UnreadableRequests) {
  struct Case {
    const char* name;
    testing::EnvironmentMap environment;
    std::string input;
    std::string text;
  } cases[] = {
      {"no method", {}, "", "Request method error"},
      {"HEAD", {{"REQUEST_METHOD", "HEAD"}}, "", "Request method error"},
      {"multipart",
       {{"REQUEST_METHOD", "POST"},
        {"CONTENT_TYPE", "multipart/form-data"},
        {"CONTENT_LENGTH", "3"}},
       "a=1",
       "MIME content type error"},
      {"short body",
       {{"REQUEST_METHOD", "POST"},
        {"CONTENT_TYPE", "application/x-www-form-urlencoded"},
        {"CONTENT_LENGTH", "50"}},
       "a=1",
       "I/O error"},
      {"huge body",
       {{"REQUEST_METHOD", "POST"},
        {"CONTENT_TYPE", "application/x-www-form-urlencoded"},
        {"CONTENT_LENGTH", "2000000"}},
       "",
       "Out-of-memory error"},
  };
  for (const auto& c : cases) {
    auto run = sandbox_.Run(c.environment, c.input);
    EXPECT_EQ(run.exitStatus, 1) << c.name;
    EXPECT_EQ(run.output, kErrorHeader + "<H3>" + c.text + "</H3>\n") << c.name;
  }
}

TEST_F(CgiProgramTest, EmptyPostIsAnEmptyForm) {
  for (std::string length : {"0", ""}) {
    auto run = sandbox_.Run({{"REQUEST_METHOD", "POST"},
                             {"CONTENT_TYPE", "application/x-www-form-urlencoded"},
                             {"CONTENT_LENGTH", length}});
    EXPECT_EQ(run.exitStatus, 0) << length;
    EXPECT_EQ(run.output.substr(0, kHeader.size()), kHeader) << length;
  }
}

TEST_F(CgiProgramTest, PostBodyIsDecoded) {
  auto run = sandbox_.Post("vexa_query=a+b&vexa_page=4");
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_NE(run.output.find(InfoLine("gVexaQuery.query_out: a b")), std::string::npos);
  EXPECT_NE(run.output.find(InfoLine("gVexaQuery.currentPageNum: 4")), std::string::npos);
}

TEST_F(CgiProgramTest, RequestValuesInTheSettingsDump) {
  struct Case {
    std::string query;
    std::vector<std::string> lines;
  } cases[] = {
      {"",
       {"gVexaQuery.itemsPerPage: 10", "gVexaQuery.currentPageNum: 1", "gVexaQuery.sortDate: 0",
        "gVexaQuery.wordMatchAll: 1", "gVexaQuery.query_out: "}},
      {"vexa_per_page=abc", {"gVexaQuery.itemsPerPage: 10"}},
      {"vexa_per_page=+", {"gVexaQuery.itemsPerPage: 10"}},
      {"vexa_per_page=%2025x", {"gVexaQuery.itemsPerPage: 25"}},
      {"vexa_per_page=100", {"gVexaQuery.itemsPerPage: 100"}},
      {"vexa_per_page=1000", {"gVexaQuery.itemsPerPage: 100"}},
      {"vexa_page=-3", {"gVexaQuery.currentPageNum: -3"}},
      {"vexa_sort=5", {"gVexaQuery.sortDate: 1"}},
      {"vexa_and=0", {"gVexaQuery.wordMatchAll: 0"}},
      {"vexa_and=x", {"gVexaQuery.wordMatchAll: 1"}},
      {"vexa_and=%7BsearchAll%3F%7D&quorix=1&vexa_and=0", {"gVexaQuery.wordMatchAll: 0"}},
      {"vexa_query=a<b", {"gVexaQuery.query_out: a&lt;b", "Checking cache for &quot;a&lt;b&quot;"}},
      {"vexa_query=%22big+cat%22+dog", {"gVexaQuery.query_out: &quot;big cat&quot; dog"}},
      {"vexa_query=x&vexa_debug=0", {}},
  };
  for (const auto& c : cases) {
    auto run = sandbox_.Get(c.query, {{"REMOTE_ADDR", "10.1.2.3"}});
    EXPECT_EQ(run.exitStatus, 0) << c.query;
    EXPECT_EQ(run.output.substr(0, kHeader.size()), kHeader) << c.query;
    for (const auto& line : c.lines)
      EXPECT_NE(run.output.find(InfoLine(line)), std::string::npos) << c.query << ": " << line;
    if (c.lines.empty()) {
      EXPECT_EQ(run.output, kHeader) << c.query;  // vexa_debug=0 hides it
    }
  }
}

TEST_F(CgiProgramTest, QueryNeverReachesThePageUnescaped) {
  sandbox_.WriteFile("search_template.html", testing::PageTemplateText());
  const std::string probe = "%22%3E%3Cscript%3Ealert(1)%3C/script%3E";
  const std::string cases[] = {probe, probe + std::string(2060, 'a'),
                               std::string(2070, 'a') + probe, std::string(700, '&') + probe};
  for (const std::string& query : cases) {
    for (int debug : {0, 2}) {
      auto run = sandbox_.Get("vexa_query=" + query + "&vexa_debug=" + std::to_string(debug));
      EXPECT_EQ(run.exitStatus, 0);
      EXPECT_EQ(run.output.find("<script>"), std::string::npos)
          << query.size() << " bytes, debug " << debug;
    }
  }
}

TEST_F(CgiProgramTest, MissingSettingsFile) {
  std::filesystem::remove(sandbox_.PathOf("settings.qxdat"));
  auto run = sandbox_.Get("vexa_query=cat");
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.output, kHeader +
                            "<div><font size=\"2\" color=\"red\"><i>Quorix::LoadConfig[185]: "
                            "Failed to open config file</i></font></div>settings.qxdat file not "
                            "found!<br>");
}

TEST_F(CgiProgramTest, MachineAnswersCarryNoHtmlAndExitZero) {
  sandbox_.WriteFile("settings.qxdat", "DEBUG = 2\r\nOpenSearchShortName = \"Town & Gown\"\r\n");
  struct Case {
    const char* queryString;
    const char* hops;
    const char* header;
    const char* body;  // a part the body must hold
  };
  const Case kCases[] = {
      {"vexa_query=cat&vexa_xml=1", "", "Content-type: application/rss+xml; charset=utf-8\n\n",
       "<openSearch:totalResults>0</openSearch:totalResults>"},
      {"vexa_query=cat&vexa_format=json", "4", "Content-type: application/json\n\n", "\"total\":0"},
      {"vexa_query=cat&vexa_format=json&vexa_per_page=5000", "",
       "Content-type: application/json\n\n", "\"per_page\":1000"},
      {"vexa_format=opensearch", "",
       "Content-type: application/opensearchdescription+xml\nCache-Control: public, "
       "max-age=3600\nVary: Host\n\n",
       "<ShortName>Town &amp; Gown</ShortName>"},
  };
  for (const Case& c : kCases) {
    auto run = sandbox_.Get(c.queryString, {{"HTTP_X_QUORIX_HOPS", c.hops},
                                            {"HTTP_HOST", "www.example.org"},
                                            {"SCRIPT_NAME", "/search/quorix.cgi"}});
    EXPECT_EQ(run.exitStatus, 0) << c.queryString;
    EXPECT_EQ(run.output.rfind(c.header, 0), 0u) << run.output;
    EXPECT_NE(run.output.find(c.body), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("<div"), std::string::npos) << run.output;
  }
  auto description = sandbox_.Get(
      "vexa_format=opensearch",
      {{"HTTPS", "on"}, {"HTTP_HOST", "www.example.org"}, {"SCRIPT_NAME", "/search/q.cgi"}});
  EXPECT_NE(description.output.find("template=\"https://www.example.org/search/q.cgi?vexa_query="
                                    "{searchTerms}&amp;vexa_page={startPage?}&amp;vexa_per_page="
                                    "{count?}&amp;vexa_format=json\""),
            std::string::npos)
      << description.output;

  // A fixed public address replaces the Host header, which then needs no Vary.
  const std::pair<const char*, const char*> kBases[] = {
      {"https://search.example.org/q.cgi", "template=\"https://search.example.org/q.cgi?"},
      {"javascript:alert(1)//", "template=\"http://forged.example/search/q.cgi?"},
      {"https://search.example.org/q.cgi?x=\\\"", "template=\"http://forged.example/search/q.cgi?"},
  };
  for (const auto& [base, expected] : kBases) {
    sandbox_.WriteFile("settings.qxdat", std::string("PublicBaseUrl = \"") + base + "\"\r\n");
    auto fixed = sandbox_.Get("vexa_format=opensearch",
                              {{"HTTP_HOST", "forged.example"}, {"SCRIPT_NAME", "/search/q.cgi"}});
    EXPECT_NE(fixed.output.find(expected), std::string::npos) << base << fixed.output;
    EXPECT_EQ(fixed.output.find("Vary: Host") == std::string::npos,
              std::string(expected).find("forged") == std::string::npos)
        << base << fixed.output;
  }

  std::filesystem::remove(sandbox_.PathOf("settings.qxdat"));
  auto missing = sandbox_.Get("vexa_query=cat&vexa_format=json");
  EXPECT_EQ(missing.exitStatus, 0);
  EXPECT_NE(CgiBody(missing.output).find("\"errors\":[\"settings.qxdat file not found!\"]"),
            std::string::npos)
      << missing.output;
}

// The operators' answers: health, and metrics for the listed addresses alone,
// counted by every run into one file beside the cache or not at all.
TEST_F(CgiProgramTest, HealthAndMetricsAnswers) {
  namespace fs = std::filesystem;
  const std::string cache = sandbox_.PathOf("cache");
  const std::string settings = "DEBUG = 1\r\n";
  struct HealthCase {
    std::function<void()> setUp;
    const char* reason;  // null: healthy
  };
  const HealthCase kHealth[] = {
      {[&] {}, "the cache directory is missing"},
      {[&] { fs::create_directory(cache); }, nullptr},
      {[&] { fs::remove(cache), sandbox_.WriteFile("cache", ""); },
       "the cache directory cannot be written"},
      {[&] {
         fs::remove(cache), fs::create_directory(cache),
             fs::remove(sandbox_.PathOf("settings.qxdat"));
       },
       "the settings cannot be read"},
  };
  for (const HealthCase& c : kHealth) {
    c.setUp();
    auto run = sandbox_.Get("vexa_format=health");
    EXPECT_EQ(run.output,
              c.reason ? std::string("Status: 503 Service Unavailable\n"
                                     "Content-type: application/json\nCache-Control: "
                                     "no-store\n\n{\"status\":\"unavailable\",\"reason\":\"") +
                             c.reason + "\"}\n"
                       : "Status: 200 OK\nContent-type: application/json\n"
                         "Cache-Control: no-store\n\n{\"status\":\"ok\"}\n");
  }
  sandbox_.WriteFile("settings.qxdat", settings);
  for (const char* query : {"vexa_query=cat", "vexa_query=dog", "vexa_query=cat&vexa_format=json"})
    sandbox_.Get(query);
  auto metrics = [&](const char* address) {
    return sandbox_.Get("vexa_format=metrics", {{"REMOTE_ADDR", address}}).output;
  };
  const std::string counted = metrics("127.0.0.1");
  EXPECT_EQ(counted.rfind("Content-type: application/openmetrics-text; version=1.0.0; "
                          "charset=utf-8\nCache-Control: no-store\n\n# TYPE quorix_build info\n",
                          0),
            0u)
      << counted;
  for (const char* line : {"\nquorix_build_info{version=\"" QUORIX_VERSION "\"} 1\n",
                           "\nquorix_searches_total{format=\"html\"} 2\n",
                           "\nquorix_searches_total{format=\"json\"} 1\n",
                           "\nquorix_cache_misses_total 3\n", "\n# EOF\n"})
    EXPECT_NE(counted.find(line), std::string::npos) << line << counted;

  const std::string kNotFound =
      "Status: 404 Not Found\nContent-type: text/plain; charset=utf-8\n\nNot found\n";
  EXPECT_EQ(metrics("10.1.2.3"), kNotFound);
  EXPECT_EQ(metrics("127.0.0.1 "), kNotFound);
  sandbox_.WriteFile("settings.qxdat", settings + "MetricsAllowFrom = \"192.0.2.7  10.1.2.3\"\r\n");
  EXPECT_EQ(metrics("127.0.0.1"), kNotFound);
  EXPECT_NE(metrics("10.1.2.3").find("# EOF"), std::string::npos);

  // A counters file that is a link or of another size is left as it is: the
  // search goes on uncounted.
  const std::string file = cache + "/metrics.counters";
  const std::string target = sandbox_.PathOf("elsewhere");
  const std::string before = sandbox_.ReadFile("cache/metrics.counters");
  sandbox_.WriteFile("elsewhere", before);
  fs::remove(file);
  fs::create_symlink(target, file);
  EXPECT_NE(sandbox_.Get("vexa_query=cat").output.find("cat"), std::string::npos);
  EXPECT_EQ(sandbox_.ReadFile("elsewhere"), before);
  EXPECT_NE(metrics("10.1.2.3").find("\nquorix_searches_total{format=\"html\"} 0\n"),
            std::string::npos);
  fs::remove(file);
  sandbox_.WriteFile("cache/metrics.counters", "short");
  EXPECT_NE(sandbox_.Get("vexa_query=cat").output.find("cat"), std::string::npos);
  EXPECT_EQ(sandbox_.ReadFile("cache/metrics.counters"), "short");
}

// Started by hand rather than by a web server, the program says what it is
// instead of answering a request it was never sent.
TEST(CommandLine, VersionAndUsageWithoutAWebServer) {
  struct Case {
    const char* command;  // after the program's path
    int exitStatus;
    const char* output;          // a part of standard output and error
    const char* variables = "";  // the environment, none when empty
  } cases[] = {
      {"--version", 0, "quorix 1."},
      {"--help", 0, "usage: quorix"},
      {"--check-everything", 2, "quorix: unknown argument \"--check-everything\"\nusage: quorix"},
      {"garden", 2, "unknown argument"},
      // A web server may pass the words of a query without "=" as arguments.
      {"garden", 0, "Content-type:", "REQUEST_METHOD=GET QUERY_STRING=garden "},
  };
  for (const Case& c : cases) {
    std::string command = std::string("env -i ") + c.variables + QuorixBinary() + " " + c.command +
                          " 2>&1 </dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[512];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    int status = pclose(pipe);
    EXPECT_EQ(WEXITSTATUS(status), c.exitStatus) << c.command;
    EXPECT_NE(output.find(c.output), std::string::npos) << c.command << ": " << output;
  }
}

TEST_F(CgiProgramTest, DebugOverrideShowsDetailFromTheSettingsOn) {
  sandbox_.WriteFile("settings.qxdat", "DEBUG = 0\n");
  EXPECT_EQ(sandbox_.Get("vexa_query=cat&vexa_debug=2").output, kHeader);
  sandbox_.WriteFile("settings.qxdat", "DEBUG = 0\nAllowRequestDebug = 1\n");
  auto quiet = sandbox_.Get("vexa_query=cat");
  EXPECT_EQ(quiet.output, kHeader);
  auto verbose = sandbox_.Get("vexa_query=cat&vexa_debug=2");
  EXPECT_NE(verbose.output.find(InfoLine("oCfg-&gt;debugMode: 2")), std::string::npos);
}

TEST_F(CgiProgramTest, DebugFileGetsEveryLineAfterTheSettings) {
  sandbox_.WriteFile("settings.qxdat",
                     "DEBUG = 0\nDebugLogging = 1\nDebugFileName = \"logs/debug&#38;.log\"\n");
  std::filesystem::create_directory(sandbox_.PathOf("logs"));
  auto run = sandbox_.Get("vexa_query=cat");
  EXPECT_EQ(run.output, kHeader);
  std::string file = sandbox_.ReadFile("logs/debug&.log");
  EXPECT_EQ(file.substr(0, 19), "oCfg->debugMode: 0\n");
  EXPECT_NE(file.find("Checking cache for \"cat\"\n"), std::string::npos);
  sandbox_.Get("vexa_query=a%3Cb%26c");
  EXPECT_NE(sandbox_.ReadFile("logs/debug&.log").find("gVexaQuery.query_out: a<b&c\n"),
            std::string::npos);  // the plain query, as every line of the file
}

// Components that record what the request looked like when the search ran.
struct SeenRequest {
  VexaQuery query;
  TermList terms;
  bool searched = false;
  std::vector<std::string> order;
};

struct RecordingResources : PageResources {
  SeenRequest& seen;
  std::vector<std::string> names;
  explicit RecordingResources(SeenRequest& s, std::vector<std::string> n)
      : seen(s), names(std::move(n)) {}
  void WriteTemplateHead() override { seen.order.push_back("head"); }
  int LoadCategoryNames(Config& config) override {
    seen.order.push_back("cats");
    config.categoryNames = names;
    if (names.empty()) config.useCats = 0;
    return 0;
  }
};

struct RecordingForm : SearchFormStep {
  RequestContext& context;
  SeenRequest& seen;
  RecordingForm(RequestContext& c, SeenRequest& s) : context(c), seen(s) {}
  Status DisplaySearchForm(const Config&, const VexaQuery& query) override {
    seen.order.push_back("form");
    seen.query = query;
    seen.terms = context.terms;
    seen.searched = true;
    return kNothingToSearch;
  }
};

struct NoTail : PageTailStep {
  SeenRequest& seen;
  explicit NoTail(SeenRequest& s) : seen(s) {}
  void WritePageTail(const ResultPage&, const RequestOutcome&) override {
    seen.order.push_back("tail");
  }
};

class CgiInProcessTest : public ::testing::Test {
 protected:
  CgiInProcessTest() : sandbox_(QuorixBinary()) {}

  // Runs a GET request with `settings`; the fake resources load `categories`.
  int Get(const std::string& queryString, const std::string& settings,
          std::vector<std::string> categories = {}) {
    sandbox_.WriteFile("settings.qxdat", settings);
    ComponentFactory factory = [&](RequestContext& context) {
      RequestComponents components = MakeRequestComponents(context);
      components.resources = std::make_unique<RecordingResources>(seen_, categories);
      components.form = std::make_unique<RecordingForm>(context, seen_);
      components.tail = std::make_unique<NoTail>(seen_);
      return components;
    };
    std::istringstream input;
    return RunCgi(
        sandbox_.program().c_str(),
        {{"REQUEST_METHOD", "GET"}, {"QUERY_STRING", queryString}, {"REMOTE_ADDR", "192.0.2.7"}},
        input, page_, factory);
  }

  CgiSandbox sandbox_;
  SeenRequest seen_;
  PageOutput page_;
};

TEST_F(CgiInProcessTest, CategoriesFollowTheLoadedNames) {
  struct Case {
    std::string query;
    std::string settings;
    std::vector<std::string> names;
    std::vector<int32_t> cat;
  } cases[] = {
      {"vexa_cat%5B%5D=2&vexa_cat%5B%5D=5", "UseCats = 1\n", {"a", "b"}, {2, 5}},
      {"vexa_cat%5B%5D=2&vexa_cat%5B%5D=5", "UseCats = 1\n", {"a"}, {2}},
      {"vexa_cat%5B%5D=2&vexa_cat%5B%5D=5", "UseCats = 1\n", {}, {}},  // names missing: off
      {"vexa_cat%5B%5D=2", "UseCats = 0\n", {"a", "b"}, {}},
      {"vexa_cat%5B%5D=2", "UseCats = 2\n", {"a", "b"}, {}},
      {"", "UseCats = 1\n", {"a", "b"}, {-1}},
      {"vexa_cat%5B%5D=", "UseCats = 1\n", {"a", "b"}, {-1}},
      {"vexa_cat[]=3", "UseCats = 1\n", {"a", "b"}, {-1}},  // the name must arrive encoded
  };
  for (const auto& c : cases) {
    seen_ = SeenRequest();
    EXPECT_EQ(Get(c.query, c.settings, c.names), 0) << c.query;
    ASSERT_TRUE(seen_.searched) << c.query;
    EXPECT_EQ(seen_.query.cat, c.cat) << c.query << " with " << c.names.size() << " names";
  }
}

TEST_F(CgiInProcessTest, RequestRecordAndTerms) {
  EXPECT_EQ(Get("vexa_query=-old+%22big+cat%22+c%2B%2B&vexa_per_page=20&vexa_page=2&vexa_sort=1",
                "DefaultToAnd = 0\n"),
            0);
  const VexaQuery& query = seen_.query;
  EXPECT_EQ(query.rawQuery, "-old \"big cat\" c++");
  EXPECT_EQ(query.escapedQuery, "-old%20%22big%20cat%22%20c%2B%2B");
  EXPECT_EQ(query.query_out, "-old &quot;big cat&quot; c++");
  EXPECT_EQ(query.itemsPerPage, 20);
  EXPECT_EQ(query.currentPageNum, 2);
  EXPECT_TRUE(query.sortDate);
  EXPECT_FALSE(query.wordMatchAll);  // absent: DefaultToAnd decides
  EXPECT_EQ(query.clientAddress, "192.0.2.7");
  EXPECT_TRUE(query.queryPresent);
  EXPECT_EQ(seen_.terms.terms, (std::vector<std::string>{"big cat", "c++", "-old"}));
  EXPECT_EQ(seen_.terms.termPatterns, (std::vector<std::string>{"big cat", "c\\+\\+", "-old"}));
  EXPECT_EQ(seen_.order, (std::vector<std::string>{"head", "form", "tail"}));
}

TEST_F(CgiInProcessTest, AbsentQueryAndExplicitMatchAll) {
  EXPECT_EQ(Get("vexa_and=1", "DefaultToAnd = 0\n"), 0);
  EXPECT_FALSE(seen_.query.queryPresent);
  EXPECT_TRUE(seen_.query.wordMatchAll);
  seen_ = SeenRequest();
  EXPECT_EQ(Get("vexa_query=", "DefaultToAnd = 3\n"), 0);
  EXPECT_TRUE(seen_.query.queryPresent);
  EXPECT_TRUE(seen_.query.wordMatchAll);
  EXPECT_TRUE(seen_.terms.terms.empty());
}

}  // namespace
}  // namespace quorix
