#include "panel/core/node_table.h"

#include <gtest/gtest.h>

#include "config/panel_defaults.h"
#include "panel_fixture.h"

namespace quorix::panel::testing {
namespace {

TEST(NodeUrlTest, ValidationLimits) {
  struct Case {
    const char* url;
    NodeUrlKind kind;
    bool valid;
  } cases[] = {
      {"http://www.example.com/search.cgi", NodeUrlKind::kVexaNode, true},
      {"https://www.example.com/search.exe", NodeUrlKind::kVexaNode, true},
      {"http://www.example.com/search.php", NodeUrlKind::kVexaNode, false},
      {"http://www.example.com/search.CGI", NodeUrlKind::kVexaNode, false},
      {"ftp://www.example.com/search.cgi", NodeUrlKind::kVexaNode, false},
      {"http://ab/search.cgi", NodeUrlKind::kVexaNode, false},  // host of 2 characters
      {"http://abc/search.cgi", NodeUrlKind::kVexaNode, true},
      {"http://www.example.com/", NodeUrlKind::kVexaNode, false},
      {"http://www.example.com/cgi.bin/search", NodeUrlKind::kVexaNode, false},
      {"www.example.com/search.cgi", NodeUrlKind::kVexaNode, false},
      {"http://www.example.com/os.xml", NodeUrlKind::kDescription, true},
      {"http://www.example.com/a", NodeUrlKind::kDescription, true},
      {"http://www.example.com/", NodeUrlKind::kDescription, false},
      {"http://www.example.com", NodeUrlKind::kDescription, false},
      {"gopher://www.example.com/os.xml", NodeUrlKind::kDescription, false},
  };
  for (const Case& c : cases) {
    SplitUrl parts;
    EXPECT_EQ(ValidateNodeUrl(c.url, c.kind, parts), c.valid) << c.url;
  }
}

TEST(NodeUrlTest, TimeoutLimits) {
  struct Case {
    const char* text;
    bool valid;
    int32_t value;
  } cases[] = {
      {"180000", true, 180000}, {"180001", false, 0},
      {"0", false, 0},          {"1", true, 1},
      {"", false, 0},           {"-5", false, 0},
      {"12ab", true, 12},       {"99999999999999999999", false, 0},
  };
  for (const Case& c : cases) {
    int32_t value = 0;
    EXPECT_EQ(ParseTimeout(c.text, value), c.valid) << c.text;
    if (c.valid) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
}

class NodeTableTest : public PanelTest {};

TEST_F(NodeTableTest, RemovingKeepsTheOrderAndCompacts) {
  Config config;
  ApplyPanelDefaults(config);
  for (int i = 0; i < 5; ++i) PutVexaNode(config, i, "n" + std::to_string(i) + ".example");
  config.nodeCount = 5;

  EXPECT_TRUE(RemoveNodes(config, {1}));
  std::vector<NodeRow> rows = FillNodeList(config);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(config.nodeCount, 4);
  EXPECT_EQ(rows[0].label, "0 (Vexa)");
  EXPECT_EQ(rows[1].label, "1 (Vexa)");
  EXPECT_EQ(rows[1].url, "http://n2.example/search.cgi");
  EXPECT_EQ(rows[1].timeout, "5000");

  // Two rows that are not next to each other.
  EXPECT_TRUE(RemoveNodes(config, {3, 0}));
  rows = FillNodeList(config);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].url, "http://n2.example/search.cgi");
  EXPECT_EQ(rows[1].url, "http://n3.example/search.cgi");
  EXPECT_EQ(config.nodes[2].timeoutMs, 0);
  EXPECT_EQ(config.nodes[3].vexaHost, "");

