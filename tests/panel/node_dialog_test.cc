#include "panel/core/node_dialog.h"

#include <gtest/gtest.h>

#include "config/panel_defaults.h"
#include "panel/core/node_table.h"
#include "panel/core/settings_flows.h"
#include "panel_fixture.h"

namespace quorix::panel::testing {
namespace {

class NodeDialogTest : public PanelTest {
 protected:
  void SetUp() override {
    PanelTest::SetUp();
    BeginEdit(*session, EditScope::kSettings);
  }
  // Adds an OpenSearch node through the dialog.
  void AddOpenSearch(const std::string& url) {
    NodeDialog dialog(*session, NodeDialogMode::kAdd);
    ASSERT_TRUE(dialog.Open({}));
    dialog.SetType(true);
    dialog.descriptionUrl = url;
    ASSERT_TRUE(dialog.Ok()) << url;
  }
};

TEST_F(NodeDialogTest, AddModeStartsWithAnEnabledVexaNode) {
  NodeDialog dialog(*session, NodeDialogMode::kAdd);
  ASSERT_TRUE(dialog.Open({}));
  EXPECT_EQ(dialog.Caption(), "Add Search Slave");
  EXPECT_TRUE(dialog.enabled);
  EXPECT_FALSE(dialog.openSearch);
  EXPECT_EQ(dialog.timeout, "10000");
  NodeDialogControls controls = dialog.Controls();
  EXPECT_EQ(controls.nodeUrlLabel, "Node URL (required):");
  EXPECT_EQ(controls.descriptionUrlLabel, "OpenSearch Description URL:");
  EXPECT_TRUE(controls.nodeUrlEnabled);
  EXPECT_FALSE(controls.descriptionEnabled);

  dialog.SetType(true);
  controls = dialog.Controls();
  EXPECT_EQ(controls.nodeUrlLabel, "Node URL:");
  EXPECT_EQ(controls.descriptionUrlLabel, "OpenSearch Description URL (required):");
  EXPECT_FALSE(controls.nodeUrlEnabled);
  EXPECT_TRUE(controls.descriptionEnabled && controls.focusOnDescription);
  EXPECT_EQ(session->work.nodes[0].type, 1);

  dialog.nodeUrl = "http://www.example.com/search.cgi";
  dialog.SetType(false);
  dialog.strictQuerySyntax = true;
  ASSERT_TRUE(dialog.Ok());
  const NodeRecord& node = session->work.nodes[0];
  EXPECT_EQ(session->work.nodeCount, 1);
  EXPECT_EQ(node.vexaHost, "www.example.com");
  EXPECT_EQ(node.vexaPath, "/search.cgi");
  EXPECT_EQ(node.nodeUrl, "http://www.example.com/search.cgi");
  EXPECT_EQ(node.port, 80);
  EXPECT_EQ(node.timeoutMs, 10000);
  EXPECT_EQ(node.strictQuerySyntax, 1);
  EXPECT_FALSE(node.disabled);
  EXPECT_TRUE(session->flags.unsaved);
  EXPECT_FALSE(session->flags.verified);
  EXPECT_EQ(session->live.nodeCount, 0);  // the list dialog commits
}

TEST_F(NodeDialogTest, ValidationMessagesInOrder) {
  NodeDialog dialog(*session, NodeDialogMode::kAdd);
  ASSERT_TRUE(dialog.Open({}));
  dialog.nodeUrl = "http://www.example.com/search.php";
  dialog.timeout = "0";
  EXPECT_FALSE(dialog.Ok());
  ASSERT_EQ(desktop.boxes.size(), 1u);
  EXPECT_EQ(desktop.boxes[0].text,
            "You did not provide a valid Node URL!\nExample of a valid Node URL "
            "is:\nhttp://www.example.com/cgi-bin/search.cgi");
  EXPECT_EQ(desktop.boxes[0].title, "Invalid URL");
  EXPECT_EQ(desktop.boxes[0].owner, BoxOwner::kNone);

  dialog.nodeUrl = "http://www.example.com/search.cgi";
  for (const char* timeout : {"0", "180001"}) {
    dialog.timeout = timeout;
    EXPECT_FALSE(dialog.Ok()) << timeout;
    EXPECT_EQ(desktop.boxes.back().text,
              "You have entered an invalid value for the timeout.  Zero is not allowed and the "
              "maximum allowed is 180,000 milliseconds (3 minutes).");
    EXPECT_EQ(desktop.boxes.back().title, "Invalid timeout value");
    EXPECT_EQ(desktop.boxes.back().owner, BoxOwner::kDialog);
  }
  EXPECT_EQ(session->work.nodeCount, 0);
  dialog.timeout = "180000";
  EXPECT_TRUE(dialog.Ok());

  NodeDialog second(*session, NodeDialogMode::kAdd);
  ASSERT_TRUE(second.Open({}));
  second.SetType(true);
  second.descriptionUrl = "http://www.example.com/";
  EXPECT_FALSE(second.Ok());
  EXPECT_EQ(desktop.boxes.back().text,
            "You did not provide a valid OpenSearch Description URL!\nExample of a valid Node URL "
            "is:\nhttp://www.example.com/opensearch/description.xml");
}

TEST_F(NodeDialogTest, UrlProblemFollowsTheType) {
  struct Case {
    bool openSearch;
    const char* url;
    const char* problem;
  } cases[] = {
      {false, "", "Required"},
      {false, "ftp://www.example.com/search.cgi", "Must start with http:// or https://"},
      {false, "http://ab/search.cgi", "Host name too short"},
      {false, "http://www.example.com/", "Path missing"},
      {false, "http://www.example.com/search.php", "Path must end in .cgi or .exe"},
      {false, "https://www.example.com/cgi-bin/search.cgi", ""},
      {true, "http://www.example.com/os.xml", ""},
      {true, "http://www.example.com/search.php", ""},
      {true, "", "Required"},
  };
  NodeDialog dialog(*session, NodeDialogMode::kAdd);
  ASSERT_TRUE(dialog.Open({}));
  for (const Case& c : cases) {
    dialog.openSearch = c.openSearch;
    (c.openSearch ? dialog.descriptionUrl : dialog.nodeUrl) = c.url;
    EXPECT_EQ(dialog.UrlProblem(), c.problem) << c.url;
  }
}

TEST_F(NodeDialogTest, DiscardingNodeListChangesAsksFirst) {
  struct Case {
    bool change;
    std::deque<BoxAnswer> answers;
    bool discarded;
  } cases[] = {{false, {}, true}, {true, {BoxAnswer::kYes}, true}, {true, {BoxAnswer::kNo}, false}};
  for (const Case& c : cases) {
    BeginEdit(*session, EditScope::kSettings);
    if (c.change) session->work.nodes[0].strictQuerySyntax = 1;
    desktop.answers = c.answers;
    desktop.boxes.clear();
    EXPECT_EQ(ConfirmDiscardNodeChanges(*session), c.discarded);
    EXPECT_EQ(desktop.boxes.size(), c.change ? 1u : 0u);
  }
  EXPECT_EQ(desktop.boxes[0].title, "Discard changes");
  EXPECT_EQ(desktop.boxes[0].buttons, BoxButtons::kYesNo);
}

TEST_F(NodeDialogTest, DuplicateDescriptionDifferingOnlyInScheme) {
  AddOpenSearch("http://os.example/desc.xml");
  NodeDialog dialog(*session, NodeDialogMode::kAdd);
  ASSERT_TRUE(dialog.Open({}));
  dialog.SetType(true);
  dialog.descriptionUrl = "https://os.example/desc.xml";
  desktop.answers = {BoxAnswer::kNo};
  EXPECT_FALSE(dialog.Ok());
  EXPECT_EQ(desktop.boxes.back().text,
            "You have entered a duplicate OpenSearch Description File URL:\n"
            "\"http://os.example/desc.xml\"\nDo you want to continue?");
  EXPECT_EQ(desktop.boxes.back().title, "Duplicate OpenSearch node");
  EXPECT_EQ(session->work.nodeCount, 1);
  desktop.answers = {BoxAnswer::kYes};
  EXPECT_TRUE(dialog.Ok());
  EXPECT_EQ(session->work.nodeCount, 2);
}

TEST_F(NodeDialogTest, DuplicateVexaNodeAndEditingItselfIsNoDuplicate) {
  PutVexaNode(session->work, 0, "a.example");
  session->work.nodeCount = 1;
  NodeDialog add(*session, NodeDialogMode::kAdd);
  ASSERT_TRUE(add.Open({}));
  add.nodeUrl = "https://a.example:8443/search.cgi";
  desktop.answers = {BoxAnswer::kNo};
  EXPECT_FALSE(add.Ok());
  EXPECT_EQ(desktop.boxes.back().text,
            "You have entered a duplicate Vexa Node URL:\n\"http://a.example/search.cgi\"\nDo you "
            "want to continue?");
  EXPECT_EQ(desktop.boxes.back().title, "Duplicate Vexa node");
  add.Cancel();

  NodeDialog edit(*session, NodeDialogMode::kEdit);
  ASSERT_TRUE(edit.Open({0}));
  EXPECT_EQ(edit.Caption(), "Edit Search Slave");
  EXPECT_EQ(edit.nodeUrl, "http://a.example/search.cgi");
  EXPECT_EQ(edit.descriptionUrl, "");
  EXPECT_EQ(edit.timeout, "5000");
  edit.timeout = "6000";
  size_t shown = desktop.boxes.size();
  EXPECT_TRUE(edit.Ok());
  EXPECT_EQ(desktop.boxes.size(), shown);
  EXPECT_EQ(session->work.nodeCount, 1);
  EXPECT_EQ(session->work.nodes[0].timeoutMs, 6000);
}

// A port other than the scheme's default stays with the host, so the node is
// written to the settings and queried on that port; ports do not tell
// duplicates apart.
TEST_F(NodeDialogTest, NonDefaultPortsStayWithTheHost) {
  const struct {
    const char* url;
    const char* host;
  } kCases[] = {{"http://127.0.0.1:8082/opensearch.xml", "127.0.0.1:8082"},
                {"http://www.example.com:80/opensearch.xml", "www.example.com"},
                {"https://www.example.org:443/os.xml", "www.example.org"},
                {"https://www.example.net:8443/os.xml", "www.example.net:8443"}};
  for (const auto& c : kCases) {
    AddOpenSearch(c.url);
    const NodeRecord& node = session->work.nodes[session->work.nodeCount - 1];
    EXPECT_EQ(node.osDescHost, c.host) << c.url;
  }
  CommitEdit(*session, EditScope::kSettings);
  std::string path = root + "/ports.cpdat";
  ASSERT_EQ(SaveSettings(*session, path, ""), 0);
  EXPECT_NE(ReadWholeFile(path).find("\"http://127.0.0.1:8082/opensearch.xml\""),
            std::string::npos);
  ApplyPanelDefaults(session->live);
  ASSERT_TRUE(LoadSettings(*session, path));
  EXPECT_EQ(session->live.nodes[0].osDescHost, "127.0.0.1:8082");
  EXPECT_EQ(session->live.nodes[0].port, 8082);

  // The same description on another port is still reported as a duplicate.
  BeginEdit(*session, EditScope::kSettings);
  desktop.answers.push_back(BoxAnswer::kNo);
  NodeDialog dialog(*session, NodeDialogMode::kAdd);
  ASSERT_TRUE(dialog.Open({}));
  dialog.SetType(true);
  dialog.descriptionUrl = "http://127.0.0.1:9000/opensearch.xml";
  EXPECT_FALSE(dialog.Ok());
  EXPECT_EQ(desktop.Titles().back(), "Duplicate OpenSearch node");
}

TEST_F(NodeDialogTest, CancelRestoresTheTable) {
  PutVexaNode(session->work, 0, "a.example");
  session->work.nodeCount = 1;
  Config before = session->work;

  NodeDialog add(*session, NodeDialogMode::kAdd);
  ASSERT_TRUE(add.Open({}));
  add.SetEnabled(false);
  add.SetType(true);
  add.Cancel();
  EXPECT_EQ(session->work.nodeCount, 1);
  EXPECT_EQ(FillNodeList(session->work).size(), 1u);
  EXPECT_EQ(session->work.nodes[1].timeoutMs, 0);

  NodeDialog edit(*session, NodeDialogMode::kEdit);
  ASSERT_TRUE(edit.Open({0}));
  edit.SetEnabled(false);
  edit.SetType(true);
  edit.Cancel();
  EXPECT_FALSE(SettingsDiffer(before, session->work));
  EXPECT_FALSE(session->flags.unsaved);
}

TEST_F(NodeDialogTest, EditWithoutSelectionIsRefused) {
  NodeDialog edit(*session, NodeDialogMode::kEdit);
  EXPECT_FALSE(edit.Open({}));
  ASSERT_EQ(desktop.boxes.size(), 1u);
  EXPECT_EQ(desktop.boxes[0].text, "You have not selected a node to edit.");
  EXPECT_EQ(desktop.boxes[0].title, "No node selected");
  EXPECT_EQ(desktop.boxes[0].owner, BoxOwner::kDialog);
}

TEST_F(NodeDialogTest, AFullListRefusesAdding) {
  for (int i = 0; i < kMaxNodes; ++i)
    PutVexaNode(session->work, i, "n" + std::to_string(i) + ".example");
  session->work.nodeCount = kMaxNodes;
  NodeDialog add(*session, NodeDialogMode::kAdd);
  EXPECT_FALSE(add.Open({}));
  ASSERT_EQ(desktop.boxes.size(), 1u);
  EXPECT_EQ(desktop.boxes[0].text,
            "The node list is full: at most 64 search nodes can be configured.");
  EXPECT_EQ(desktop.boxes[0].title, "Node list full");
  EXPECT_EQ(desktop.boxes[0].icon, BoxIcon::kExclamation);
}

TEST_F(NodeDialogTest, ThreePredefinedEntriesAddThreeNodes) {
  std::vector<PredefinedEntry> entries = {{"A", "http://a.example/a.xml"},
                                          {"B", "http://b.example/b.xml"},
                                          {"C", "http://c.example/c.xml"},
                                          {"D", "http://d.example/d.xml"}};
  NodeDialog dialog(*session, NodeDialogMode::kAdd);
  ASSERT_TRUE(dialog.Open({}));
  dialog.SetType(true);
  dialog.timeout = "3000";
  dialog.strictQuerySyntax = true;
  EXPECT_TRUE(dialog.ApplyPredefinedSelection(entries, {0, 2, 3}));
  EXPECT_EQ(session->work.nodeCount, 3);
  const char* hosts[] = {"a.example", "c.example", "d.example"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(session->work.nodes[i].osDescHost, hosts[i]) << i;
    EXPECT_EQ(session->work.nodes[i].type, 1) << i;
    EXPECT_EQ(session->work.nodes[i].timeoutMs, 3000) << i;
    EXPECT_EQ(session->work.nodes[i].strictQuerySyntax, 1) << i;
    EXPECT_FALSE(session->work.nodes[i].disabled) << i;
  }
  EXPECT_EQ(session->work.nodes[3].timeoutMs, 0);
  EXPECT_TRUE(session->flags.unsaved);
}

TEST_F(NodeDialogTest, RefusedPredefinedEntryReusesItsSlot) {
  AddOpenSearch("http://b.example/b.xml");
  std::vector<PredefinedEntry> entries = {{"A", "http://a.example/a.xml"},
                                          {"B", "http://b.example/b.xml"},
                                          {"C", "http://c.example/c.xml"}};
  NodeDialog dialog(*session, NodeDialogMode::kAdd);
  ASSERT_TRUE(dialog.Open({}));
  dialog.SetType(true);
  desktop.answers = {BoxAnswer::kNo};
  EXPECT_TRUE(dialog.ApplyPredefinedSelection(entries, {0, 1, 2}));
  EXPECT_EQ(session->work.nodeCount, 3);
  EXPECT_EQ(session->work.nodes[1].osDescHost, "a.example");
  EXPECT_EQ(session->work.nodes[2].osDescHost, "c.example");
  EXPECT_EQ(desktop.boxes.back().title, "Duplicate OpenSearch node");
}

TEST_F(NodeDialogTest, PredefinedSelectionOfNoneOrOne) {
  std::vector<PredefinedEntry> entries = {{"A", "http://a.example/a.xml"}};
  NodeDialog dialog(*session, NodeDialogMode::kAdd);
  ASSERT_TRUE(dialog.Open({}));
  dialog.SetType(true);
  EXPECT_FALSE(dialog.ApplyPredefinedSelection(entries, {}));
  EXPECT_EQ(desktop.boxes.back().text, "You did not select any OpenSearch slave(s) to add.");
  EXPECT_EQ(desktop.boxes.back().title, "No selection made");
  EXPECT_FALSE(dialog.ApplyPredefinedSelection(entries, {0}));
  EXPECT_EQ(dialog.descriptionUrl, "http://a.example/a.xml");
  EXPECT_EQ(session->work.nodeCount, 0);
}

TEST_F(NodeDialogTest, PredefinedEntriesStopWhenTheListIsFull) {
  for (int i = 0; i < kMaxNodes - 1; ++i)
    PutVexaNode(session->work, i, "n" + std::to_string(i) + ".example");
  session->work.nodeCount = kMaxNodes - 1;
  std::vector<PredefinedEntry> entries = {{"A", "http://a.example/a.xml"},
                                          {"B", "http://b.example/b.xml"}};
  NodeDialog dialog(*session, NodeDialogMode::kAdd);
  ASSERT_TRUE(dialog.Open({}));
  dialog.SetType(true);
  EXPECT_TRUE(dialog.ApplyPredefinedSelection(entries, {0, 1}));
  EXPECT_EQ(session->work.nodeCount, kMaxNodes);
  EXPECT_EQ(desktop.boxes.back().title, "Node list full");
}

}  // namespace
}  // namespace quorix::panel::testing
