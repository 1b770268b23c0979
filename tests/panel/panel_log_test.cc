#include "panel/core/panel_log.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "panel_fixture.h"

namespace quorix::panel::testing {
namespace {

class PanelLogTest : public PanelTest {
 protected:
  void SetUp() override {
    PanelTest::SetUp();
    session->panel.logFilePath = root + "/QuorixControlPanel.log";
  }
  PanelLog& log() { return session->log; }
};

TEST_F(PanelLogTest, LevelsDecideWhatTheWindowShows) {
  log().SetUpWindow();
  session->flags.verifyPassed = true;
  for (int level = 0; level <= 6; ++level) log().Logf(level, "line %d", level);
  ASSERT_EQ(log().WindowLines().size(), 2u);
  EXPECT_EQ(log().WindowLines()[0].text, "line 0");
  EXPECT_EQ(log().WindowLines()[1].level, kLogError);
  EXPECT_FALSE(session->flags.verifyPassed);
  EXPECT_EQ(ReadWholeFile(session->panel.logFilePath),
            "line 0\nline 1\nline 2\nline 3\nline 4\nline 5\nline 6\n");

  session->panel.panelDebugMode = 1;
  log().SetUpWindow();
  for (int level = 0; level <= 6; ++level) log().Logf(level, "line %d", level);
  EXPECT_EQ(log().WindowLines().size(), 7u);

  EXPECT_EQ(LogLineColour(0), (Rgb{50, 150, 50}));
  EXPECT_EQ(LogLineColour(1), (Rgb{230, 100, 0}));
  EXPECT_EQ(LogLineColour(2), (Rgb{255, 0, 0}));
  EXPECT_EQ(LogLineColour(3), (Rgb{0, 0, 0}));
  EXPECT_EQ(LogRowBackground(0), (Rgb{200, 200, 200}));
  EXPECT_EQ(LogRowBackground(1), (Rgb{255, 255, 255}));
}

TEST_F(PanelLogTest, WithoutFileLoggingNothingIsWritten) {
  session->panel.fileLogging = 0;
  log().Logf(kLogFileOnly, "hello");
  EXPECT_FALSE(std::filesystem::exists(session->panel.logFilePath));
}

TEST_F(PanelLogTest, NoWindowStoresNothingButTheFileGetsTheLine) {
  session->flags.verifyPassed = true;
  log().Logf(kLogError, "outside");
  EXPECT_TRUE(log().WindowLines().empty());
  EXPECT_TRUE(session->flags.verifyPassed);
  EXPECT_EQ(ReadWholeFile(session->panel.logFilePath), "outside\n");
}

TEST_F(PanelLogTest, StoreLimitAndLineCut) {
  session->panel.fileLogging = 0;
  log().SetUpWindow();
  int shown = 0;
  log().onWindowLine = [&shown](const LogWindowLine&) { ++shown; };
  log().Logf(kLogFileOnly, "%s", std::string(300, 'x').c_str());
  log().Logf(kLogFileOnly, "%s", "");  // empty lines are not stored
  EXPECT_EQ(log().WindowLines()[0].text, std::string(255, 'x'));
  for (int i = 1; i < 1030; ++i) log().Logf(kLogFileOnly, "line %d", i);
  EXPECT_EQ(log().WindowLines().size(), 1024u);
  EXPECT_EQ(log().WindowLines().back().text, "line 1023");
  EXPECT_EQ(shown, 1024);

  log().CopyToClipboard(false, -1);
  EXPECT_TRUE(desktop.clipboard.starts_with(std::string(255, 'x') + "\r\nline 1\r\n"));
  EXPECT_TRUE(desktop.clipboard.ends_with("line 1023\r\n"));
}

TEST_F(PanelLogTest, ClipboardMessages) {
  log().SetUpWindow();
  log().Logf(kLogFileOnly, "first");
  log().Logf(kLogFileOnly, "second");
  log().CopyToClipboard(true, -1);
  ASSERT_EQ(desktop.boxes.size(), 1u);
  EXPECT_EQ(desktop.boxes[0].text, "You did not select a line to copy.");
  EXPECT_EQ(desktop.boxes[0].title, "No selection");

  log().CopyToClipboard(true, 1);
  EXPECT_EQ(desktop.clipboard, "second\r\n");

  desktop.clipboardResult = 1;  // the clipboard could not be opened: nothing said
  log().CopyToClipboard(false, -1);
  EXPECT_EQ(desktop.boxes.size(), 1u);
  desktop.clipboardResult = -1;
  log().CopyToClipboard(true, 0);
  EXPECT_EQ(desktop.boxes.back().text, "Failed to copy entire log content to clipboard");
  EXPECT_EQ(desktop.boxes.back().title, "Copy to clipboard error");
}

TEST_F(PanelLogTest, LogTimingFormat) {
  int64_t now = 1000;
  log().counter = [&now] { return now; };
  log().ticksPerMs = 1000;
  log().LogTiming(true, 3, "ignored");
  now = 4500;
  log().LogTiming(false, 3, "Node [%d]: Connect", 3);
  EXPECT_EQ(ReadWholeFile(session->panel.logFilePath), "3.50 ms - Node [3]: Connect\n");
}

TEST_F(PanelLogTest, UnwritableInstallLogsToTheUserStateFolder) {
  WriteWholeFile(root + "/file", "");
  PanelState state = InitialPanelState(root + "/file/install");  // cannot be written
  EXPECT_EQ(state.logFilePath, root + "/state/quorix/QuorixControlPanel.log");
  EXPECT_EQ(InitialPanelState(install).logFilePath, install + "/QuorixControlPanel.log");
  PanelLog own(state, session->flags, desktop);
  own.Logf(kLogFileOnly, "kept");
  EXPECT_EQ(ReadWholeFile(state.logFilePath), "kept\n");

  // A log file that cannot be written is reported once, as a whole line.
  session->panel.logFilePath = root + "/file/QuorixControlPanel.log";
  ::testing::internal::CaptureStdout();
  for (int i = 0; i < 3; ++i) log().Logf(kLogFileOnly, "lost %d", i);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "Failed to log to file \"" + session->panel.logFilePath +
                "\".  Check that you have permission writing to file.\n");
}

TEST_F(PanelLogTest, WithoutALockNothingIsLogged) {
  log().DisableLock();
  log().Logf(kLogError, "lost");
  EXPECT_FALSE(std::filesystem::exists(session->panel.logFilePath));
}

}  // namespace
}  // namespace quorix::panel::testing
