#include "config/settings_panel_reader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "config/panel_defaults.h"
#include "config/settings_reader.h"
#include "config/settings_writer.h"
#include "config/url_split.h"
#include "tests/support/recording_log.h"

namespace quorix {
namespace {

class PanelReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quorix-reader-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = pattern;
    ApplyPanelDefaults(config);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  bool Load(const std::string& text) {
    std::string path = dir + "/in.cpdat";
    std::ofstream(path, std::ios::binary) << text;
    return LoadPanelSettings(path, config, log, reason);
  }

  std::string dir;
  std::string reason;
  Config config;
  testing::RecordingLog log;
};

TEST_F(PanelReaderTest, ReadsOneVexaNodeAndSplitsItsUrl) {
  ASSERT_TRUE(
      Load("NODE0_DISABLED = 0\r\nNODE0_TYPE = 0\r\nNODE0_STRICT_QUERY_SYNTAX = 0\r\n"
           "NODE0_TIMEOUT_MS = 5000\r\nNODE0_VEXA_URL = "
           "\"http://Node.example:8080/cgi-bin/search.cgi\"\r\n"));
  EXPECT_EQ(config.nodeCount, 1);
  const NodeRecord& node = config.nodes[0];
  EXPECT_FALSE(node.disabled);
  EXPECT_EQ(node.timeoutMs, 5000);
  EXPECT_EQ(node.vexaScheme, "http");
  EXPECT_EQ(node.vexaHost, "Node.example:8080");  // a port other than 80 is kept
  EXPECT_EQ(node.vexaPath, "/cgi-bin/search.cgi");
  EXPECT_EQ(node.port, 8080);
  EXPECT_EQ(node.nodeUrl, "http://Node.example:8080/cgi-bin/search.cgi");
  EXPECT_TRUE(config.allVexaNodes);
  EXPECT_TRUE(log.Has(kLogInfo, "oCfg->debugMode: 0"));
  EXPECT_TRUE(log.Has(kLogInfo, "oCfg->cacheValidPeriodMins: 10"));
  EXPECT_TRUE(log.Has(kLogInfo, "oCfg->overRequestFactor: 2"));
}

TEST_F(PanelReaderTest, InvalidNodeUrlsFailTheWholeLoad) {
  for (const char* url : {"not a url", "", "www.example.com/search.cgi", "http://"}) {
    ApplyPanelDefaults(config);
    EXPECT_FALSE(Load(std::string("NODE0_DISABLED = 0\r\nNODE0_OS_DESC_URL = \"") + url + "\"\r\n"))
        << url;
    EXPECT_EQ(reason, "invalid node URL on line 2 of " + dir + "/in.cpdat") << url;
  }
  EXPECT_FALSE(LoadPanelSettings(dir + "/missing.cpdat", config, log, reason));
  EXPECT_EQ(reason, dir + "/missing.cpdat: No such file or directory");
}

// A file in which no line names a setting is not a settings file.
TEST_F(PanelReaderTest, FilesWithoutSettingsAreRefused) {
  struct Case {
    std::string text;
    bool loads;
  } cases[] = {
      {std::string("\x7f"
                   "ELF\x02\x01\x01\0\0\0DEBUG\0NODE0_TYPE\n\xff\xfe",
                   22),
       false},
      {"", false},
      {"hello = 1\nDEBUG\nNODE0_DISABLED\nNODE0_COLOUR = 2\n", false},
      {"FormFormat = 1\n", true},
      {"NODE0_DISABLED = 0\n", true},
  };
  for (const Case& c : cases) {
    reason.clear();
    EXPECT_EQ(Load(c.text), c.loads) << c.text;
    EXPECT_EQ(reason, c.loads ? "" : "no settings found in " + dir + "/in.cpdat") << c.text;
  }
}

TEST_F(PanelReaderTest, NodeKeyRules) {
  ASSERT_TRUE(
      Load("NODE64_DISABLED = 0\r\n"                       // no such slot
           "NODE01_DISABLED = 0\r\n"                       // not how slot 1 is written
           "NODE1_DISABLED = 0\r\nNODE1_DISABLED = 1\r\n"  // counted twice
           "NODE1_TYPE = 1\r\nNODE1_TIMEOUT_MS = 100\r\n"
           "NODE1_OS_DESC_URLextra = \"https://d.example/os.xml\"\r\n"
           "NODE1_OS_URL = \"https://d.example/s?q={searchTerms}\"\r\n"
           "NODE2_SOMETHING = 1\r\n"));
  EXPECT_EQ(config.nodeCount, 2);
  EXPECT_TRUE(config.nodes[1].disabled);
  EXPECT_EQ(config.nodes[1].type, 1);
  EXPECT_EQ(config.nodes[1].osDescHost, "d.example");
  EXPECT_EQ(config.nodes[1].osDescPath, "/os.xml");
  EXPECT_EQ(config.nodes[1].port, 443);
  EXPECT_EQ(config.nodes[1].osHost, "");  // the query URL is not read back
}

TEST_F(PanelReaderTest, LoadReplacesTheNodeTable) {
  config.nodes[5].timeoutMs = 5000;
  config.nodes[5].vexaHost = "stale.example";
  config.nodeCount = 6;
  config.allowRequestDebug = 1;
  ASSERT_TRUE(Load("DEBUG = 1\r\n"));
  EXPECT_EQ(config.nodeCount, 0);
  EXPECT_EQ(config.allowRequestDebug, 0);  // a file without the key: off
  EXPECT_EQ(config.pageDeadlineMs, 0);
  EXPECT_EQ(config.nodes[5].timeoutMs, 0);
  EXPECT_EQ(config.nodes[5].vexaHost, "");
}

TEST_F(PanelReaderTest, SettingLineRules) {
  config.formFormat = 1;
  ASSERT_TRUE(
      Load("Logging=5\r\n"  // no blanks: the key is "Logging=5"
           "DebugLogging = 1\r\n"
           "Timing = x\r\n"  // not a number: unchanged
           "INT_CACHE_VALID_PERIOD_MINS = 99999999999\r\n"
           "LogFileName = \"\"\r\n"  // empty: unchanged
           "DebugFileName = \"" +
           std::string(300, 'a') +
           "\"\r\n"                                              // too long: unchanged
           "TemplateFilename = \"t.html\"\n"                     // LF alone
           "Spelling = 1\r\nUseCats = 1\r\nSTR_OR = \"or\"\r\n"  // texts not read back
           "PageDeadlineMs = -1\r\n"                             // below 0: no deadline
           "DEBUG = 1\r\nDEBUG = 2\r\n"));                       // the later line wins
  EXPECT_EQ(config.logging, 0);
  EXPECT_EQ(config.debugLogging, 1);
  EXPECT_EQ(config.showSearchTime, 0);
  EXPECT_EQ(config.cacheValidPeriodMins, 10);  // out of range: unchanged
  EXPECT_EQ(config.logFileName, "./logs/searchwords.log");
  EXPECT_EQ(config.debugFileName, "./logs/Quorix.log");
  EXPECT_EQ(config.templateFilename, "t.html");
  EXPECT_EQ(config.spelling, 1);
  EXPECT_EQ(config.useCats, 1);
  EXPECT_EQ(config.formFormat, 1);
  EXPECT_EQ(config.debugMode, 2);
  EXPECT_EQ(config.pageDeadlineMs, 0);
}

// Both readers ignore a number outside the 32-bit range.
TEST_F(PanelReaderTest, NumbersOutOfRangeAreIgnoredByBothReaders) {
  struct Case {
    std::string line;
    int32_t debugMode;
    int32_t timeoutMs;
  } cases[] = {
      {"DEBUG = 2147483647\r\nNODE0_TIMEOUT_MS = 2147483647", 2147483647, 2147483647},
      {"DEBUG = -2147483648\r\nNODE0_TIMEOUT_MS = -2147483648", -2147483647 - 1, -2147483647 - 1},
      {"DEBUG = 2147483648\r\nNODE0_TIMEOUT_MS = 2147483648", 5, 0},
      {"DEBUG = -2147483649\r\nNODE0_TIMEOUT_MS = -2147483649", 5, 0},
      {"DEBUG = 99999999999999999999\r\nNODE0_TIMEOUT_MS = 99999999999", 5, 0},
  };
  for (const Case& c : cases) {
    config.debugMode = 5;
    ASSERT_TRUE(Load(c.line)) << c.line;
    EXPECT_EQ(config.debugMode, c.debugMode) << c.line;
    EXPECT_EQ(config.nodes[0].timeoutMs, c.timeoutMs) << c.line;
    Config search;
    search.debugMode = 5;
    ASSERT_TRUE(LoadConfig(dir + "/in.cpdat", search, log, -1, QueryDump{})) << c.line;
    EXPECT_EQ(search.debugMode, c.debugMode) << c.line;
    EXPECT_EQ(search.nodes[0].timeoutMs, c.timeoutMs) << c.line;
  }
}

TEST_F(PanelReaderTest, UnescapeUndoesTheWriter) {
  struct Case {
    std::string written, value;
  } cases[] = {
      {"say \\\"hi\\\"", "say \"hi\""}, {"C:\\\\logs", "C:\\logs"},
      {"a&#38;b&#60;c&#62;", "a&b<c>"}, {"&#128;&#8482;&#162;", "\xE2\x82\xAC\xE2\x84\xA2\xC2\xA2"},
      {"&#39; \\n", "&#39; \\n"},  // neither a reference of the table nor an escape
  };
  for (const Case& c : cases) EXPECT_EQ(UnescapeSettingsValue(c.written), c.value) << c.written;
}

TEST_F(PanelReaderTest, WhatTheWriterWritesReadsBackTheSame) {
  Config written;
  ApplyPanelDefaults(written);
  written.debugMode = 2;
  written.allowRequestDebug = 1;
  written.overRequestFactor = 5;
  written.cacheValidPeriodMins = 0;
  written.formFormat = 0;
  written.defaultToAnd = 1;
  written.showSearchTime = 1;
  written.showVexaInfo = 0;
  written.logging = 1;
  written.logFileName = "./logs/a&b \"quoted\" back\\slash.log";
  written.debugFileName = "<debug>\xE2\x82\xAC.log";
  written.languageFileName =
      "Fran\xC3\xA7"
      "ais.vlang";
  written.templateFilename = "t&t.html";
  written.controlPanelInstallDirectory = "/srv/\"out\"\\x";
  written.controlPanelLogging = 1;
  written.controlPanelDebugMode = 1;
  written.controlPanelWarnWord = 1;
  for (int slot = 0; slot < 3; ++slot) {
    NodeRecord& node = written.nodes[slot];
    node.disabled = slot == 1;
    node.timeoutMs = 1000 * (slot + 1);
    node.vexaScheme = "http";
    node.vexaHost = "n" + std::to_string(slot) + ".example";
    node.vexaPath = "/search.cgi?site=a&lang=en";
  }
  written.nodes[2].type = 1;
  written.nodes[2].osDescScheme = "https";
  written.nodes[2].osDescHost = "os.example";
  written.nodes[2].osDescPath = "/d.xml";
  written.nodeCount = 3;

  ASSERT_EQ(SaveSettings(dir + "/rt.cpdat", "", written, {}), 0);
  ASSERT_TRUE(LoadPanelSettings(dir + "/rt.cpdat", config, log, reason));
  EXPECT_EQ(config.nodeCount, 3);
  for (int slot = 0; slot < 3; ++slot) {
    EXPECT_EQ(config.nodes[slot].disabled, written.nodes[slot].disabled) << slot;
    EXPECT_EQ(config.nodes[slot].type, written.nodes[slot].type) << slot;
    EXPECT_EQ(config.nodes[slot].timeoutMs, written.nodes[slot].timeoutMs) << slot;
    EXPECT_EQ(config.nodes[slot].vexaHost, written.nodes[slot].vexaHost) << slot;
    EXPECT_EQ(config.nodes[slot].vexaPath, "/search.cgi?site=a&lang=en") << slot;
  }
  EXPECT_EQ(config.nodes[2].osDescHost, "os.example");
  EXPECT_EQ(config.nodes[2].osDescPath, "/d.xml");
  EXPECT_FALSE(config.allVexaNodes);
  EXPECT_EQ(config.debugMode, 2);
  EXPECT_EQ(config.allowRequestDebug, 1);
  EXPECT_EQ(config.overRequestFactor, 5);
  EXPECT_EQ(config.cacheValidPeriodMins, 0);
  EXPECT_EQ(config.formFormat, 0);
  EXPECT_EQ(config.defaultToAnd, 1);
  EXPECT_EQ(config.showSearchTime, 1);
  EXPECT_EQ(config.showVexaInfo, 0);
  EXPECT_EQ(config.logging, 1);
  EXPECT_EQ(config.logFileName, written.logFileName);
  EXPECT_EQ(config.debugFileName, written.debugFileName);
  EXPECT_EQ(config.languageFileName, written.languageFileName);
  EXPECT_EQ(config.templateFilename, written.templateFilename);
  EXPECT_EQ(config.controlPanelInstallDirectory, written.controlPanelInstallDirectory);
  EXPECT_EQ(config.controlPanelLogging, 1);
  EXPECT_EQ(config.controlPanelDebugMode, 1);
  EXPECT_EQ(config.controlPanelWarnWord, 1);
}

TEST(UrlSplitTest, CanonicalisesAndSplits) {
  struct Case {
    const char* url;
    bool ok;
    const char* scheme;
    const char* host;
    int port;
    const char* path;
  } cases[] = {
      {"http://h.example/a/../b/search.cgi", true, "http", "h.example", 80, "/b/search.cgi"},
      {"HTTPS://h.example", true, "https", "h.example", 443, "/"},
      {"http://h.example/my search.cgi?q=1#top", true, "http", "h.example", 80,
       "/my%20search.cgi?q=1#top"},
      {"ftp://h.example/x", true, "ftp", "h.example", 21, "/x"},
      {"h.example/search.cgi", false, "", "", 0, ""},
      {"http://h.example/\x01", false, "", "", 0, ""},
      {"", false, "", "", 0, ""},
  };
  for (const Case& c : cases) {
    SplitUrl parts;
    ASSERT_EQ(CanonicaliseAndSplitUrl(c.url, parts), c.ok) << c.url;
    if (!c.ok) continue;
    EXPECT_EQ(parts.scheme, c.scheme) << c.url;
    EXPECT_EQ(parts.host, c.host) << c.url;
    EXPECT_EQ(parts.port, c.port) << c.url;
    EXPECT_EQ(parts.path, c.path) << c.url;
  }
}

}  // namespace
}  // namespace quorix
