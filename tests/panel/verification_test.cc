#include "panel/core/verification.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <iterator>
#include <mutex>
#include <thread>

#include "nodequery/dispatch.h"
#include "panel/core/node_dialog.h"
#include "panel/core/settings_flows.h"
#include "panel/core/test_search.h"
#include "panel_fixture.h"
#include "tests/support/test_http_server.h"

namespace quorix::panel::testing {
namespace {

using quorix::testing::HttpAnswer;
using quorix::testing::TestHttpServer;

constexpr char kStartLine[] =
    "Quorix ControlPanel v1.0 (Build 1000), Slave nodes verification started";
constexpr char kSummaryHeading[] =
    "====================== Verification Summary ======================";

// A Vexa node's answer holding one item, reporting `minWordLen` among its settings.
std::string VexaAnswer(int minWordLen = 3) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<rss version=\"2.0\" xmlns:openSearch=\"http://a9.com/-/spec/opensearch/1.1/\" "
         "xmlns:vexa=\"http://www.vexa.example/rss\">\n<channel>\n"
         "<title>Site search</title><link>http://site/</link><description>All</description>\n"
         "<openSearch:totalResults>5</openSearch:totalResults>\n"
         "<openSearch:startIndex>1</openSearch:startIndex>"
         "<openSearch:itemsPerPage>1</openSearch:itemsPerPage>\n"
         "<vexa:setting name=\"Version\" value=\"5.1\"/>"
         "<vexa:setting name=\"MinWordLen\" value=\"" +
         std::to_string(minWordLen) +
         "\"/>\n"
         "<item><title>First</title><link>http://site/a</link>"
         "<description>Some test text</description><vexa:score>80</vexa:score></item>\n"
         "</channel>\n</rss>\n";
}

class VerificationTest : public PanelTest {
 protected:
  void SetUp() override {
    PanelTest::SetUp();
    session->log.SetUpWindow();
  }

  // Puts a Vexa node on the test server at `slot` and counts it in the node table.
  NodeRecord& Node(int slot, const std::string& path = "/search.cgi", int timeout = 5000) {
    PutVexaNode(session->live, slot, server.HostPort(), path, timeout);
    session->live.nodeCount = std::max(session->live.nodeCount, slot + 1);
    return session->live.nodes[slot];
  }

  std::vector<std::string> Lines(int level) const {
    std::vector<std::string> lines;
    for (const LogWindowLine& line : session->log.WindowLines())
      if (line.level == level) lines.push_back(line.text);
    return lines;
  }

  // True when the window's lines hold `expected` in this order (others may come between).
  ::testing::AssertionResult InOrder(const std::vector<LogWindowLine>& expected) const {
    const auto& lines = session->log.WindowLines();
    size_t at = 0;
    for (const LogWindowLine& want : expected) {
      while (at < lines.size() && !(lines[at].level == want.level && lines[at].text == want.text))
        ++at;
      if (at == lines.size())
        return ::testing::AssertionFailure()
               << "missing or out of order: [" << want.level << "] " << want.text << "\n"
               << AllLines();
      ++at;
    }
    return ::testing::AssertionSuccess();
  }

  std::string AllLines() const {
    std::string text;
    for (const LogWindowLine& line : session->log.WindowLines())
      text += "  [" + std::to_string(line.level) + "] " + line.text + "\n";
    return text;
  }

  void ExpectFinalBox(const std::string& title, const std::string& text) {
    ASSERT_EQ(desktop.boxes.size(), 1u) << AllLines();
    EXPECT_EQ(desktop.boxes[0].title, title);
    EXPECT_EQ(desktop.boxes[0].text, text);
    EXPECT_EQ(desktop.boxes[0].icon, BoxIcon::kExclamation);
    EXPECT_EQ(desktop.boxes[0].buttons, BoxButtons::kOk);
    EXPECT_EQ(desktop.boxes[0].owner, BoxOwner::kDialog);
  }

