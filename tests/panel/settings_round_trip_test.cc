// What the control panel saves is what the search program reads.
#include <gtest/gtest.h>

#include "config/lang_keys.h"
#include "config/settings_reader.h"
#include "panel/core/settings_flows.h"
#include "panel_fixture.h"

namespace quorix::panel::testing {
namespace {

constexpr char kTrickyText[] = "a&b \"quoted\" back\\slash <b>";

class SettingsRoundTripTest : public PanelTest {
 protected:
  // Saves the live settings with the panel's writer and reads the file back
  // with the search program's reader.
  Config SaveAndLoad() {
    path = root + "/round trip.cpdat";
    EXPECT_EQ(SaveSettings(*session, path, ""), 0);
    Config read;
    NullLog log;
    EXPECT_TRUE(LoadConfig(path, read, log, -1, QueryDump{}));
    return read;
  }

  std::string path;
};

TEST_F(SettingsRoundTripTest, NodesAndOptionsSurvive) {
  Config& live = session->live;
  PutVexaNode(live, 0, "search.example:8080", "/cgi-bin/vexa.cgi?site=a&b=\"q\"\\x");
  PutVexaNode(live, 1, "unused.example");
  NodeRecord& os = live.nodes[1];
  os.type = 1;
  os.vexaHost.clear();
  os.vexaPath.clear();
  os.osDescScheme = "https";
  os.osDescHost = "os.example";
  os.osDescPath = "/desc.xml?a=1&b=\"2\"";
  os.osScheme = "https";
  os.osHost = "os.example";
  os.osPath = "/rss";
  os.osQuery = "?q={searchTerms}&n={count?}&x=\"y\"\\z";
  os.timeoutMs = 12000;
  PutVexaNode(live, 2, "dropped.example", "/s.cgi", 0);  // not in use: not written
  PutVexaNode(live, 3, "off.example");
  live.nodes[3].disabled = true;
  live.nodes[3].strictQuerySyntax = 1;
  live.nodeCount = 4;
  session->flags.verified = true;
  session->verifyStatus.fill(kOk);

  live.debugMode = 2;
  live.allowRequestDebug = 1;
  live.mergeDuplicates = 1;
  live.showSources = 1;
  live.nodeBackoffFailures = 7;
  live.nodeBackoffSecs = 45;
  live.pageDeadlineMs = 2500;
  live.nodes[0].name = kTrickyText;
  live.overRequestFactor = 5;
  live.cacheValidPeriodMins = 30;
  live.formFormat = 1;
  live.defaultToAnd = 1;
  live.showVexaInfo = 0;
  live.showSearchTime = 1;
  live.useCats = 1;
  live.searchMultiCats = 1;
  live.logging = 1;
  live.logFileName = std::string("/var/log/") + kTrickyText + ".log";
  live.debugLogging = 1;
  live.debugFileName = std::string("C:\\logs\\") + kTrickyText + ".log";
  live.languageFileName = "Fish & \"Chips\".vlang";
  std::string language = "STR_OR=" + std::string(kTrickyText) + "\r\nSTR_RESULT=x\\\"y\r\n";
  for (int i = 0; i < kLangKeyCount; ++i)
    if (std::string(kLangKeys[i]) != "STR_OR" && std::string(kLangKeys[i]) != "STR_RESULT")
      language += std::string(kLangKeys[i]) + "=Text " + std::to_string(i) + "\r\n";
  WriteWholeFile(install + "/cgi files/lang/" + live.languageFileName,
                 Utf16ToLeBytes(u"\uFEFF" + Utf8ToUtf16(language)));

  Config read = SaveAndLoad();
  ASSERT_EQ(read.nodeCount, 3);
  EXPECT_FALSE(read.allVexaNodes);

  const NodeRecord& vexa = read.nodes[0];
  EXPECT_FALSE(vexa.disabled);
  EXPECT_EQ(vexa.type, 0);
  EXPECT_EQ(vexa.timeoutMs, 5000);
  EXPECT_EQ(vexa.vexaScheme, "http");
  EXPECT_EQ(vexa.vexaHost, "search.example:8080");
  EXPECT_EQ(vexa.vexaPath, "/cgi-bin/vexa.cgi?site=a&b=\"q\"\\x");
  EXPECT_EQ(vexa.name, kTrickyText);

  const NodeRecord& search = read.nodes[1];
  EXPECT_FALSE(search.disabled);
  EXPECT_EQ(search.type, 1);
  EXPECT_EQ(search.timeoutMs, 12000);
  EXPECT_EQ(search.osDescScheme, "https");
  EXPECT_EQ(search.osDescHost, "os.example");
  EXPECT_EQ(search.osDescPath, "/desc.xml?a=1&b=\"2\"");
  EXPECT_EQ(search.osScheme, "https");
  EXPECT_EQ(search.osHost, "os.example");
  EXPECT_EQ(search.osPath, "/rss");
  EXPECT_EQ(search.osQuery, "?q={searchTerms}&n={count?}&x=\"y\"\\z");

  const NodeRecord& off = read.nodes[2];
  EXPECT_TRUE(off.disabled);
  EXPECT_EQ(off.strictQuerySyntax, 1);
  EXPECT_EQ(off.vexaHost, "off.example");

  struct IntCase {
    const char* name;
    int32_t Config::*field;
  } ints[] = {
      {"DEBUG", &Config::debugMode},
      {"AllowRequestDebug", &Config::allowRequestDebug},
      {"MergeDuplicates", &Config::mergeDuplicates},
      {"ShowSources", &Config::showSources},
      {"NodeBackoffFailures", &Config::nodeBackoffFailures},
      {"NodeBackoffSecs", &Config::nodeBackoffSecs},
      {"PageDeadlineMs", &Config::pageDeadlineMs},
      {"INT_OVER_REQUEST_FACTOR", &Config::overRequestFactor},
      {"INT_CACHE_VALID_PERIOD_MINS", &Config::cacheValidPeriodMins},
      {"FormFormat", &Config::formFormat},
      {"DefaultToAnd", &Config::defaultToAnd},
      {"VexaInfo", &Config::showVexaInfo},
      {"Timing", &Config::showSearchTime},
      {"UseCats", &Config::useCats},
      {"SearchMultiCats", &Config::searchMultiCats},
      {"Logging", &Config::logging},
      {"DebugLogging", &Config::debugLogging},
  };
  for (const IntCase& c : ints) EXPECT_EQ(read.*c.field, live.*c.field) << c.name;
  EXPECT_EQ(read.logFileName, live.logFileName);
  EXPECT_EQ(read.debugFileName, live.debugFileName);
  EXPECT_EQ(read.languageFileName, live.languageFileName);

  // Language texts are HTML: the reader keeps the character references.
  EXPECT_EQ(read.langStrings[LangKeyIndex("STR_OR")], "a&#38;b \"quoted\" back\\slash &#60;b&#62;");
  EXPECT_EQ(read.langStrings[LangKeyIndex("STR_RESULT")], "x\\\"y");
}

// An OpenSearch query URL is saved only for a node that passed its verification.
TEST_F(SettingsRoundTripTest, QueryUrlOnlyForVerifiedNodes) {
  struct Case {
    bool verified;
    Status status;
    bool kept;
  } cases[] = {{true, kOk, true}, {true, kQuerySendFailed, false}, {false, kOk, false}};
  for (const Case& c : cases) {
    PutVexaNode(session->live, 0, "unused.example");
    NodeRecord& os = session->live.nodes[0];
    os.type = 1;
    os.osDescScheme = os.osScheme = "http";
    os.osDescHost = os.osHost = "os.example";
    os.osDescPath = "/d.xml";
    os.osPath = "/rss";
    os.osQuery = "?q={searchTerms}";
    session->live.nodeCount = 1;
    session->flags.verified = c.verified;
    session->verifyStatus[0] = c.status;
    std::filesystem::remove(root + "/round trip.cpdat");
    Config read = SaveAndLoad();
    EXPECT_EQ(read.nodes[0].osHost, c.kept ? "os.example" : "")
        << "verified " << c.verified << ", status " << c.status;
  }
}

TEST_F(SettingsRoundTripTest, EveryLineEndsInCrLf) {
  PutVexaNode(session->live, 0, "search.example");
  session->live.nodeCount = 1;
  SaveAndLoad();
  std::string saved = ReadWholeFile(path);
  ASSERT_NE(saved.find("STR_"), std::string::npos);
  ASSERT_EQ(saved.back(), '\n');
  for (size_t at = saved.find('\n'); at != std::string::npos; at = saved.find('\n', at + 1))
    ASSERT_TRUE(at > 0 && saved[at - 1] == '\r')
        << "line ending at byte " << at << ": "
        << saved.substr(saved.rfind('\n', at - 1) + 1, at - saved.rfind('\n', at - 1));
}

}  // namespace
}  // namespace quorix::panel::testing
