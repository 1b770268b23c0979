// The folder the search runs from on the web server: asked at the first
// generation, remembered, and named by the rules, the units and the notes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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

}  // namespace
}  // namespace quorix::panel::testing
