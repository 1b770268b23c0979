#include "config/settings_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "config/panel_defaults.h"
#include "config/settings_escape.h"

namespace quorix {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

class SettingsWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quorix-writer-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = pattern;
    ApplyPanelDefaults(config);
    hooks.askYesNo = [this](const std::string& text, const std::string& title) {
      questions.push_back(title + "|" + text);
      return answerYes;
    };
    hooks.showError = [this](const std::string& text, const std::string& title) {
      errors.push_back(title + "|" + text);
    };
    hooks.sleep = [this](int ms) { slept.push_back(ms); };
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  static void AddNode(Config& config, int slot, const std::string& host, int timeout) {
    NodeRecord& node = config.nodes[slot];
    node.disabled = false;
    node.vexaScheme = "http";
    node.vexaHost = host;
    node.vexaPath = "/search.cgi";
    node.timeoutMs = timeout;
  }

  std::string dir;
  Config config;
  SettingsWriteHooks hooks;
  bool answerYes = true;
  std::vector<std::string> questions, errors;
  std::vector<int> slept;
};

TEST_F(SettingsWriterTest, DefaultsAreWrittenInKeyOrder) {
  EXPECT_EQ(FormatSettings(config, nullptr),
            "DEBUG = 0\r\n"
            "AllowRequestDebug = 0\r\n"
            "INT_OVER_REQUEST_FACTOR = 2\r\n"
            "INT_CACHE_VALID_PERIOD_MINS = 10\r\n"
            "LanguageFileName = \"English.vlang\"\r\n"
            "TemplateFilename = \"search_template.html\"\r\n"
            "FormFormat = 2\r\n"
            "Logging = 0\r\n"
            "LogFileName = \"./logs/searchwords.log\"\r\n"
            "DebugLogging = 0\r\n"
            "DebugFileName = \"./logs/Quorix.log\"\r\n"
            "DefaultToAnd = 0\r\n"
            "VexaInfo = 1\r\n"
            "Timing = 0\r\n"
            "UseCats = 0\r\n"
            "SearchMultiCats = 0\r\n"
            "Spelling = 1\r\n"
            "SpellingWhenLessThan = 10\r\n"
            "RecommendedMax = 5\r\n"
            "Recommended = 1\r\n"
            "UseDateTime = 1\r\n"
            "MergeDuplicates = 1\r\n"
            "ShowSources = 1\r\n"
            "PageMarkup = 1\r\n"
            "NodeBackoffFailures = 3\r\n"
            "NodeBackoffSecs = 60\r\n"
            "PageDeadlineMs = 1500\r\n"
            "SharedStorePrefix = \"quorix:\"\r\n"
            "SharedStoreTimeoutMs = 100\r\n"
            "RateLimitPerMinute = 60\r\n"
            "ControlPanelLogging = 0\r\n"
            "ControlPanelDebugMode = 0\r\n"
            "ControlPanelWarnWord = 0\r\n");
}

TEST_F(SettingsWriterTest, NodeLinesAreNumberedWithoutGaps) {
  AddNode(config, 0, "a.example", 5000);
  AddNode(config, 1, "skipped.example", 0);
  AddNode(config, 2, "c.example", 7000);
  config.nodes[2].disabled = true;
  NodeRecord& os = config.nodes[3];
  os.disabled = false;
  os.type = 1;
  os.strictQuerySyntax = 1;
  os.osDescScheme = "https";
  os.osDescHost = "d.example";
  os.osDescPath = "/desc.xml";
  os.osScheme = "https";
  os.osHost = "d.example";
  os.osPath = "/s";
  os.osQuery = "?q={searchTerms}&n={count}";
  os.timeoutMs = 9000;
  config.nodeCount = 4;

  std::string text = FormatSettings(config, [](int slot) { return slot == 3; });
  EXPECT_NE(
      text.find("NODE0_DISABLED = 0\r\nNODE0_TYPE = 0\r\nNODE0_STRICT_QUERY_SYNTAX = 0\r\n"
                "NODE0_TIMEOUT_MS = 5000\r\nNODE0_VEXA_URL = \"http://a.example/search.cgi\"\r\n"),
      std::string::npos)
      << text;
  EXPECT_EQ(text.find("skipped.example"), std::string::npos);
  EXPECT_NE(text.find("NODE1_DISABLED = 1\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("NODE1_VEXA_URL = \"http://c.example/search.cgi\""), std::string::npos);
  EXPECT_NE(
      text.find("NODE2_DISABLED = 0\r\nNODE2_TYPE = 1\r\nNODE2_STRICT_QUERY_SYNTAX = 1\r\n"
                "NODE2_TIMEOUT_MS = 9000\r\nNODE2_OS_DESC_URL = \"https://d.example/desc.xml\"\r\n"
                "NODE2_OS_URL = \"https://d.example/s?q={searchTerms}&n={count}\"\r\n"),
      std::string::npos)
      << text;
  EXPECT_EQ(text.find("NODE3_"), std::string::npos);
  EXPECT_EQ(text.find("_NAME"), std::string::npos) << "no name, no line";
  config.nodes[3].name = "Mag & \"Co\"";
  EXPECT_NE(FormatSettings(config, nullptr).find("NODE2_NAME = \"Mag &#38; \\\"Co\\\"\"\r\n"),
            std::string::npos);

  // Without a passed verification the query URL is not written.
  EXPECT_EQ(FormatSettings(config, [](int) { return false; }).find("_OS_URL"), std::string::npos);
}

