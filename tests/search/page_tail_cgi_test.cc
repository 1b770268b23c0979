// The end of every page with the built program: the site template around the
// output, the footer, and the search log line, also from many searches at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <future>
#include <regex>
#include <set>

#include "tests/search/cgi_test_support.h"
#include "tests/support/cgi_runner.h"
#include "tests/support/test_http_server.h"

namespace quorix {
namespace {

using testing::CgiBody;
using testing::CgiSandbox;
using testing::CountOf;
using testing::HttpAnswer;
using testing::NumberedItems;
using testing::PageTemplateText;
using testing::ProcessResult;
using testing::QuorixBinary;
using testing::SettingsText;
using testing::TestHttpServer;
using testing::VexaRss;

const std::string kFooterStart = "\n<center><p><small>Powered by <a href=\"";

class PageEndCgiTest : public ::testing::Test {
 protected:
  PageEndCgiTest() : sandbox_(QuorixBinary()) { WriteSettings(sandbox_.PathOf("search.log")); }

  void WriteSettings(const std::string& logFile, const std::string& extra = "") {
    sandbox_.WriteFile("settings.qxdat", extra + SettingsText()
                                                     .Option("INT_CACHE_VALID_PERIOD_MINS", 0)
                                                     .Option("Logging", 1)
                                                     .Text("LogFileName", logFile)
                                                     .Text("STR_POWEREDBY", "Powered by")
                                                     .str());
  }

  CgiSandbox sandbox_;
};

TEST_F(PageEndCgiTest, TemplateWrapsThePageWhateverTheMarkersCase) {
  for (std::string marker : {"<!--VEXASEARCH-->", "<!--VexaSearch-->", "  <!--vexasearch--> "}) {
    sandbox_.WriteFile("search_template.html", PageTemplateText(marker));
    ProcessResult run = sandbox_.Get("vexa_query=cat");
    std::string page = CgiBody(run.output);
    // The program's comment line comes first, then the template's head.
    EXPECT_EQ(page.find("<!--Vexa Search Engine -->\n<html><head><title>Site</title></head><body>"
                        "\n<h1>Site head</h1>\n"),
              0u)
        << marker << ": " << page;
    size_t output = page.find("<h1>Site head</h1>\n");
    size_t footer = page.find(kFooterStart);
    const std::string templateTail = "\n<p>Site foot</p>\n</body></html>\n";
    size_t tail = page.find(templateTail);
    EXPECT_TRUE(output != std::string::npos && footer != std::string::npos &&
                tail != std::string::npos && output < footer && footer < tail)
        << marker << ": " << page;
    EXPECT_EQ(tail + templateTail.size(), page.size()) << marker << ": the tail is not last";
    EXPECT_EQ(page.find("earch-->"), std::string::npos) << marker << ": marker line kept";
  }
  EXPECT_EQ(CountOf(sandbox_.ReadFile("search.log"), "\r\n"), 3u);
}

TEST_F(PageEndCgiTest, SearchLogLinePerRequest) {
  sandbox_.WriteFile("search_template.html", PageTemplateText());
  struct Case {
    std::string query;
    std::string logged;  // the line from the client on; empty: no line
  } cases[] = {
      {"", ""},  // no query parameter at all
      {"vexa_query=", ", \"\", Matches = 0, QUERY, OR, PerPage = 10, PageNum = 1, No cats, "},
      {"vexa_query=%22big+cat%22&vexa_and=1&vexa_page=3&vexa_per_page=5",
       ", \"\"\"big cat\"\"\", Matches = 0, QUERY, AND, PerPage = 5, PageNum = 3, No cats, "},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(sandbox_.PathOf("search.log"));
    ProcessResult run = sandbox_.Get(c.query, {{"REMOTE_ADDR", "192.0.2.9"}});
    EXPECT_NE(run.output.find(kFooterStart), std::string::npos) << c.query;
    std::string log = sandbox_.ReadFile("search.log");
    if (c.logged.empty()) {
      EXPECT_EQ(log, "") << c.query;
      continue;
    }
    std::regex line(R"(\d{4}-\d\d-\d\d, \d\d:\d\d:\d\d, 192\.0\.2\.9(.*)Time = \d+\.\d{3}\r\n)");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(log, match, line)) << c.query << ": " << log;
    EXPECT_EQ(match[1], c.logged) << c.query;
  }
}

TEST_F(PageEndCgiTest, NoTemplateMeansNoFooterAndNoLogLine) {
  ProcessResult run = sandbox_.Get("vexa_query=cat");
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.output.find("<center>"), std::string::npos) << run.output;
  EXPECT_FALSE(std::filesystem::exists(sandbox_.PathOf("search.log")));
}

