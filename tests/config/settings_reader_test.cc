#include "config/settings_reader.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "config/lang_keys.h"
#include "config/settings_escape.h"
#include "tests/support/recording_log.h"

namespace quorix {
namespace {

namespace fs = std::filesystem;

class SettingsReaderTest : public ::testing::Test {
 protected:
  SettingsReaderTest() {
    std::string pattern = (fs::temp_directory_path() / "quorix-settings-XXXXXX").string();
    dir_ = mkdtemp(pattern.data());
  }
  ~SettingsReaderTest() override { fs::remove_all(dir_); }

  // Loads `content` as a settings file into a default Config.
  Config Load(const std::string& content, int32_t debugOverride = -1,
              const QueryDump& dump = QueryDump()) {
    std::string path = dir_ + "/settings.qxdat";
    std::ofstream(path, std::ios::binary) << content;
    Config config;
    log_ = std::make_unique<testing::RecordingLog>();
    EXPECT_TRUE(LoadConfig(path, config, *log_, debugOverride, dump)) << content;
    return config;
  }

  std::string dir_;
  std::unique_ptr<testing::RecordingLog> log_;
};

TEST_F(SettingsReaderTest, MissingFileIsAnError) {
  Config config;
  testing::RecordingLog log;
  std::string path = dir_ + "/none.qxdat";
  EXPECT_FALSE(LoadConfig(path, config, log, -1, QueryDump()));
  ASSERT_EQ(log.Lines().size(), 1u);
  EXPECT_TRUE(
      log.Has(kLogError, "Quorix::LoadConfig[185]: Failed to open config file \"" + path + "\""));
}

TEST_F(SettingsReaderTest, DefaultsWhenKeysAreMissing) {
  Config config = Load("");
  EXPECT_EQ(config.cacheValidPeriodMins, 1440);
  EXPECT_EQ(config.overRequestFactor, 2);
  EXPECT_EQ(config.debugMode, 0);
  EXPECT_EQ(config.nodeCount, 0);
  EXPECT_TRUE(config.allVexaNodes);
  EXPECT_EQ(config.mergeDuplicates, 0);
  EXPECT_EQ(config.showSources, 0);
  EXPECT_EQ(config.nodeBackoffFailures, 3);
  EXPECT_EQ(config.nodeBackoffSecs, 0);
  EXPECT_EQ(config.pageDeadlineMs, 0);
}

TEST_F(SettingsReaderTest, IntegerKeys) {
  struct Case {
    std::string line;
    int32_t Config::*field;
    int32_t value;
  } cases[] = {
      {"DEBUG = 2", &Config::debugMode, 2},
      {"INT_OVER_REQUEST_FACTOR = 3", &Config::overRequestFactor, 3},
      {"INT_CACHE_VALID_PERIOD_MINS = 0", &Config::cacheValidPeriodMins, 0},
      {"FormFormat = 2", &Config::formFormat, 2},
      {"Logging = 1", &Config::logging, 1},
      {"DebugLogging = 1", &Config::debugLogging, 1},
      {"DefaultToAnd = 7", &Config::defaultToAnd, 7},
      {"VexaInfo = 1", &Config::showVexaInfo, 1},
      {"Timing = 1", &Config::showSearchTime, 1},
      {"UseCats = 1", &Config::useCats, 1},
      {"SearchMultiCats = 1", &Config::searchMultiCats, 1},
      {"Spelling = 1", &Config::spelling, 1},
      {"SpellingWhenLessThan = 5", &Config::spellingWhenLessThan, 5},
      {"RecommendedMax = 4", &Config::recommendedMax, 4},
      {"Recommended = 1", &Config::recommended, 1},
      {"UseDateTime = 1", &Config::useDateTime, 1},
      {"MergeDuplicates = 1", &Config::mergeDuplicates, 1},
      {"ShowSources = 1", &Config::showSources, 1},
      {"NodeBackoffFailures = 5", &Config::nodeBackoffFailures, 5},
      {"NodeBackoffSecs = 60", &Config::nodeBackoffSecs, 60},
      {"PageDeadlineMs = 500", &Config::pageDeadlineMs, 500},
      {"PageDeadlineMs = -500", &Config::pageDeadlineMs, 0},  // below 0: no deadline
      {"Logging=1", &Config::logging, 0},                     // the first word is then "Logging=1"
      {"Logging =1", &Config::logging, 1},
      {"  Logging\t=\t-4", &Config::logging, -4},
      {"Logging = 12abc", &Config::logging, 12},
      {"Logging = abc", &Config::logging, 0},
      {"Logging 1", &Config::logging, 0},
      {"logging = 1", &Config::logging, 0},  // keys are case-sensitive
      // A number outside the 32-bit range leaves the setting as it was.
      {"Logging = 2147483647", &Config::logging, 2147483647},
      {"Logging = -2147483648", &Config::logging, -2147483647 - 1},
      {"Logging = 2147483648", &Config::logging, 0},
      {"Logging = -2147483649", &Config::logging, 0},
      {"Logging = 99999999999", &Config::logging, 0},
      {"INT_CACHE_VALID_PERIOD_MINS = 99999999999", &Config::cacheValidPeriodMins, 1440},
      {"DEBUG = 1\r", &Config::debugMode, 1},
  };
  for (const auto& c : cases) {
    Config config = Load(c.line + "\n");
    EXPECT_EQ(config.*c.field, c.value) << c.line;
  }
}

TEST_F(SettingsReaderTest, LaterLinesOverrideAndLineEndsVary) {
  Config config = Load("DEBUG = 1\r\nDEBUG = 2\nTiming = 1\r\nVexaInfo = 3");
  EXPECT_EQ(config.debugMode, 2);
  EXPECT_EQ(config.showSearchTime, 1);
  EXPECT_EQ(config.showVexaInfo, 3);  // the last line needs no line end
}

TEST_F(SettingsReaderTest, FileNameValues) {
  struct Case {
    std::string value;  // as written in the file, between the quotes
    std::string stored;
  } cases[] = {
      {"./logs/search.log", "./logs/search.log"},
      {"a\\\"b", "a\"b"},
      {"a\\\\b", "a\\b"},
      {"C:\\logs\\x.log", "C:\\logs\\x.log"},  // a lone backslash stays
      {"x&#38;y&#60;&#62;", "x&y<>"},
      {"&#162;&#163;&#165;&#169;&#174;", "\xC2\xA2\xC2\xA3\xC2\xA5\xC2\xA9\xC2\xAE"},
      {"&#8220;q&#8221;&#128;&#8482;", "\xE2\x80\x9Cq\xE2\x80\x9D\xE2\x82\xAC\xE2\x84\xA2"},
      {"&#38;#38;", "&#38;"},
      {"&#39;&amp;", "&#39;&amp;"},  // only the writer's references are decoded
      {"a\\\\\" trailing", "a\\"},   // an escaped backslash, then the closing quote
      {std::string(259, 'f'), std::string(259, 'f')},
  };
  for (const auto& c : cases) {
    Config config = Load("LogFileName = \"" + c.value + "\"\n");
    EXPECT_EQ(config.logFileName, c.stored) << c.value;
    config = Load("DebugFileName = \"" + c.value + "\"\nLanguageFileName = \"" + c.value + "\"\n");
    EXPECT_EQ(config.debugFileName, c.stored) << c.value;
    EXPECT_EQ(config.languageFileName, c.stored) << c.value;
    config = Load("OpenSearchShortName = \"" + c.value + "\"\nOpenSearchDescription = \"" +
                  c.value + "\"\nPublicBaseUrl = \"" + c.value + "\"\n");
    EXPECT_EQ(config.openSearchShortName, c.stored) << c.value;
    EXPECT_EQ(config.openSearchDescription, c.stored) << c.value;
    EXPECT_EQ(config.publicBaseUrl, c.stored) << c.value;
  }
}

TEST_F(SettingsReaderTest, MalformedTextValuesLeaveTheFieldUnchanged) {
  for (std::string line : {
           "LogFileName = \"" + std::string(260, 'f') + "\"",  // too long
           std::string("LogFileName = \"\""),                  // empty
           std::string("LogFileName = \"unterminated"),
           std::string("LogFileName = unquoted"),
           std::string("LogFileName \"no-equals\""),
       }) {
    Config config = Load("LogFileName = \"keep.log\"\n" + line + "\n");
    EXPECT_EQ(config.logFileName, "keep.log") << line;
  }
}

TEST_F(SettingsReaderTest, TemplateFilenameAndPanelKeysAreIgnored) {
  Config config = Load(
      "TemplateFilename = \"t.html\"\nControlPanelLogging = 1\nControlPanelInstallDirectory = "
      "\"/x\"\n");
  EXPECT_EQ(config.templateFilename, "");
  EXPECT_EQ(config.controlPanelLogging, 0);
  EXPECT_EQ(config.controlPanelInstallDirectory, "");
}

TEST_F(SettingsReaderTest, OneVexaNode) {
  Config config = Load(
      "NODE0_DISABLED = 0\nNODE0_TYPE = 0\nNODE0_STRICT_QUERY_SYNTAX = 0\nNODE0_TIMEOUT_MS = "
      "5000\nNODE0_VEXA_URL = \"http://search.example.com:8080/cgi-bin/search.cgi\"\n"
      "NODE0_NAME = \"Town &#38; \\\"Council\\\"\"\nNODE1_NAME = \"" +
      std::string(64, 'n') + "\"\n");
  EXPECT_EQ(config.nodeCount, 1);
  EXPECT_EQ(config.nodes[0].name, "Town & \"Council\"");
  EXPECT_EQ(config.nodes[1].name, "") << "longer than 63 characters";
  const NodeRecord& node = config.nodes[0];
  EXPECT_FALSE(node.disabled);
  EXPECT_EQ(node.type, 0);
  EXPECT_EQ(node.timeoutMs, 5000);
  EXPECT_EQ(node.vexaScheme, "http");
  EXPECT_EQ(node.vexaHost, "search.example.com:8080");
  EXPECT_EQ(node.vexaPath, "/cgi-bin/search.cgi");
  EXPECT_TRUE(config.allVexaNodes);
  EXPECT_TRUE(config.nodes[1].disabled);
}

TEST_F(SettingsReaderTest, NodeUrlSplitting) {
  struct Case {
    std::string line;
    std::string scheme, host, path, query;
  } cases[] = {
      {"NODE2_VEXA_URL = \"https://h.example/\"", "https", "h.example", "/", ""},
      {"NODE2_VEXA_URL = \"http://h.example\"", "http", "h.example", "", ""},
      {"NODE2_VEXA_URL = \"http://h/s?a=1&#38;b=2\"", "http", "h", "/s?a=1&b=2", ""},
      {"NODE2_VEXA_URL = \"http://h/a\\\"b\"", "http", "h", "/a\"b", ""},
      {"NODE2_VEXA_URLXYZ = \"http://h/p\"", "http", "h", "/p", ""},  // compared on the name
      {"NODE2_VEXA_URL = \"h/p\"", "", "", "", ""},                   // no scheme
      {"NODE2_VEXA_URL = \"http:/h/p\"", "", "", "", ""},
      {"NODE2_VEXA_URL = \"" + std::string(32, 's') + "://h/p\"", "", "", "", ""},
      {"NODE2_VEXA_URL = \"http://" + std::string(256, 'h') + "/p\"", "http", "", "", ""},
      {"NODE2_VEXA_URL = \"http:///p\"", "http", "", "", ""},
      {"NODE2_OS_DESC_URL = \"http://d.example/desc.xml\"", "http", "d.example", "/desc.xml", ""},
      {"NODE2_OS_URL = \"http://o.example/s?q={searchTerms}&n=1\"", "http", "o.example", "/s",
       "?q={searchTerms}&n=1"},
      {"NODE2_OS_URL = \"http://o.example/s\"", "http", "o.example", "/s", ""},
      {"NODE2_OS_URL = \"http://o.example/s?a=&#38;\"", "http", "o.example", "/s", "?a=&#38;"},
      {"NODE2_OS_URL = \"http://o.example/s?a=\\\"b\\\"\\\\c\"", "http", "o.example", "/s",
       "?a=\"b\"\\c"},
  };
  for (const auto& c : cases) {
    Config config = Load(c.line + "\n");
    const NodeRecord& node = config.nodes[2];
    bool os = c.line.find("_OS_URL") != std::string::npos;
    bool desc = c.line.find("_OS_DESC_URL") != std::string::npos;
    std::string scheme = os ? node.osScheme : desc ? node.osDescScheme : node.vexaScheme;
    std::string host = os ? node.osHost : desc ? node.osDescHost : node.vexaHost;
    std::string path = os ? node.osPath : desc ? node.osDescPath : node.vexaPath;
    EXPECT_EQ(scheme, c.scheme) << c.line;
    EXPECT_EQ(host, c.host) << c.line;
    EXPECT_EQ(path, c.path) << c.line;
    EXPECT_EQ(node.osQuery, c.query) << c.line;
    EXPECT_EQ(config.nodeCount, 0) << c.line;
  }
}

TEST_F(SettingsReaderTest, NodeCounting) {
  struct Case {
    std::string content;
    int32_t count;
  } cases[] = {
      {"NODE64_DISABLED = 0\n", 0},
      {"NODE0_DISABLED = 0\nNODE0_DISABLED = 1\n", 2},
      {"NODE63_DISABLED = 0\n", 1},
      {"NODE00_DISABLED = 0\n", 0},
      {"NODE07_DISABLED = 0\nNODE100_DISABLED = 0\nNODE_DISABLED = 0\nNODEx_DISABLED = 0\n", 0},
      {"NODE12_DISABLED = 0\nNODE12_VEXA_URLS = \"x\"\n", 1},
      {"NODE1_DISABLEDX = 0\n", 0},
      {"NODE1_DISABLED = x\n", 1},  // counted even when the value doesn't parse
      {"NODE0_TYPE = 1\nNODE1_TIMEOUT_MS = 5\n", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(Load(c.content).nodeCount, c.count) << c.content;
  EXPECT_FALSE(Load("NODE63_DISABLED = 0\n").nodes[63].disabled);
  EXPECT_TRUE(Load("NODE1_DISABLED = x\n").nodes[1].disabled);
}

TEST_F(SettingsReaderTest, AllVexaNodesFallsWithAnEnabledOpenSearchNode) {
  struct Case {
    std::string content;
    bool allVexa;
  } cases[] = {
      {"NODE0_DISABLED = 0\nNODE0_TYPE = 1\n", false},
      {"NODE0_DISABLED = 1\nNODE0_TYPE = 1\n", true},
      {"NODE0_DISABLED = 0\nNODE0_TYPE = 0\nNODE1_DISABLED = 0\nNODE1_TYPE = 2\n", false},
      {"NODE0_DISABLED = 0\nNODE0_TYPE = 0\n", true},
  };
  for (const auto& c : cases) EXPECT_EQ(Load(c.content).allVexaNodes, c.allVexa) << c.content;
}

TEST_F(SettingsReaderTest, LanguageStrings) {
  Config config = Load(
      "STR_FORM_SEARCHFOR = \"Search &#38; find\"\n"
      "STR_NO_QUERY = \"Say \\\"what\\\"\"\n"
      "STR_MORETHAN = \"" +
      std::string(199, 'm') +
      "\"\n"
      "STR_POWEREDBY = \"" +
      std::string(200, 'p') +
      "\"\n"
      "STR_CAT_SUMMARY = \"panel only\"\n"
      "STR_UNKNOWN = \"x\"\n");
  EXPECT_EQ(config.langStrings[kStrFormSearchFor], "Search &#38; find");  // HTML: kept
  EXPECT_EQ(config.langStrings[kStrNoQuery], "Say \"what\"");
  EXPECT_EQ(config.langStrings[43], std::string(199, 'm'));
  EXPECT_EQ(config.langStrings[kStrPoweredBy], "");  // too long
  for (const auto& text : config.langStrings) EXPECT_NE(text, "panel only");
}

TEST_F(SettingsReaderTest, DebugOverrideAndDump) {
  QueryDump dump;
  dump.sortDate = 1;
  dump.currentPageNum = 3;
  dump.itemsPerPage = 25;
  dump.wordMatchAll = 1;
  dump.queryOut = "a &amp; b";
  dump.cat = {2, 5};
  Config config =
      Load("DEBUG = 0\nAllowRequestDebug = 1\nSpelling = 1\nINT_CACHE_VALID_PERIOD_MINS = 10\n", 2,
           dump);
  EXPECT_EQ(config.debugMode, 2);
  std::vector<std::string> expected = {
      "oCfg->debugMode: 2",
      "oCfg->cacheValidPeriodMins: 10",
      "oCfg->overRequestFactor: 2",
      "oCfg->spelling: 1",
      "oCfg->spellingWhenLessThan: 0",
      "oCfg->recommended: 0",
      "oCfg->recommendedMax: 0",
      "oCfg->useDateTime: 0",
      "oCfg->logging: 0",
      "oCfg->showSearchTime: 0",
      "oCfg->showVexaInfo: 0",
      "gVexaQuery.sortDate: 1",
      "gVexaQuery.currentPageNum: 3",
      "gVexaQuery.itemsPerPage: 25",
      "gVexaQuery.wordMatchAll: 1",
      "gVexaQuery.query_out: a &amp; b",
      "gVexaQuery.cat[0]=2",
      "gVexaQuery.cat[1]=5",
  };
  std::vector<std::string> logged;
  for (const auto& line : log_->Lines()) {
    EXPECT_EQ(line.level, kLogInfo) << line.text;
    logged.push_back(line.text);
  }
  EXPECT_EQ(logged, expected);
  EXPECT_EQ(Load("DEBUG = 1\n", -1).debugMode, 1);
  EXPECT_EQ(Load("DEBUG = 1\nAllowRequestDebug = 1\n", 0).debugMode, 0);
  // A visitor's vexa_debug counts only where the settings allow it.
  EXPECT_EQ(Load("DEBUG = 0\n", 2).debugMode, 0);
  EXPECT_EQ(Load("DEBUG = 1\n", 0).debugMode, 1);
  EXPECT_EQ(Load("DEBUG = 0\nAllowRequestDebug = 0\n", 1).debugMode, 0);
}

TEST_F(SettingsReaderTest, InvalidUtf8IsRepaired) {
  Config config = Load(
      "LogFileName = \"a\xFF"
      "b\"\n");
  EXPECT_EQ(config.logFileName,
            "a\xEF\xBF\xBD"
            "b");
}

}  // namespace
}  // namespace quorix

namespace quorix {
namespace {

TEST_F(SettingsReaderTest, WrittenFileNamesAndUrlsReadBackUnchanged) {
  const std::string values[] = {
      "./logs/a \"quoted\" name.log",
      "C:\\dir\\sub\\x.log",
      "a&b<c>d \xC2\xA2\xC2\xA3\xC2\xA5\xC2\xA9\xC2\xAE "
      "\xE2\x80\x9C\xE2\x80\x9D\xE2\x82\xAC\xE2\x84\xA2",
      "literal &#38; and \\\" together",
  };
  for (const auto& value : values) {
    Config config = Load("DebugFileName = \"" + EscapeSettingsValue(value) + "\"\n");
    EXPECT_EQ(config.debugFileName, value) << value;
  }
  Config config =
      Load("NODE0_VEXA_URL = \"" + EscapeSettingsValue("http://h:81/s.cgi?a=1&b=\"2\"") + "\"\n");
  EXPECT_EQ(config.nodes[0].vexaHost, "h:81");
  EXPECT_EQ(config.nodes[0].vexaPath, "/s.cgi?a=1&b=\"2\"");
}

}  // namespace
}  // namespace quorix