TEST_F(SettingsWriterTest, ValuesAreEscaped) {
  struct Case {
    std::string value, written;
  } cases[] = {
      {"say \"hi\"", "say \\\"hi\\\""},
      {"C:\\logs\\q.log", "C:\\\\logs\\\\q.log"},
      {"a&b<c>d", "a&#38;b&#60;c&#62;d"},
      {"\xC2\xA2\xC2\xA3\xC2\xA5\xC2\xA9\xC2\xAE", "&#162;&#163;&#165;&#169;&#174;"},
      {"\xE2\x80\x9Cq\xE2\x80\x9D \xE2\x82\xAC \xE2\x84\xA2", "&#8220;q&#8221; &#128; &#8482;"},
      {"caf\xC3\xA9", "caf\xC3\xA9"},
  };
  for (const Case& c : cases) EXPECT_EQ(EscapeSettingsValue(c.value), c.written) << c.value;

  config.logFileName = "a&b.log";
  config.openSearchShortName = "Town & Gown";
  config.publicBaseUrl = "https://www.example.org/search/quorix.cgi?a=1&b=2";
  std::string written = FormatSettings(config, nullptr);
  EXPECT_NE(
      written.find("PublicBaseUrl = \"https://www.example.org/search/quorix.cgi?a=1&#38;b=2\""),
      std::string::npos);
  EXPECT_NE(written.find("LogFileName = \"a&#38;b.log\"\r\n"), std::string::npos);
  EXPECT_NE(written.find("OpenSearchShortName = \"Town &#38; Gown\"\r\n"), std::string::npos);
  EXPECT_EQ(written.find("OpenSearchDescription"), std::string::npos) << "empty: not written";
}

TEST_F(SettingsWriterTest, ShortNamesAndDefaultToAndRules) {
  config.languageFileName = "x";
  config.templateFilename = "";
  config.defaultToAnd = 7;
  config.controlPanelInstallDirectory = "/srv/out";
  std::string text = FormatSettings(config, nullptr);
  EXPECT_EQ(text.find("LanguageFileName"), std::string::npos);
  EXPECT_EQ(text.find("TemplateFilename"), std::string::npos);
  EXPECT_NE(text.find("DefaultToAnd = 1\r\n"), std::string::npos);
  EXPECT_NE(text.find("RateLimitPerMinute = 60\r\nControlPanelInstallDirectory = \"/srv/out\"\r\n"
                      "ControlPanelLogging"),
            std::string::npos);
}

TEST_F(SettingsWriterTest, WritesTheFileWithLanguageLinesAfterTheLastKey) {
  hooks.appendLanguageLines = [](std::string& lines) { lines += "STR_OR = \"or\"\r\n"; };
  std::string target = dir + "/settings.qxdat";
  EXPECT_EQ(SaveSettings(dir, "settings.qxdat", config, hooks), 0);
  std::string text = ReadFile(target);
  EXPECT_TRUE(text.ends_with("ControlPanelWarnWord = 0\r\nSTR_OR = \"or\"\r\n")) << text;
  EXPECT_TRUE(questions.empty());
  // Only the target is left in the folder: no temporary file.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
}

TEST_F(SettingsWriterTest, OverwriteQuestionDecides) {
  std::string target = dir + "/site.cpdat";
  std::ofstream(target) << "old";
  answerYes = false;
  EXPECT_EQ(SaveSettings(target, "", config, hooks), 1);
  EXPECT_EQ(ReadFile(target), "old");
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0], "Overwrite files?|\"" + target +
                              "\" already exist and will be overwritten.  Continue?");
  answerYes = true;
  EXPECT_EQ(SaveSettings(target, "", config, hooks), 0);
  EXPECT_TRUE(ReadFile(target).starts_with("DEBUG = 0\r\n"));
}

TEST_F(SettingsWriterTest, FailuresRetryOnceAndKeepTheEarlierFile) {
  EXPECT_EQ(SaveSettings("", "", config, hooks), -1);
  EXPECT_TRUE(errors.empty());

  EXPECT_EQ(SaveSettings(dir + "/missing/site.cpdat", "", config, hooks), -1);
  EXPECT_EQ(slept, std::vector<int>{2000});
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0],
            "Can't save to file|Could not save configuration to disk in file\n" + dir +
                "/missing/site.cpdat: No such file or directory\nCheck that the directory "
                "exists.\nand that you have write access to this directory.\n");

  // The target cannot be replaced (it is a folder holding a file): it stays as it was.
  std::string target = dir + "/busy";
  std::filesystem::create_directories(target);
  std::ofstream(target + "/keep") << "kept";
  EXPECT_EQ(SaveSettings(target, "", config, hooks), -1);
  EXPECT_EQ(ReadFile(target + "/keep"), "kept");
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_NE(errors[1].find("\n" + target + ": Is a directory\n"), std::string::npos) << errors[1];
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
}

TEST_F(SettingsWriterTest, CategoryNamesAreWrittenBesideTheTarget) {
  std::vector<std::string> calls;
  hooks.writeCategoryNames = [&calls](const std::string& directory, const Config& written) {
    calls.push_back(directory + "|" + std::to_string(written.categoryNames.size()));
  };
  EXPECT_EQ(SaveSettings(dir, "settings.qxdat", config, hooks), 0);
  config.useCats = 1;
  EXPECT_EQ(SaveSettings(dir, "settings.qxdat", config, hooks), 0);
  EXPECT_TRUE(calls.empty());
  config.categoryNames = {"News", "Sport"};
  EXPECT_EQ(SaveSettings(dir, "settings.qxdat", config, hooks), 0);
  EXPECT_EQ(calls, std::vector<std::string>{dir + "|2"});
}

}  // namespace
}  // namespace quorix