TEST_F(PageEndCgiTest, UnwritableLogIsShownOnlyInDebugMode) {
  sandbox_.WriteFile("search_template.html", PageTemplateText());
  std::string missing = sandbox_.PathOf("no/such/dir/search.log");
  WriteSettings(missing, "AllowRequestDebug = 1\n");
  std::string report = "No such file or directory. Log filename and path not found (" + missing +
                       "). Check that you specified the correct log filename in your Indexer "
                       "settings.";
  ProcessResult visitor = sandbox_.Get("vexa_query=cat");
  EXPECT_EQ(visitor.exitStatus, 0);
  EXPECT_EQ(visitor.output.find("Log filename"), std::string::npos) << visitor.output;
  ProcessResult debug = sandbox_.Get("vexa_query=cat&vexa_debug=1");
  EXPECT_NE(debug.output.find("color=#FFAA00><i>" + report + "</i>"), std::string::npos)
      << debug.output;
}

TEST_F(PageEndCgiTest, ConcurrentSearchesLogWholeLines) {
  sandbox_.WriteFile("search_template.html", PageTemplateText());
  constexpr int kSearches = 20;
  // One node holds every answer until all searches have asked it, so the
  // searches run side by side and end together.
  TestHttpServer node;
  node.Answer("/search.cgi", HttpAnswer(VexaRss(NumberedItems("Vexa", 1), 1)));
  node.HoldAnswersUntil(kSearches, std::chrono::seconds(20));
  sandbox_.WriteFile("settings.qxdat", SettingsText()
                                           .Option("INT_CACHE_VALID_PERIOD_MINS", 0)
                                           .Option("Logging", 1)
                                           .Text("LogFileName", sandbox_.PathOf("search.log"))
                                           .VexaNode(node.Url("/search.cgi"), 30000)
                                           .str());
  // Long queries, so that lines written in pieces would show.
  auto queryOf = [](int i) { return "q" + std::to_string(100 + i) + std::string(220, 'x'); };
  std::vector<std::future<ProcessResult>> runs;
  for (int i = 0; i < kSearches; ++i)
    runs.push_back(std::async(std::launch::async, [&, i] {
      return sandbox_.Get("vexa_query=" + queryOf(i), {{"REMOTE_ADDR", "10.0.0.1"}});
    }));
  for (auto& run : runs) EXPECT_EQ(run.get().exitStatus, 0);
  EXPECT_TRUE(node.HoldReleasedByCount()) << node.RequestCount() << " searches met";

  std::string log = sandbox_.ReadFile("search.log");
  std::regex line(
      R"re(\d{4}-\d\d-\d\d, \d\d:\d\d:\d\d, 10\.0\.0\.1, "(q1\d\dx{220})", Matches = 1, )re"
      R"(QUERY, OR, PerPage = 10, PageNum = 1, No cats, Time = \d+\.\d{3}\r\n)");
  std::set<std::string> queries;
  for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator();
       ++it)
    queries.insert((*it)[1]);
  EXPECT_EQ(queries.size(), static_cast<size_t>(kSearches)) << log;
  EXPECT_EQ(CountOf(log, "\r\n"), static_cast<size_t>(kSearches));
  for (int i = 0; i < kSearches; ++i) EXPECT_EQ(queries.count(queryOf(i)), 1u) << queryOf(i);
}

}  // namespace
}  // namespace quorix