  TestHttpServer server;
};

TEST_F(VerificationTest, GoodVexaNodePasses) {
  server.Answer("/search.cgi", HttpAnswer(VexaAnswer()));
  Node(0);
  EXPECT_EQ(VerifyNodes(*session), VerificationOutcome::kPassed);

  EXPECT_TRUE(InOrder({{0, kStartLine},
                       {0, "Node #0: Starting verification."},
                       {0, "Node #0: Checking Vexa node's URL..."},
                       {0, kSummaryHeading},
                       {0, "Node #0: Verification is successful"}}));
  EXPECT_TRUE(Lines(kLogError).empty()) << AllLines();
  ExpectFinalBox("Verification successful!", "The verification was successful.");
  EXPECT_TRUE(session->flags.verified);
  EXPECT_TRUE(session->flags.verifyPassed);
  EXPECT_EQ(session->verifyStatus[0], kOk);
  EXPECT_EQ(session->verifyStatus[1], kNodeNotRun);
  // One item of the query "test", with the short template the control panel uses.
  ASSERT_EQ(server.RequestTargets().size(), 1u);
  EXPECT_EQ(server.RequestTargets()[0],
            "/search.cgi?vexa_query=test&vexa_page=1&vexa_per_page=1&quorix=1&vexa_xml=1&vexa_and="
            "0&vexa_sort=0");
}

// The node dialog's Test queries the typed node alone and leaves the
// settings and their verification state alone.
TEST_F(VerificationTest, NodeDialogTestsTheTypedNode) {
  server.Answer("/search.cgi", HttpAnswer(VexaAnswer()));
  BeginEdit(*session, EditScope::kSettings);
  NodeDialog dialog(*session, NodeDialogMode::kAdd);
  ASSERT_TRUE(dialog.Open({}));
  struct Case {
    std::string url;
    std::string timeout;
    std::string lastLine;
    size_t requests;
  } cases[] = {
      {"http://" + server.HostPort() + "/search.cgi", "5000", "Node #0: Verification is successful",
       1},
      {"http://" + server.HostPort() + "/gone.cgi", "5000",
       "Node #0: Slave node did not return a recognised VexaSearchResponse/OpenSearchResponse "
       "format",
       2},
      {"http://" + server.HostPort() + "/search.php", "5000",
       "Node #0: Path must end in .cgi or .exe", 2},
      {"http://" + server.HostPort() + "/search.cgi", "0", "Node #0: Invalid timeout value", 2},
  };
  for (const Case& c : cases) {
    dialog.nodeUrl = c.url;
    dialog.timeout = c.timeout;
    std::vector<LogWindowLine> lines = dialog.Test();
    ASSERT_FALSE(lines.empty()) << c.url;
    EXPECT_EQ(lines.back().text, c.lastLine) << c.url;
    EXPECT_EQ(server.RequestTargets().size(), c.requests) << c.url;
  }
  EXPECT_EQ(session->work.nodeCount, 0);
  EXPECT_FALSE(session->flags.verified);
  EXPECT_EQ(session->verifyStatus[0], kNodeNotRun);
  EXPECT_TRUE(desktop.boxes.empty());

  // A node added after another is tested as the second node in every line.
  PutVexaNode(session->work, 0, server.HostPort(), "/search.cgi", 5000);
  session->work.nodeCount = 1;
  NodeDialog second(*session, NodeDialogMode::kAdd);
  ASSERT_TRUE(second.Open({}));
  second.nodeUrl = "http://" + server.HostPort() + "/gone.cgi";
  second.timeout = "5000";
  int named = 0;
  for (const LogWindowLine& line : second.Test()) {
    if (line.text.rfind("Node #", 0) != 0) continue;
    ++named;
    EXPECT_EQ(line.text.rfind("Node #1", 0), 0u) << line.text;
  }
  EXPECT_GE(named, 2);
}

// A good node, one answering 404, a disabled one, one with time-out 0 and one
// without URL: every failure shows in the log and the summary, and the run fails.
TEST_F(VerificationTest, FailingNodesAreReportedAndTheRunFails) {
  server.Answer("/search.cgi", HttpAnswer(VexaAnswer()));
  Node(0);
  Node(1, "/missing.cgi");  // the server's default answer: 404
  Node(2).disabled = true;
  Node(3, "/search.cgi", 0);
  NodeRecord& empty = Node(4);
  empty.vexaHost.clear();
  empty.vexaPath.clear();
  EXPECT_EQ(VerifyNodes(*session), VerificationOutcome::kFailed);

  EXPECT_TRUE(InOrder({{0, kStartLine},
                       {0, "Node #0: Starting verification."},
                       {0, "Node #1: Starting verification."},
                       {2, "Node #1: HTTP Status 404 returned (File not found)"},
                       {2, "Node #1: Slave node did not return the expected XML format"},
                       {2, "Node #1: Slave node returned: not found"},
                       {0, "Node #2: Not enabled"},
                       {0, "Node #3: Starting verification."},
                       {0, "Node #3: Time-out is zero"},
                       {0, "Node #4: Starting verification."},
                       {0, "Node #4: Checking Vexa node's URL..."},
                       {2, "Node #4: Node URL is empty"},
                       {0, kSummaryHeading},
                       {0, "Node #0: Verification is successful"},
                       {2,
                        "Node #1: Slave node did not return a recognised "
                        "VexaSearchResponse/OpenSearchResponse format"},
                       {2, "Node #3: Timeout value is zero"},
                       {2, "Node #4: Query server's URL is empty"}}));
  // Neither the disabled node nor the one with time-out 0 was asked.
  EXPECT_EQ(server.RequestCount(), 2u);
  ExpectFinalBox("Verification error!",
                 "There were errors in your verification.  Please correct the error messages in "
                 "red and re-verify.");
  EXPECT_TRUE(session->flags.verified);
  EXPECT_FALSE(session->flags.verifyPassed);
  EXPECT_EQ(session->verifyStatus[0], kOk);
  EXPECT_EQ(session->verifyStatus[1], kResponseNotRecognised);
  EXPECT_EQ(session->verifyStatus[2], kNodeNotRun);
  EXPECT_EQ(session->verifyStatus[3], kNodeTimeoutZero);
  EXPECT_EQ(session->verifyStatus[4], kQueryUrlEmpty);
}

TEST_F(VerificationTest, DifferingNodeSettingsFailTheRun) {
  server.Answer("/a.cgi", HttpAnswer(VexaAnswer(3)));
  server.Answer("/b.cgi", HttpAnswer(VexaAnswer(4)));
  Node(0, "/a.cgi");
  Node(1, "/b.cgi");
  EXPECT_EQ(VerifyNodes(*session), VerificationOutcome::kFailed);

  EXPECT_TRUE(
      InOrder({{2, "Node #0: Vexa Indexer settings for \"MinWordLen\" is NOT the same as Node #1"},
               {0, kSummaryHeading},
               {0, "Node #0: Verification is successful"},
               {0, "Node #1: Verification is successful"}}));
  ExpectFinalBox("Verification error!",
                 "There were errors in your verification.  Please correct the error messages in "
                 "red and re-verify.");
  EXPECT_FALSE(session->flags.verifyPassed);
}

TEST_F(VerificationTest, SameNodeSettingsPass) {
  server.Answer("/a.cgi", HttpAnswer(VexaAnswer(3)));
  Node(0, "/a.cgi");
  Node(1, "/a.cgi");
  EXPECT_EQ(VerifyNodes(*session), VerificationOutcome::kPassed) << AllLines();
}

TEST_F(VerificationTest, NoNodesLeavesTheSettingsUnverified) {
  EXPECT_EQ(VerifyNodes(*session), VerificationOutcome::kNoNodes);
  EXPECT_EQ(Lines(kLogFileOnly),
            (std::vector<std::string>{kStartLine, "You did not configure any search slaves."}));
  ExpectFinalBox("No search slaves", "You did not configure any search slaves.");
  EXPECT_FALSE(session->flags.verified);
}

// Nothing could be asked: no summary, and the settings do not count as passed.
TEST_F(VerificationTest, NoNodeAskedEndsWithoutSummary) {
  Node(0).disabled = true;
  Node(1, "/search.cgi", 0);
  EXPECT_EQ(VerifyNodes(*session), VerificationOutcome::kNoneStarted);
  EXPECT_TRUE(
      InOrder({{0, "Node #0: Not enabled"},
               {0, "Node #1: Time-out is zero"},
               {0, "None of the slaves are enabled.  Verification could not be performed."}}));
  EXPECT_EQ(AllLines().find(kSummaryHeading), std::string::npos);
  ExpectFinalBox("No search slaves",
                 "None of the slaves are enabled.  Verification could not be performed.");
  EXPECT_EQ(server.RequestCount(), 0u);
  EXPECT_TRUE(session->flags.verified);
  EXPECT_FALSE(session->flags.verifyPassed);
}

// The settings check's error line fails the run even when the log window
// does not keep it.
TEST_F(VerificationTest, ErrorLinesFailTheRunWithoutAWindow) {
  session->log.CloseWindow();
  server.Answer("/a.cgi", HttpAnswer(VexaAnswer(3)));
  server.Answer("/b.cgi", HttpAnswer(VexaAnswer(4)));
  Node(0, "/a.cgi");
  Node(1, "/b.cgi");
  EXPECT_EQ(VerifyNodes(*session), VerificationOutcome::kFailed);
  EXPECT_FALSE(session->flags.verifyPassed);
  EXPECT_EQ(session->verifyStatus[0], kOk);
  EXPECT_EQ(session->verifyStatus[1], kOk);
}

TEST_F(VerificationTest, OpenSearchNodeWithoutDescriptionUrl) {
  server.Answer("/search.cgi", HttpAnswer(VexaAnswer()));
  Node(0).type = 1;
  Node(1);
  EXPECT_EQ(VerifyNodes(*session), VerificationOutcome::kFailed);
  EXPECT_TRUE(
      InOrder({{0, "Node #0: Checking OpenSearch Description file's URL for valid HTTP string."},
               {2, "Node #0: OpenSearch Description URL string is empty"},
               {2, "Node #0: OpenSearch Description file URL is empty"}}));
}

// The query URL found in a description reaches the saved settings once the
// node has passed.
TEST_F(VerificationTest, ResolvedOpenSearchUrlIsSavedForAPassedNode) {
  server.Answer("/os.xml", HttpAnswer("<OpenSearchDescription><Url type=\"application/rss+xml\" "
                                      "template=\"http://" +
                                      server.HostPort() +
                                      "/rss?q={searchTerms}&amp;n={count}\"/>"
                                      "</OpenSearchDescription>"));
  server.Answer("/rss", HttpAnswer(VexaAnswer()));
  NodeRecord& node = Node(0);
  node.type = 1;
  node.osDescScheme = "http";
  node.osDescHost = server.HostPort();
  node.osDescPath = "/os.xml";
  ASSERT_EQ(VerifyNodes(*session), VerificationOutcome::kPassed) << AllLines();
  EXPECT_TRUE(InOrder({{0,
                        "Node #0: OpenSearch Description file's URL appear to be valid (did "
                        "not check connectivity yet)."}}));

  std::string path = root + "/saved.cpdat";
  ASSERT_EQ(SaveSettings(*session, path, ""), 0);
  std::string saved = ReadWholeFile(path);
  std::string expected =
      "NODE0_OS_URL = \"http://" + server.HostPort() + "/rss?q={searchTerms}&n={count}\"\r\n";
  EXPECT_NE(saved.find(expected), std::string::npos) << saved;
}

// Run off the calling thread: the lines reach the window callback in order,
// and the end is announced after the last of them.
TEST_F(VerificationTest, BackgroundRunDeliversLinesInOrder) {
  server.Answer("/search.cgi", HttpAnswer(VexaAnswer()));
  Node(0);
  Node(1, "/missing.cgi");
  std::mutex mutex;
  std::condition_variable ended;
  std::vector<std::string> received;
  bool finished = false;
  size_t linesAtEnd = 0;
  std::thread::id runThread;
  session->log.onWindowLine = [&](const LogWindowLine& line) {
    std::lock_guard<std::mutex> hold(mutex);
    received.push_back(line.text);
  };
  VerificationRun run(*session);
  run.Start([&](VerificationOutcome) {
    std::lock_guard<std::mutex> hold(mutex);
    finished = true;
    linesAtEnd = received.size();
    runThread = std::this_thread::get_id();
    ended.notify_all();
  });
  {
    std::unique_lock<std::mutex> hold(mutex);
    ASSERT_TRUE(ended.wait_for(hold, std::chrono::seconds(30), [&] { return finished; }));
  }
  run.Wait();
  run.ShowFinalBox();
  session->log.onWindowLine = nullptr;

  EXPECT_NE(runThread, std::this_thread::get_id());
  EXPECT_EQ(run.Outcome(), VerificationOutcome::kFailed);
  std::vector<std::string> stored;
  for (const LogWindowLine& line : session->log.WindowLines()) stored.push_back(line.text);
  EXPECT_EQ(received, stored);
  EXPECT_EQ(linesAtEnd, stored.size());
  EXPECT_EQ(stored.back(), VerificationSummaryLine(1, session->verifyStatus[1]).text);
  ExpectFinalBox("Verification error!",
                 "There were errors in your verification.  Please correct the error messages in "
                 "red and re-verify.");
}

// The test search asks every enabled node at once with the live settings, off
// the calling thread, and reports each one; the session stays as it was.
TEST_F(VerificationTest, TestSearchReportsEveryEnabledNode) {
  using namespace std::chrono_literals;
  server.Answer("/search.cgi", HttpAnswer(VexaAnswer()));
  server.Answer("/slow.cgi", HttpAnswer(VexaAnswer()).Delay(1500ms));
  Node(0);
  Node(1, "/missing.cgi");
  Node(2).disabled = true;
  Node(3, "/slow.cgi", 300);
  session->live.defaultToAnd = 1;
  std::thread::id searchThread;
  TestSearchRun run(session->live, "c++ garden");
  run.Start([&] { searchThread = std::this_thread::get_id(); });
  run.Wait();
  const TestSearchReport& report = run.Report();

  EXPECT_NE(searchThread, std::this_thread::get_id());
  struct Case {
    int slot;
    bool answered;
    std::string status;
    int total;
    std::vector<std::string> titles;
  } cases[] = {
      // Five held, one sent of the ten asked for: an answer all the same.
      {0, true, "Answered with fewer items than asked for", 5, {"First"}},
      {1, false, "Answer not recognised", 0, {}},
      {3, false, "Time-out exceeded", 0, {}},
  };
  ASSERT_EQ(report.nodes.size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    const TestSearchNode& node = report.nodes[i];
    const Case& c = cases[i];
    EXPECT_EQ(node.slot, c.slot);
    EXPECT_EQ(node.label, std::to_string(c.slot) + " (Vexa)");
    EXPECT_EQ(node.answered, c.answered) << c.slot;
    EXPECT_EQ(node.statusText, c.status) << c.slot;
    EXPECT_EQ(node.totalResults, c.total) << c.slot;
    EXPECT_EQ(node.titles, c.titles) << c.slot;
  }
  EXPECT_GE(report.nodes[2].elapsedMs, 300);
  EXPECT_FALSE(report.AllAnswered());
  std::vector<std::string> lines = TestSearchLines(report);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0].rfind("Node 0 (Vexa) http://" + server.HostPort() +
                               "/search.cgi: Answered with fewer items than asked for, ",
                           0),
            0u)
      << lines[0];
  EXPECT_TRUE(lines[0].ends_with(" ms, 5 results")) << lines[0];
  EXPECT_EQ(lines[1], "    First");
  auto has = [&](const std::string& text) {
    return std::find(lines.begin(), lines.end(), text) != lines.end();
  };
  EXPECT_TRUE(has("Node #3: timeout waiting for response.  Timeout period = 300 ms"));
  // The query as the search program sends it, matching all words as the settings say.
  ASSERT_FALSE(server.RequestTargets().empty());
  EXPECT_NE(server.RequestTargets()[0].find("vexa_query=c%2B%2B%20garden"), std::string::npos)
      << server.RequestTargets()[0];
  EXPECT_NE(server.RequestTargets()[0].find("vexa_and=1"), std::string::npos);
  EXPECT_FALSE(session->flags.verified);
  EXPECT_EQ(session->verifyStatus[0], kNodeNotRun);
  EXPECT_TRUE(desktop.boxes.empty());
  EXPECT_EQ(JoinAbandonedWorkers(10s), 0);
}

