// quorix --check against sites with one fault each.
#include "search/request/check_command.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/search/cgi_test_support.h"
#include "tests/support/cgi_runner.h"

namespace quorix {
namespace {

using testing::CgiSandbox;
using testing::PageTemplateText;
using testing::QuorixBinary;
using testing::SettingsText;

TEST(CheckCommand, EachFaultIsOneFindingWithItsFileAndReason) {
  const std::string node = SettingsText().VexaNode("http://127.0.0.1:9/search.cgi").str();
  struct Case {
    const char* name;
    std::string settings;  // empty: no settings file
    const char* templateText;
    bool cacheIsAFile;
    bool error;
    const char* file;
    const char* reason;
  } cases[] = {
      {"no settings", "", nullptr, false, true, "settings.qxdat", "Failed to open config file"},
      {"no template", node, nullptr, false, true, "search_template.html", "cannot be read"},
      {"no marker", node, "<html><body></body></html>\n", false, false, "search_template.html",
       "has no <!--VEXASEARCH--> line"},
      {"cache is a file", node, "", true, true, "cache/", "is not a folder"},
      {"time-out zero", SettingsText().VexaNode("http://127.0.0.1:9/s.cgi", 0).str(), "", false,
       true, "settings.qxdat", "NODE0_TIMEOUT_MS is not above 0"},
      {"node without host", SettingsText().VexaNode("").str(), "", false, true, "settings.qxdat",
       "NODE0_VEXA_URL has no host"},
      {"no node", "DEBUG = 0\n", "", false, false, "settings.qxdat", "no node is enabled"},
      {"categories unreadable", node + "UseCats = 1\n", "", false, false, "vexa_cats.qxdat",
       "UseCats = 1 is taken as 0"},
      {"back-off count", node + "NodeBackoffFailures = 0\n", "", false, false, "settings.qxdat",
       "NodeBackoffFailures below 1 is taken as 1"},
      {"public address", node + "PublicBaseUrl = \"ftp://x/q.cgi\"\n", "", false, false,
       "settings.qxdat", "PublicBaseUrl is not an http or https address"},
      {"log elsewhere", node + "Logging = 1\nLogFileName = \"/nonexistent-folder/q.log\"\n", "",
       false, true, "/nonexistent-folder/q.log", "LogFileName cannot be written"},
      {"missing text", node, "", false, false, "settings.qxdat", "STR_FORM_SEARCHFOR is missing"},
      {"deadline past the time-outs",
       SettingsText().VexaNode("http://127.0.0.1:9/s.cgi", 2000).str() + "PageDeadlineMs = 2000\n",
       "", false, false, "settings.qxdat",
       "PageDeadlineMs 2000 is not below any node's time-out (at most 2000 ms)"},
      {"deadline without cache", node + "PageDeadlineMs = 500\nINT_CACHE_VALID_PERIOD_MINS = 0\n",
       "", false, false, "settings.qxdat", "PageDeadlineMs has no effect"},
  };
  for (const Case& c : cases) {
    CgiSandbox site(QuorixBinary());
    if (!c.settings.empty()) site.WriteFile("settings.qxdat", c.settings);
    if (c.templateText)
      site.WriteFile("search_template.html", *c.templateText ? c.templateText : PageTemplateText());
    if (c.cacheIsAFile) site.WriteFile("cache", "not a folder");
    bool found = false;
    std::string all;
    for (const CheckFinding& finding : CheckSite(site.dir(), false)) {
      all += finding.file + ": " + finding.reason + "\n";
      if (finding.file == c.file && finding.reason.find(c.reason) != std::string::npos) {
        found = true;
        EXPECT_EQ(finding.error, c.error) << c.name;
      }
    }
    EXPECT_TRUE(found) << c.name << " gave:\n" << all;
    // A text the page has an English default for is not missing.
    EXPECT_EQ(all.find("STR_NO_RESULTS_HINT_ANY is missing"), std::string::npos) << c.name;
  }
}

TEST(CheckCommand, ASoundSiteHasNoErrorAndTheExitStatusSaysSo) {
  CgiSandbox site(QuorixBinary());
  site.WriteFile("settings.qxdat", SettingsText().VexaNode("http://127.0.0.1:9/s.cgi").str());
  site.WriteFile("search_template.html", PageTemplateText());
  for (const CheckFinding& finding : CheckSite(site.dir(), false))
    EXPECT_FALSE(finding.error) << finding.file << ": " << finding.reason;
  std::FILE* sink = std::tmpfile();
  EXPECT_EQ(RunCheckCommand(site.dir(), false, sink), 0);
  std::filesystem::remove(site.PathOf("search_template.html"));
  EXPECT_EQ(RunCheckCommand(site.dir(), false, sink), 1);
  std::fclose(sink);
}

}  // namespace
}  // namespace quorix
