#include "panel/core/settings_flows.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "panel/core/main_flow.h"
#include "panel_fixture.h"

namespace quorix::panel::testing {
namespace {

constexpr char kStartCaption[] = "No ControlPanel settings loaded:";
constexpr char kStartText[] =
    "No configuration file chosen.\r\nPlease load a ControlPanel configuration file or create a "
    "new one.";

class SettingsFlowsTest : public PanelTest {
 protected:
  // A saved settings file holding one Vexa node and FormFormat 1.
  std::string SavedFile(const std::string& name = "saved.cpdat") {
    std::string path = root + "/" + name;
    WriteWholeFile(path,
                   "DEBUG = 0\r\nFormFormat = 1\r\nNODE0_DISABLED = 0\r\nNODE0_TYPE = 0\r\n"
                   "NODE0_STRICT_QUERY_SYNTAX = 0\r\nNODE0_TIMEOUT_MS = 5000\r\n"
                   "NODE0_VEXA_URL = \"http://node.example/search.cgi\"\r\n"
                   "ControlPanelDebugMode = 0\r\nControlPanelInstallDirectory = \"/srv/out\"\r\n");
    return path;
  }

  void LoadFile(const std::string& path) {
    desktop.fileAnswers.push_back({0, path});
    ASSERT_EQ(LoadSettingsFlow(*session), 0);
  }
};

TEST_F(SettingsFlowsTest, StartWithoutArgumentsHoldsNewDefaults) {
  StartUp(*session, {"QuorixControlPanel"});
  EXPECT_EQ(session->info.caption, "New default ControlPanel settings:");
  EXPECT_EQ(session->info.text,
            "New ControlPanel default values loaded.\r\nPlease remember to save this ControlPanel "
            "settings.");
  EXPECT_TRUE(session->flags.newDefaults);
  EXPECT_TRUE(session->flags.unsaved);
  EXPECT_FALSE(session->flags.settingsLoaded);
  EXPECT_TRUE(session->enabling.editCommands);
  EXPECT_TRUE(session->enabling.saveAs);
  EXPECT_FALSE(session->enabling.save);
  EXPECT_TRUE(desktop.boxes.empty());

  // Exit right away asks to save; Cancel keeps the window.
  desktop.answers = {BoxAnswer::kCancel};
  EXPECT_FALSE(ExitFlow(*session));
  ASSERT_EQ(desktop.boxes.size(), 1u);
  EXPECT_EQ(desktop.boxes[0].text,
            "You have not saved this settings.  Do you want to save your settings?");
  EXPECT_EQ(desktop.boxes[0].title, "Settings not saved");
  EXPECT_EQ(desktop.boxes[0].buttons, BoxButtons::kYesNoCancel);
  EXPECT_EQ(desktop.boxes[0].icon, BoxIcon::kQuestion);
}

TEST_F(SettingsFlowsTest, StartWithExistingFileAutoLoadsIt) {
  std::string path = SavedFile();
  StartUp(*session, {"QuorixControlPanel", "-c", path});
  EXPECT_EQ(session->info.caption, "ControlPanel settings auto-loaded:");
  EXPECT_EQ(session->info.text, path);
  EXPECT_TRUE(session->flags.settingsLoaded);
  EXPECT_FALSE(session->flags.newDefaults);
  EXPECT_TRUE(session->enabling.editCommands && session->enabling.saveAs && session->enabling.save);
  EXPECT_EQ(session->live.nodeCount, 1);
  EXPECT_EQ(session->live.formFormat, 1);
  EXPECT_EQ(session->panel.outputDir, "/srv/out");
}

TEST_F(SettingsFlowsTest, StartWithMissingFileStaysEmpty) {
  StartUp(*session, {"QuorixControlPanel", "-c", root + "/missing.cpdat"});
  ASSERT_EQ(desktop.boxes.size(), 1u);
  EXPECT_EQ(desktop.boxes[0].text,
            "Could not load config file.\n" + root + "/missing.cpdat: No such file or directory");
  EXPECT_EQ(desktop.boxes[0].title, "Failed to load config file");
  EXPECT_EQ(desktop.boxes[0].owner, BoxOwner::kNone);
  EXPECT_EQ(desktop.boxes[0].icon, BoxIcon::kExclamation);
  EXPECT_EQ(session->info.caption, kStartCaption);
  EXPECT_EQ(session->info.text, kStartText);
  EXPECT_FALSE(session->enabling.editCommands || session->enabling.saveAs ||
               session->enabling.save);
  EXPECT_FALSE(session->flags.settingsLoaded || session->flags.newDefaults);
  // Save as and Create CGI files are ignored in this state.
  RunMainCommand(*session, kCmdSaveAs);
  RunMainCommand(*session, kCmdGenerate);
  EXPECT_TRUE(desktop.fileCalls.empty());
  EXPECT_EQ(desktop.boxes.size(), 1u);
}

TEST_F(SettingsFlowsTest, DebugOptionOverridesTheLoadedValue) {
  std::string path = SavedFile();
  StartUp(*session, {"QuorixControlPanel", "-d", "1", "-c", path});
  EXPECT_TRUE(session->flags.settingsLoaded);
  EXPECT_EQ(session->panel.panelDebugMode, 1);
}

TEST_F(SettingsFlowsTest, SaveAsAppliesTheExtensionRule) {
  struct Case {
    std::string chosen, stored;
  } cases[] = {
      {"cfg/site", "cfg/site.cpdat"},         {"cfg/site.txt", "cfg/site.cpdat"},
      {"cfg.old/site", "cfg.old/site.cpdat"}, {"cfg/site.cpdat", "cfg/site.cpdat"},
      {"cfg/site.CPDAT", "cfg/site.cpdat"},   {"cfg/a.b.c", "cfg/a.b.cpdat"},
  };
  for (const Case& c : cases) EXPECT_EQ(WithSettingsExtension(c.chosen), c.stored) << c.chosen;

  std::filesystem::create_directories(root + "/cfg.old");
  NewSettings(*session);
  desktop.fileAnswers.push_back({0, root + "/cfg.old/site"});
  EXPECT_EQ(SaveSettingsAsFlow(*session), 0);
  EXPECT_TRUE(std::filesystem::exists(root + "/cfg.old/site.cpdat"));
  EXPECT_EQ(session->panel.configPath, root + "/cfg.old/site.cpdat");
  EXPECT_TRUE(session->flags.settingsLoaded);
  EXPECT_FALSE(session->flags.unsaved);
  EXPECT_TRUE(session->enabling.save);
  EXPECT_EQ(desktop.fileCalls[0].title, "Save file");
  EXPECT_EQ(desktop.fileCalls[0].mode, FileDialogMode::kSave);
}

TEST_F(SettingsFlowsTest, SaveAsFromTheMenuShowsThePathAndLeavesNewDefaults) {
  NewSettings(*session);
  desktop.fileAnswers.push_back({0, root + "/menu"});
  RunMainCommand(*session, kCmdSaveAs);
  EXPECT_FALSE(session->flags.newDefaults);
  EXPECT_EQ(session->info.text, root + "/menu.cpdat");
}

TEST_F(SettingsFlowsTest, SaveToTheLoadedFileAsksBeforeOverwriting) {
  std::string path = SavedFile();
  LoadFile(path);
  session->flags.unsaved = true;
  std::string before = ReadWholeFile(path);

  desktop.answers = {BoxAnswer::kNo};
  EXPECT_EQ(SaveSettingsFlow(*session), 1);
  EXPECT_TRUE(session->flags.unsaved);
  EXPECT_EQ(ReadWholeFile(path), before);
  ASSERT_EQ(desktop.boxes.size(), 1u);
  EXPECT_EQ(desktop.boxes[0].text,
            "\"" + path + "\" already exist and will be overwritten.  Continue?");
  EXPECT_EQ(desktop.boxes[0].title, "Overwrite files?");
  EXPECT_EQ(desktop.boxes[0].buttons, BoxButtons::kYesNo);

  desktop.answers = {BoxAnswer::kYes};
  EXPECT_EQ(SaveSettingsFlow(*session), 0);
  EXPECT_FALSE(session->flags.unsaved);
}

TEST_F(SettingsFlowsTest, SaveWithoutAFileReportsFailure) {
  NewSettings(*session);
  EXPECT_EQ(SaveSettingsFlow(*session), -1);
  ASSERT_EQ(desktop.boxes.size(), 1u);
  EXPECT_EQ(desktop.boxes[0].text, "Could not save config file.");
  EXPECT_EQ(desktop.boxes[0].title, "Failed to save config file");
  EXPECT_EQ(desktop.boxes[0].owner, BoxOwner::kMainWindow);
}

TEST_F(SettingsFlowsTest, SaveIntoAMissingFolderRetriesOnceThenReports) {
  NewSettings(*session);
  desktop.fileAnswers.push_back({0, root + "/no/such/folder/site"});
  EXPECT_EQ(SaveSettingsAsFlow(*session), 1);
  EXPECT_EQ(slept, std::vector<int>{2000});
  ASSERT_EQ(desktop.boxes.size(), 1u);
  EXPECT_EQ(desktop.boxes[0].text,
            "Could not save configuration to disk in file\n" + root +
                "/no/such/folder/site.cpdat: No such file or directory\nCheck that the directory "
                "exists.\nand that you have write access to this directory.\n");
  EXPECT_EQ(desktop.boxes[0].title, "Can't save to file");
  EXPECT_TRUE(session->flags.unsaved);
  EXPECT_FALSE(session->flags.settingsLoaded);
}

TEST_F(SettingsFlowsTest, LoadingAnotherFileAsksFirst) {
  std::string first = SavedFile("first.cpdat");
  LoadFile(first);
  session->live.formFormat = 0;

  desktop.answers = {BoxAnswer::kNo};
  EXPECT_EQ(LoadSettingsFlow(*session), 1);
  EXPECT_EQ(desktop.boxes.back().text,
            "\"" + first +
                "\" is already loaded!  Do you want to load another file and ignore all changes?");
  EXPECT_EQ(desktop.boxes.back().title, "Load another config file?");
  EXPECT_EQ(session->live.formFormat, 0);
  EXPECT_EQ(session->panel.configPath, first);
  EXPECT_EQ(desktop.fileCalls.size(), 1u);

  std::string second = SavedFile("second.cpdat");
  desktop.answers = {BoxAnswer::kYes};
  desktop.fileAnswers.push_back({0, second});
  EXPECT_EQ(LoadSettingsFlow(*session), 0);
  EXPECT_EQ(session->panel.configPath, second);
  EXPECT_EQ(session->info.caption, "ControlPanel settings file loaded:");
  EXPECT_EQ(session->info.text, second);
  EXPECT_EQ(desktop.fileCalls.back().title, "Open file");
}

TEST_F(SettingsFlowsTest, LoadKeepsValuesTheFileDoesNotName) {
  std::string path = root + "/partial.cpdat";
  WriteWholeFile(path, "DEBUG = 2\r\n");
  NewSettings(*session);
  session->live.formFormat = 1;
  desktop.fileAnswers.push_back({0, path});
  EXPECT_EQ(LoadSettingsFlow(*session), 0);
  EXPECT_EQ(session->live.formFormat, 1);
  EXPECT_EQ(session->live.debugMode, 2);
  EXPECT_FALSE(session->flags.unsaved);
  EXPECT_FALSE(session->flags.newDefaults);
}

// A failed load names the reason and leaves the loaded settings as they were.
TEST_F(SettingsFlowsTest, FailedLoadKeepsSettingsFlagsAndPath) {
  std::string good = SavedFile();
  struct Case {
    const char* name;
    std::string content, reason;
  } cases[] = {
      {"bad.cpdat", "FormFormat = 0\r\nNODE0_DISABLED = 0\r\nNODE0_VEXA_URL = \"not a url\"\r\n",
       "invalid node URL on line 3 of " + root + "/bad.cpdat"},
      {"binary.cpdat",
       std::string("\x7f"
                   "ELF\x02\x01\0\0\xff\xfe\n\0\0",
                   13),
       "no settings found in " + root + "/binary.cpdat"},
  };
  for (const Case& c : cases) {
    desktop.answers = {BoxAnswer::kYes};  // load another file
    LoadFile(good);
    session->flags.unsaved = true;
    std::string path = root + "/" + c.name;
    WriteWholeFile(path, c.content);
    desktop.answers = {BoxAnswer::kYes};
    desktop.fileAnswers.push_back({0, path});
    EXPECT_EQ(LoadSettingsFlow(*session), -1) << c.name;
    EXPECT_EQ(desktop.boxes.back().text, "Could not load config file.\n" + c.reason);
    EXPECT_EQ(desktop.boxes.back().title, "Failed to load config file");
    EXPECT_EQ(session->live.nodeCount, 1) << c.name;
    EXPECT_EQ(session->live.nodes[0].vexaHost, "node.example") << c.name;
    EXPECT_EQ(session->live.formFormat, 1) << c.name;
    EXPECT_TRUE(session->flags.settingsLoaded && session->flags.unsaved) << c.name;
    EXPECT_EQ(session->panel.configPath, good) << c.name;
    EXPECT_EQ(session->info.text, good) << c.name;
  }
}

TEST_F(SettingsFlowsTest, CancelledLoadChangesNothing) {
  NewSettings(*session);
  desktop.fileAnswers.push_back({1, ""});
  EXPECT_EQ(LoadSettingsFlow(*session), 1);
  EXPECT_TRUE(desktop.boxes.empty());
  EXPECT_TRUE(session->flags.newDefaults);
}

TEST_F(SettingsFlowsTest, FileChooserRetriesWithoutTheInitialName) {
  std::string path = "bad\nname";
  desktop.fileAnswers = {{12290, ""}, {0, "/chosen"}};
  EXPECT_EQ(ChooseFile(desktop, FileDialogMode::kSave, path, SettingsFileFilter()), 0);
  ASSERT_EQ(desktop.fileCalls.size(), 2u);
  EXPECT_EQ(desktop.fileCalls[0].initialPath, "bad\nname");
  EXPECT_EQ(desktop.fileCalls[1].initialPath, "");
  EXPECT_EQ(path, "/chosen");

  desktop.fileAnswers = {{12290, ""}, {12290, ""}};
  EXPECT_EQ(ChooseFile(desktop, FileDialogMode::kOpen, path, SettingsFileFilter()), 12290);
}

TEST_F(SettingsFlowsTest, NewAfterALoadFollowsTheAnswer) {
  struct Case {
    const char* name;
    std::vector<BoxAnswer> answers;
    std::vector<FileDialogAnswer> files;
    bool defaultsApplied;
  } cases[] = {
      {"cancel", {BoxAnswer::kCancel}, {}, false},
      {"yes, save dialog cancelled", {BoxAnswer::kYes}, {{1, ""}}, false},
      {"yes, save dialog failed", {BoxAnswer::kYes}, {{12290, ""}, {12290, ""}}, true},
      {"no", {BoxAnswer::kNo}, {}, true},
  };
  for (const Case& c : cases) {
    SetUp();
    std::string path = SavedFile();
    LoadFile(path);
    desktop.boxes.clear();
    desktop.answers.assign(c.answers.begin(), c.answers.end());
    desktop.fileAnswers.assign(c.files.begin(), c.files.end());
    NewSettings(*session);
    EXPECT_EQ(desktop.boxes[0].text,
              "You have loaded a ControlPanel configuration file previously.\nDo you want to save "
              "all changes first before creating a new default ControlPanel configuration file?")
        << c.name;
    EXPECT_EQ(desktop.boxes[0].title, "ControlPanel configuration file loaded") << c.name;
    EXPECT_EQ(desktop.boxes[0].icon, BoxIcon::kNone) << c.name;
    if (c.defaultsApplied) {
      EXPECT_EQ(session->live.nodeCount, 0) << c.name;
      EXPECT_EQ(session->panel.configPath, "") << c.name;
      EXPECT_FALSE(session->enabling.save) << c.name;
      EXPECT_TRUE(session->flags.unsaved && session->flags.newDefaults) << c.name;
      EXPECT_FALSE(session->flags.settingsLoaded) << c.name;
      EXPECT_EQ(session->panel.outputDir, "/srv/out") << c.name;
    } else {
      EXPECT_EQ(session->live.nodeCount, 1) << c.name;
      EXPECT_EQ(session->panel.configPath, path) << c.name;
      EXPECT_TRUE(session->flags.settingsLoaded) << c.name;
      EXPECT_FALSE(session->flags.unsaved) << c.name;
    }
    TearDown();
  }
}

TEST_F(SettingsFlowsTest, ExitAnswers) {
  // Yes, then the save dialog is cancelled: the window stays, still unsaved.
  NewSettings(*session);
  desktop.answers = {BoxAnswer::kYes};
  desktop.fileAnswers = {{1, ""}};
  EXPECT_FALSE(ExitFlow(*session));
  EXPECT_TRUE(session->flags.unsaved);

  // Yes, saved: closes.
  desktop.answers = {BoxAnswer::kYes};
  desktop.fileAnswers = {{0, root + "/exit"}};
  EXPECT_TRUE(ExitFlow(*session));
  EXPECT_FALSE(session->flags.unsaved);
  EXPECT_TRUE(std::filesystem::exists(root + "/exit.cpdat"));

  // Nothing unsaved: closes without a question.
  size_t shown = desktop.boxes.size();
  EXPECT_TRUE(ExitFlow(*session));
  EXPECT_EQ(desktop.boxes.size(), shown);

  // Yes, the save dialog fails: the second question decides.
  session->flags.unsaved = true;
  for (BoxAnswer exitAnyway : {BoxAnswer::kNo, BoxAnswer::kYes}) {
    desktop.answers = {BoxAnswer::kYes, exitAnyway};
    desktop.fileAnswers = {{12290, ""}, {12290, ""}};
    EXPECT_EQ(ExitFlow(*session), exitAnyway == BoxAnswer::kYes);
    EXPECT_EQ(desktop.boxes.back().text,
              "There were errors trying to save the configuration.  Do you want to exit anyway?");
    EXPECT_EQ(desktop.boxes.back().title, "Settings not saved");
  }

  // No: closes without saving.
  desktop.answers = {BoxAnswer::kNo};
  EXPECT_TRUE(ExitFlow(*session));
}

TEST_F(SettingsFlowsTest, MissingLanguageEntriesWarnButSave) {
  WriteWholeFile(install + "/cgi files/lang/English.vlang", LanguageFile(44));
  NewSettings(*session);
  desktop.fileAnswers.push_back({0, root + "/lang44"});
  EXPECT_EQ(SaveSettingsAsFlow(*session), 0);
  ASSERT_EQ(desktop.boxes.size(), 1u);
  EXPECT_EQ(desktop.boxes[0].text,
            "Missing text entries in VLANG file selected (English.vlang)\nCheck that the file "
            "contains all valid entries and is encoded in Unicode (UTF-16).\nContiuning with the "
            "current search files will result in some missing text on the search page.\nPlease "
            "correct the VLANG file used.");
  EXPECT_EQ(desktop.boxes[0].title, "Missing text in VLANG file");
  std::string saved = ReadWholeFile(root + "/lang44.cpdat");
  EXPECT_NE(saved.find("ControlPanelWarnWord = 1\r\nSTR_FORM_SEARCHFOR = \"Text 0\""),
            std::string::npos)
      << saved;
  EXPECT_NE(saved.find("STR_MORETHAN = \"Text 43\""), std::string::npos);
  EXPECT_EQ(saved.find("STR_CAT_SUMMARY"), std::string::npos);
}

TEST_F(SettingsFlowsTest, MissingLanguageFileAddsNothingSilently) {
  NewSettings(*session);
  session->live.languageFileName = "Klingon.vlang";
  desktop.fileAnswers.push_back({0, root + "/nolang"});
  EXPECT_EQ(SaveSettingsAsFlow(*session), 0);
  EXPECT_TRUE(desktop.boxes.empty());
  EXPECT_EQ(ReadWholeFile(root + "/nolang.cpdat").find("STR_"), std::string::npos);
}

TEST_F(SettingsFlowsTest, PanelPreferencesTravelWithTheFile) {
  NewSettings(*session);
  session->panel.outputDir = "/var/www/o\"ut";
  session->panel.fileLogging = 0;
  session->panel.panelDebugMode = 1;
  session->panel.warnWord = 0;
  desktop.fileAnswers.push_back({0, root + "/prefs"});
  ASSERT_EQ(SaveSettingsAsFlow(*session), 0);

  session->panel = PanelState{};
  session->panel.logFilePath = root + "/panel.log";
  desktop.answers = {BoxAnswer::kYes};
  desktop.fileAnswers.push_back({0, root + "/prefs.cpdat"});
  ASSERT_EQ(LoadSettingsFlow(*session), 0);
  EXPECT_EQ(session->panel.outputDir, "/var/www/o\"ut");
  EXPECT_EQ(session->panel.fileLogging, 0);
  EXPECT_EQ(session->panel.panelDebugMode, 1);
  EXPECT_EQ(session->panel.warnWord, 0);
}

TEST_F(SettingsFlowsTest, VerificationGateQuestions) {
  struct Case {
    bool verified, passed;
    const char* text;
    const char* title;
  } cases[] = {
      {false, false,
       "You have not verified your settings.  Do you want to continue saving your settings anyway?",
       "Settings not verified"},
      {true, false,
       "Verification was not successful.  Do you want to continue saving your settings anyway?",
       "Verification unsuccessful"},
  };
  for (const Case& c : cases) {
    session->flags.verified = c.verified;
    session->flags.verifyPassed = c.passed;
    for (BoxAnswer answer : {BoxAnswer::kNo, BoxAnswer::kYes}) {
      desktop.answers = {answer};
      EXPECT_EQ(VerificationGate(*session), answer == BoxAnswer::kYes) << c.title;
      EXPECT_EQ(desktop.boxes.back().text, c.text);
      EXPECT_EQ(desktop.boxes.back().title, c.title);
      EXPECT_EQ(desktop.boxes.back().icon, BoxIcon::kQuestion);
    }
  }
  session->flags.verified = session->flags.verifyPassed = true;
  size_t shown = desktop.boxes.size();
  EXPECT_TRUE(VerificationGate(*session));
  EXPECT_EQ(desktop.boxes.size(), shown);
}

TEST_F(SettingsFlowsTest, HelpFailureIsReported) {
  RunMainCommand(*session, kCmdHelp);
  EXPECT_EQ(desktop.helpPages.back(), install + "/HELP|index.html");
  desktop.helpOpens = false;
  RunMainCommand(*session, kCmdHelp);
  EXPECT_EQ(desktop.boxes.back().text,
            "Could not start your default internet browser\nto load the browser-based help files.");
  EXPECT_EQ(desktop.boxes.back().title, "No default browser");
}

}  // namespace
}  // namespace quorix::panel::testing