  EXPECT_FALSE(RemoveNodes(config, {}));
  EXPECT_EQ(config.nodeCount, 2);
}

TEST_F(NodeTableTest, FillingSkipsUnusedSlotsAndChoosesTheUrlShown) {
  Config config;
  ApplyPanelDefaults(config);
  PutVexaNode(config, 2, "vexa.example");
  PutVexaNode(config, 5, "both.example");
  config.nodes[5].osDescScheme = "http";
  config.nodes[5].osDescHost = "desc.example";
  config.nodes[5].osDescPath = "/os.xml";
  NodeRecord& os = config.nodes[9];
  os.type = 1;
  os.timeoutMs = 300;
  os.osDescScheme = "https";
  os.osDescHost = "os.example";
  os.osDescPath = "/d.xml";
  std::vector<NodeRow> rows = FillNodeList(config);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(config.nodeCount, 3);
  EXPECT_EQ(rows[0].url, "http://vexa.example/search.cgi");
  EXPECT_EQ(rows[1].url, "http://desc.example/os.xml");
  EXPECT_EQ(rows[2].label, "2 (OpenSearch)");
  EXPECT_EQ(rows[2].url, "https://os.example/d.xml");
  EXPECT_TRUE(rows[2].disabled);
  EXPECT_EQ(config.nodes[9].timeoutMs, 0);
}

TEST_F(NodeTableTest, EnableAndDisableMarkUnsaved) {
  PutVexaNode(session->work, 0, "a.example");
  PutVexaNode(session->work, 1, "b.example");
  session->work.nodes[0].disabled = session->work.nodes[1].disabled = true;
  session->work.nodeCount = 2;

  SetSelectedNodesDisabled(*session, {}, false);
  EXPECT_FALSE(session->flags.unsaved);
  SetSelectedNodesDisabled(*session, {0, 1}, false);
  EXPECT_TRUE(session->flags.unsaved);
  std::vector<NodeRow> rows = FillNodeList(session->work);
  EXPECT_FALSE(rows[0].disabled || rows[1].disabled);
  EXPECT_EQ(NodeRowColour(rows[0].disabled), (Rgb{0, 0, 0}));
  EXPECT_EQ(NodeRowColour(true), (Rgb{175, 175, 175}));

  session->flags.unsaved = false;
  RemoveSelectedNodes(*session, {1});
  EXPECT_TRUE(session->flags.unsaved);
  EXPECT_EQ(session->work.nodeCount, 1);
}

// After a passed verification of nodes 0 (failed) and 1 (passed), any change
// of the table leaves nothing verified: no slot may keep another node's result.
TEST_F(NodeTableTest, ChangingTheTableForgetsTheVerification) {
  struct Case {
    const char* name;
    void (*change)(PanelSession&);
  } cases[] = {
      {"remove", [](PanelSession& s) { RemoveSelectedNodes(s, {0}); }},
      {"disable", [](PanelSession& s) { SetSelectedNodesDisabled(s, {1}, true); }},
      {"enable", [](PanelSession& s) { SetSelectedNodesDisabled(s, {0}, false); }},
  };
  for (const Case& c : cases) {
    PutVexaNode(session->work, 0, "a.example");
    PutVexaNode(session->work, 1, "b.example");
    session->work.nodeCount = 2;
    session->flags.verified = session->flags.verifyPassed = true;
    session->verifyStatus[0] = kQuerySendFailed;
    session->verifyStatus[1] = kOk;
    c.change(*session);
    EXPECT_FALSE(session->flags.verified) << c.name;
    EXPECT_FALSE(session->flags.verifyPassed) << c.name;
    EXPECT_EQ(session->verifyStatus[0], kNodeNotRun) << c.name;
    EXPECT_EQ(session->verifyStatus[1], kNodeNotRun) << c.name;
  }
}

TEST_F(NodeTableTest, DuplicatesCompareHostAndPathOnly) {
  Config config;
  ApplyPanelDefaults(config);
  PutVexaNode(config, 0, "a.example", "/search.cgi");
  PutVexaNode(config, 1, "a.example", "/Search.cgi");
  config.nodes[1].vexaScheme = "https";
  PutVexaNode(config, 2, "a.example", "/search.cgi");
  config.nodes[2].vexaScheme = "https";
  config.nodeCount = 3;
  EXPECT_EQ(FindDuplicateNode(config, 2, false), 0);
  EXPECT_EQ(FindDuplicateNode(config, 1, false), -1);
  EXPECT_EQ(FindDuplicateNode(config, 0, false), 2);
}

TEST_F(NodeTableTest, ChangeTestIgnoresDebugSchemesPortsAndStrictFlag) {
  Config a;
  ApplyPanelDefaults(a);
  PutVexaNode(a, 0, "a.example");
  a.nodeCount = 1;
  struct Case {
    const char* name;
    void (*change)(Config&);
    bool differs;
  } cases[] = {
      {"DEBUG", [](Config& c) { c.debugMode = 2; }, false},
      {"scheme", [](Config& c) { c.nodes[0].vexaScheme = "https"; }, false},
      {"port", [](Config& c) { c.nodes[0].port = 81; }, false},
      {"strict", [](Config& c) { c.nodes[0].strictQuerySyntax = 1; }, false},
      {"beyond the count", [](Config& c) { c.nodes[3].timeoutMs = 5; }, false},
      {"host", [](Config& c) { c.nodes[0].vexaHost = "A.example"; }, true},
      {"time-out", [](Config& c) { c.nodes[0].timeoutMs = 1; }, true},
      {"disabled", [](Config& c) { c.nodes[0].disabled = true; }, true},
      {"type", [](Config& c) { c.nodes[0].type = 1; }, true},
      {"count", [](Config& c) { c.nodeCount = 2; }, true},
      {"cache", [](Config& c) { c.cacheValidPeriodMins = 0; }, true},
      {"form", [](Config& c) { c.formFormat = 0; }, true},
      {"language", [](Config& c) { c.languageFileName = "x.vlang"; }, true},
      {"template", [](Config& c) { c.templateFilename = "x.html"; }, true},
      {"debug file", [](Config& c) { c.debugFileName = "x.log"; }, true},
      {"timing", [](Config& c) { c.showSearchTime = 1; }, true},
  };
  for (const Case& c : cases) {
    Config b = a;
    c.change(b);
    EXPECT_EQ(SettingsDiffer(a, b), c.differs) << c.name;
  }
}

}  // namespace
}  // namespace quorix::panel::testing
