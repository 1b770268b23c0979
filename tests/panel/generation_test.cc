#include "panel/core/generation.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "panel/core/main_flow.h"
#include "panel/core/settings_flows.h"
#include "panel_fixture.h"

namespace quorix::panel::testing {
namespace {

class GenerationTest : public PanelTest {
 protected:
  void SetUp() override {
    PanelTest::SetUp();
    out = root + "/out";
    std::filesystem::create_directories(out);
    NewSettings(*session);
    session->flags.verified = session->flags.verifyPassed = true;
  }
  std::string out;
};

TEST_F(GenerationTest, CreatesTheFilesAndShowsTheList) {
  desktop.folderAnswers = {{FolderChoice::kChosen, out}};
  EXPECT_EQ(GenerateCgiFiles(*session), 0);
  EXPECT_EQ(ReadWholeFile(out + "/quorix.cgi"), "#!cgi\n");
  EXPECT_EQ(ReadWholeFile(out + "/search_template.html"), "<html><!--VEXASEARCH--></html>\n");
  EXPECT_TRUE(ReadWholeFile(out + "/settings.qxdat").starts_with("DEBUG = 0\r\n"));
  EXPECT_TRUE(desktop.boxes.empty());
  EXPECT_EQ(session->panel.outputDir, out);
  EXPECT_TRUE(session->flags.settingsLoaded);
  EXPECT_TRUE(session->flags.unsaved);  // generating is not saving
  EXPECT_EQ(session->info.caption, "Quorix CGI files created:");
  EXPECT_EQ(session->info.text, "Quorix CGI files have been created in:\r\n\r\n" + out +
                                    "\r\n\r\nThese files need to be copied to your web server.");
  ASSERT_EQ(desktop.filesCreated.size(), 1u);
  EXPECT_EQ(desktop.filesCreated[0],
            (std::vector<std::string>{out + "/quorix.cgi", out + "/search_template.html",
                                      out + "/settings.qxdat"}));
  EXPECT_EQ(RequiredFiles("/o", true).back(), "/o/vexa_cats.qxdat");

  // The second generation starts at the folder of the first.
  desktop.folderAnswers = {{FolderChoice::kCancelled, ""}};
  EXPECT_EQ(GenerateCgiFiles(*session), 1);
  EXPECT_EQ(desktop.folderStarts, (std::vector<std::string>{"", out}));
}

TEST_F(GenerationTest, ExistingFilesAskThreeTimes) {
  for (const char* name : {"quorix.cgi", "search_template.html", "settings.qxdat"})
    WriteWholeFile(out + "/" + name, "old");
  desktop.folderAnswers = {{FolderChoice::kChosen, out}};
  desktop.answers = {BoxAnswer::kNo, BoxAnswer::kNo, BoxAnswer::kYes};
  EXPECT_EQ(GenerateCgiFiles(*session), 0);
  EXPECT_EQ(desktop.Titles(),
            (std::vector<std::string>{"Overwrite files?", "Overwrite files?", "Overwrite files?"}));
  EXPECT_EQ(desktop.boxes[0].text,
            "\"" + out + "/quorix.cgi\" already exist and will be overwritten.  Continue?");
  EXPECT_EQ(ReadWholeFile(out + "/quorix.cgi"), "old");
  EXPECT_EQ(ReadWholeFile(out + "/search_template.html"), "old");
  EXPECT_NE(ReadWholeFile(out + "/settings.qxdat"), "old");
  EXPECT_EQ(desktop.filesCreated.size(), 1u);
}

TEST_F(GenerationTest, DecliningTheSettingsFileEndsSilently) {
  WriteWholeFile(out + "/settings.qxdat", "old");
  session->panel.outputDir = "/earlier";
  desktop.folderAnswers = {{FolderChoice::kChosen, out}};
  desktop.answers = {BoxAnswer::kNo};
  EXPECT_EQ(GenerateCgiFiles(*session), 1);
  EXPECT_EQ(session->panel.outputDir, "/earlier");
  EXPECT_EQ(ReadWholeFile(out + "/settings.qxdat"), "old");
  EXPECT_TRUE(std::filesystem::exists(out + "/quorix.cgi"));  // copies stay
  EXPECT_TRUE(desktop.filesCreated.empty());
}

TEST_F(GenerationTest, UnverifiedSettingsAskFirst) {
  session->flags.verified = false;
  desktop.answers = {BoxAnswer::kNo};
  EXPECT_EQ(GenerateCgiFiles(*session), 1);
  EXPECT_EQ(desktop.Titles(), std::vector<std::string>{"Settings not verified"});
  EXPECT_TRUE(desktop.folderStarts.empty());
}

TEST_F(GenerationTest, MissingShippedProgramFailsBeforeWriting) {
  std::filesystem::remove(install + "/cgi files/quorix.cgi");
  session->panel.logFilePath = root + "/panel.log";
  desktop.folderAnswers = {{FolderChoice::kChosen, out}};
  GenerateCommand(*session);
  EXPECT_TRUE(std::filesystem::is_empty(out));
  EXPECT_EQ(ReadWholeFile(root + "/panel.log"),
            "Could not copy \"quorix.cgi\" to \"" + out + "\"\n");
  EXPECT_EQ(desktop.boxes.back().text, "There were errors copying files to the destination.");
  EXPECT_EQ(desktop.boxes.back().title, "Settings not saved");
}

TEST_F(GenerationTest, SettingsFileThatCannotBeWritten) {
  std::filesystem::create_directories(out + "/settings.qxdat/blocked");
  session->panel.logFilePath = root + "/panel.log";
  desktop.folderAnswers = {{FolderChoice::kChosen, out}};
  desktop.answers = {BoxAnswer::kYes};
  EXPECT_EQ(GenerateCgiFiles(*session), -1);
  EXPECT_EQ(desktop.boxes.back().title, "Can't save to file");
  EXPECT_EQ(ReadWholeFile(root + "/panel.log"),
            "Could not copy \"settings.qxdat\" to \"" + out + "\"\n");
}

TEST_F(GenerationTest, FolderBrowserOutcomes) {
  struct Case {
    FolderChoice choice;
    std::string path;
    int result;
    std::vector<std::string> titles;
  } cases[] = {
      {FolderChoice::kCancelled, "", 1, {}},
      {FolderChoice::kFailed, "", -1, {"Failed to copy files"}},
      {FolderChoice::kNotFileSystem,
       "",
       -1,
       {"Invalid directory selected", "Failed to copy files"}},
      {FolderChoice::kChosen, "", -1, {"Failed to copy files"}},
  };
  for (const Case& c : cases) {
    desktop.boxes.clear();
    desktop.folderAnswers = {{c.choice, c.path}};
    EXPECT_EQ(GenerateCgiFiles(*session), c.result) << static_cast<int>(c.choice);
    EXPECT_EQ(desktop.Titles(), c.titles) << static_cast<int>(c.choice);
  }
  EXPECT_EQ(desktop.boxes[0].text, "Could not copy files to destination directory.");

  std::string folder;
  desktop.folderAnswers = {{FolderChoice::kChosen, "/" + std::string(300, 'x')}};
  EXPECT_EQ(BrowseForOutputFolder(*session, folder), 0);
  EXPECT_EQ(folder.size(), kOutputDirMax);
}

}  // namespace
}  // namespace quorix::panel::testing