TEST(VerificationSummaryLine, TextAndLevelByStatus) {
  struct Case {
    Status status;
    int level;
    const char* text;
  } cases[] = {
      {kOk, 0, "Node #3: Verification is successful"},
      {kNodeNotRun, 1, "Node #3: Not unverified"},
      {kDescSendFailed, 2,
       "Node #3: Error sending HTTP GET request to  OpenSearch Description file server"},
      {kResponseNotRecognised, 2,
       "Node #3: Slave node did not return a recognised VexaSearchResponse/OpenSearchResponse "
       "format"},
      {kNodeTimeoutZero, 2, "Node #3: Timeout value is zero"},
      {kFewerItemsThanRequested, 2, "Node #3: Error encountered.  Error code: -9000"},
      {kNodeTimeoutExceeded, 2, "Node #3: Error encountered.  Error code: -5001"},
      {kResponseMalformed, 2, "Node #3: Error encountered.  Error code: -2006"},
      {7, 2, "Node #3: Error encountered.  Error code: 7"},
  };
  for (const Case& c : cases) {
    SummaryLine line = VerificationSummaryLine(3, c.status);
    EXPECT_EQ(line.text, c.text) << "status " << c.status;
    EXPECT_EQ(line.level, c.level) << "status " << c.status;
  }
}

