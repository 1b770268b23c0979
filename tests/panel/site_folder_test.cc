// The folders of a generation: the output folder as the folder browser gives
// it, and the folder the search runs from on the web server, asked at the
// first generation, remembered, and named by the rules, the units and the notes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "panel/core/generation.h"
#include "panel/core/settings_flows.h"
#include "panel_fixture.h"

namespace quorix::panel::testing {
namespace {

class SiteFolderTest : public PanelTest {
 protected:
  void SetUp() override {
    PanelTest::SetUp();
    out = root + "/out";
    NewSettings(*session);
    session->flags.verified = session->flags.verifyPassed = true;
  }
  std::string out;
};

// The folder on the web server is asked at the first generation only; the
// rules, the units and the notes all name it; an unusable answer or a
// cancelled question stops the generation before anything is written.
TEST_F(SiteFolderTest, AskedOnceAndNamedEverywhere) {
  struct Case {
    std::string typed;  // empty: cancelled
    int result;
    std::string remembered;
  } cases[] = {
      {"/srv/our site/", 0, "/srv/our site"},
      {"search", 1, ""},
      {"/srv/$HOME", 1, ""},
      {"", 1, ""},
  };
  for (const Case& c : cases) {
    session->panel.siteFolder.clear();
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out);
    desktop.siteFolderAnswers = {c.typed};
    desktop.folderAnswers = {{FolderChoice::kChosen, out}};
    desktop.answers.assign(20, BoxAnswer::kYes);
    EXPECT_EQ(GenerateCgiFiles(*session), c.result) << c.typed;
    EXPECT_EQ(session->panel.siteFolder, c.remembered) << c.typed;
    if (c.result != 0) {
      EXPECT_FALSE(std::filesystem::exists(out + "/webserver")) << c.typed;
      continue;
    }
    std::string nginx = ReadWholeFile(out + "/webserver/nginx.conf");
    for (const char* line : {"SCRIPT_FILENAME \"/srv/our site/quorix.cgi\";",
                             "alias \"/srv/our site/quorix-results.js\";"})
      EXPECT_NE(nginx.find(line), std::string::npos) << line;
    EXPECT_EQ(desktop.filesCreatedNotes[1],
              "On the web server run: install -d -o www-data -g www-data -m 0750 "
              "'/srv/our site/cache' '/srv/our site/logs'");
    size_t asked = desktop.siteFolderPresets.size();
    desktop.folderAnswers = {{FolderChoice::kChosen, out}};
    desktop.answers.assign(20, BoxAnswer::kYes);  // every file is there now
    EXPECT_EQ(GenerateCgiFiles(*session), 0);
    EXPECT_EQ(desktop.siteFolderPresets.size(), asked) << "asked again";
  }
  EXPECT_EQ(desktop.siteFolderPresets.front(), "/var/www/search");
}

TEST_F(SiteFolderTest, OutputFolderBrowserOutcomes) {
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