TEST_F(PanelTest, VerificationPreferencesShowAndStoreThePanelState) {
  struct Case {
    int32_t debugMode;
    int32_t fileLogging;
    int expectedIndex;
    int chosenIndex;
    bool chosenLogging;
    int32_t storedDebugMode;
  } cases[] = {
      {0, 1, 1, 0, false, 1},
      {2, 0, 0, 1, true, 0},
      {1, 1, 0, -1, true, 1},  // nothing selected: the debug level stays
  };
  for (const Case& c : cases) {
    session->panel.panelDebugMode = c.debugMode;
    session->panel.fileLogging = c.fileLogging;
    VerificationPreferenceDialog dialog(*session);
    dialog.Open();
    EXPECT_EQ(dialog.debugLevelIndex, c.expectedIndex) << "debug mode " << c.debugMode;
    EXPECT_EQ(dialog.fileLogging, c.fileLogging != 0) << "debug mode " << c.debugMode;
    dialog.debugLevelIndex = c.chosenIndex;
    dialog.fileLogging = c.chosenLogging;
    dialog.Ok();
    EXPECT_EQ(session->panel.panelDebugMode, c.storedDebugMode) << "debug mode " << c.debugMode;
    EXPECT_EQ(session->panel.fileLogging, c.chosenLogging ? 1 : 0) << "debug mode " << c.debugMode;
  }
  // Cancel: the working copy is dropped.
  VerificationPreferenceDialog dialog(*session);
  dialog.Open();
  dialog.fileLogging = !dialog.fileLogging;
  EXPECT_EQ(session->panel.fileLogging, 1);
}

}  // namespace
}  // namespace quorix::panel::testing
