#include "panel/core/options_dialog.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "panel/core/settings_flows.h"
#include "panel_fixture.h"

namespace quorix::panel::testing {
namespace {

class OptionsDialogTest : public PanelTest {
 protected:
  std::string LangDir() const { return install + "/cgi files/lang"; }
};

TEST_F(OptionsDialogTest, NewDefaultsAreShown) {
  NewSettings(*session);
  OptionsDialog dialog(*session);
  dialog.Open();
  EXPECT_EQ(kFormFormatChoices[dialog.formFormatIndex].text, std::string("Advanced"));
  EXPECT_EQ(kDebugModeChoices[dialog.debugModeIndex].text, std::string("Off"));
  EXPECT_EQ(dialog.overRequestFactor, 2);
  EXPECT_EQ(dialog.cacheExpiry, "10");
  EXPECT_TRUE(dialog.vexaInfo);
  EXPECT_EQ(dialog.languages, std::vector<std::string>{"English.vlang"});
  EXPECT_EQ(dialog.languageIndex, 0);
  EXPECT_TRUE(desktop.boxes.empty());
}

TEST_F(OptionsDialogTest, CacheExpiryLimit) {
  struct Case {
    const char* text;
    bool accepted;
    int32_t stored;
  } cases[] = {{"100000", true, 100000}, {"100001", false, 0}, {"0", true, 0}, {"", true, 0}};
  for (const Case& c : cases) {
    OptionsDialog dialog(*session);
    dialog.Open();
    dialog.cacheExpiry = c.text;
    desktop.boxes.clear();
    EXPECT_EQ(dialog.Ok(), c.accepted) << c.text;
    if (c.accepted) {
      EXPECT_EQ(session->live.cacheValidPeriodMins, c.stored) << c.text;
      EXPECT_TRUE(desktop.boxes.empty()) << c.text;
    } else {
      ASSERT_EQ(desktop.boxes.size(), 1u) << c.text;
      EXPECT_EQ(desktop.boxes[0].text,
                "You have entered an invalid value for \"Cache Expiry\".  The maximum allowed is "
                "100,000 minutes.");
      EXPECT_EQ(desktop.boxes[0].title, "Cache expiry period too large");
      EXPECT_EQ(desktop.boxes[0].owner, BoxOwner::kDialog);
    }
  }
}

TEST_F(OptionsDialogTest, ListValuesAreStored) {
  OptionsDialog dialog(*session);
  dialog.Open();
  dialog.formFormatIndex = 2;  // "Do not generate"
  dialog.debugModeIndex = 1;   // "Normal"
  dialog.overRequestFactor = 7;
  dialog.defaultToAnd = dialog.timing = dialog.logging = dialog.debugLogging = true;
  dialog.logFileName = "s.log";
  dialog.debugFileName = "d.log";
  ASSERT_TRUE(dialog.Ok());
  const Config& live = session->live;
  EXPECT_EQ(live.formFormat, 0);
  EXPECT_EQ(live.debugMode, 1);
  EXPECT_EQ(live.overRequestFactor, 7);
  EXPECT_EQ(live.defaultToAnd + live.showSearchTime + live.logging + live.debugLogging, 4);
  EXPECT_EQ(live.logFileName, "s.log");
  EXPECT_EQ(live.debugFileName, "d.log");
  EXPECT_TRUE(session->flags.unsaved);

  EXPECT_EQ(ChoiceIndex(kFormFormatChoices, 7), -1);
  EXPECT_EQ(ChoiceValue(kDebugModeChoices, -1), -1);
  dialog.Open();
  dialog.debugModeIndex = -1;
  ASSERT_TRUE(dialog.Ok());
  EXPECT_EQ(session->live.debugMode, -1);
}

TEST_F(OptionsDialogTest, DebugModeAloneIsNoChange) {
  session->flags.verified = true;
  OptionsDialog dialog(*session);
  dialog.Open();
  dialog.debugModeIndex = 0;
  ASSERT_TRUE(dialog.Ok());
  EXPECT_EQ(session->live.debugMode, 2);
  EXPECT_FALSE(session->flags.unsaved);
  EXPECT_TRUE(session->flags.verified);

  dialog.Open();
  dialog.timing = true;
  ASSERT_TRUE(dialog.Ok());
  EXPECT_TRUE(session->flags.unsaved);
  EXPECT_FALSE(session->flags.verified);
}

TEST_F(OptionsDialogTest, RequestDebugSwitchIsOffUntilTicked) {
  NewSettings(*session);
  session->flags.verified = true;
  session->flags.unsaved = false;
  OptionsDialog dialog(*session);
  dialog.Open();
  EXPECT_FALSE(dialog.allowRequestDebug);
  dialog.allowRequestDebug = true;
  ASSERT_TRUE(dialog.Ok());
  EXPECT_EQ(session->live.allowRequestDebug, 1);
  EXPECT_TRUE(session->flags.unsaved);   // must reach the file
  EXPECT_TRUE(session->flags.verified);  // the nodes are as they were

  session->live.allowRequestDebug = 2;  // the search program obeys 1 alone
  dialog.Open();
  EXPECT_FALSE(dialog.allowRequestDebug);
  ASSERT_TRUE(dialog.Ok());
  EXPECT_EQ(session->live.allowRequestDebug, 0);
}

TEST_F(OptionsDialogTest, BrowserSearchNameAndDescriptionAreStoredUnverified) {
  NewSettings(*session);
  session->live.openSearchShortName = "Old";
  const std::pair<std::string, std::string> kEdits[] = {{"Riverton", "Town council pages"},
                                                        {"Old", ""}};
  for (const auto& [name, description] : kEdits) {
    session->flags.verified = true;
    session->flags.unsaved = false;
    OptionsDialog dialog(*session);
    dialog.Open();
    EXPECT_EQ(dialog.openSearchShortName, session->live.openSearchShortName);
    bool changed = name != session->live.openSearchShortName ||
                   description != session->live.openSearchDescription;
    dialog.openSearchShortName = name;
    dialog.openSearchDescription = description;
    ASSERT_TRUE(dialog.Ok());
    EXPECT_EQ(session->live.openSearchShortName, name);
    EXPECT_EQ(session->live.openSearchDescription, description);
    EXPECT_EQ(session->flags.unsaved, changed) << name;
    EXPECT_TRUE(session->flags.verified);  // the nodes are as they were
  }
}

TEST_F(OptionsDialogTest, LanguageList) {
  WriteWholeFile(LangDir() + "/deutsch.VLANG", "x");
  WriteWholeFile(LangDir() + "/Zulu.vlang", "x");
  WriteWholeFile(LangDir() + "/notes.txt", "x");
  EXPECT_EQ(ListLanguageFiles(LangDir()),
            (std::vector<std::string>{"deutsch.VLANG", "English.vlang", "Zulu.vlang"}));

  // A name that is not in the folder selects the first file, and OK stores it.
  session->live.languageFileName = "Missing.vlang";
  OptionsDialog dialog(*session);
  dialog.Open();
  EXPECT_EQ(dialog.languageIndex, 0);
  ASSERT_TRUE(dialog.Ok());
  EXPECT_EQ(session->live.languageFileName, "deutsch.VLANG");

  session->live.languageFileName = "zulu.vlang";
  dialog.Open();
  EXPECT_EQ(dialog.languageIndex, 2);
}

TEST_F(OptionsDialogTest, NoLanguageFilesDisablesTheList) {
  std::filesystem::remove(LangDir() + "/English.vlang");
  session->live.languageFileName = "Kept.vlang";
  OptionsDialog dialog(*session);
  dialog.Open();
  ASSERT_EQ(desktop.boxes.size(), 1u);
  EXPECT_EQ(desktop.boxes[0].text,
            "Could not find expected language files (.vlang) in \"lang\" folder.\nYou may need to "
            "re-install Vexa to recover the required files.");
  EXPECT_EQ(desktop.boxes[0].title, "Missing language files");
  EXPECT_FALSE(dialog.languageListEnabled);
  ASSERT_TRUE(dialog.Ok());
  EXPECT_EQ(session->live.languageFileName, "Kept.vlang");

  // New file and Edit file with an empty list only mark the settings unsaved.
  session->flags.unsaved = false;
  dialog.NewLanguageFile();
  EXPECT_TRUE(session->flags.unsaved);
  session->flags.unsaved = false;
  dialog.EditLanguageFile();
  EXPECT_TRUE(session->flags.unsaved);
  EXPECT_TRUE(desktop.textEditorOpens.empty());
}

TEST_F(OptionsDialogTest, FileExtensionRules) {
  struct Case {
    const char* name;
    const char* extension;
  } cases[] = {
      {"mytexts.VLANG", ".VLANG"},
      {"mytexts.txt", ".txt"},
      {"mytexts", ""},
      {"a.vlang?more.txt", ".vlang"},
      {"a.vlang\\b", ""},
      {"dir.d/file", ""},
      {"x.tar.gz", ".gz"},
  };
  for (const Case& c : cases) EXPECT_EQ(FileExtension(c.name), c.extension) << c.name;
}

TEST_F(OptionsDialogTest, NewLanguageFileNames) {
  OptionsDialog dialog(*session);
  dialog.Open();
  desktop.typedNames = {"", "mytexts.txt", "mytexts", "a.vlang\\b", "../up.vlang", "mytexts.VLANG"};
  dialog.NewLanguageFile();
  EXPECT_EQ(desktop.presetNames, std::vector<std::string>{"custom.vlang"});
  std::vector<std::string> titles = desktop.Titles();
  EXPECT_EQ(titles,
            (std::vector<std::string>{"No filename specified", "Filename does not end with .vlang",
                                      "Filename does not end with .vlang",
                                      "Filename does not end with .vlang", "Invalid filename"}));
  EXPECT_EQ(desktop.boxes[0].text, "You must specify a filename for the new language file\n");
  EXPECT_EQ(desktop.boxes[1].text, "The filename must end in \".vlang\"\n");
  EXPECT_EQ(ReadWholeFile(LangDir() + "/mytexts.VLANG"), englishFile);
  EXPECT_EQ(desktop.textEditorOpens, std::vector<std::string>{LangDir() + "/mytexts.VLANG"});
  EXPECT_EQ(dialog.languages[dialog.languageIndex], "mytexts.VLANG");
  EXPECT_TRUE(session->flags.unsaved);
  EXPECT_FALSE(std::filesystem::exists(install + "/cgi files/up.vlang"));
}

TEST_F(OptionsDialogTest, NewLanguageFileEdgeCases) {
  OptionsDialog dialog(*session);
  dialog.Open();
  // The part after "?" is not part of the name.
  desktop.typedNames = {"a.vlang?x"};
  dialog.NewLanguageFile();
  EXPECT_TRUE(std::filesystem::exists(LangDir() + "/a.vlang"));
  EXPECT_EQ(dialog.languages[dialog.languageIndex], "a.vlang");

  // A file copied onto itself is opened all the same.
  dialog.languageIndex = 1;  // English.vlang
  desktop.typedNames = {"English.vlang"};
  dialog.NewLanguageFile();
  EXPECT_EQ(ReadWholeFile(LangDir() + "/English.vlang"), englishFile);
  EXPECT_EQ(desktop.textEditorOpens.back(), LangDir() + "/English.vlang");

  // Cancel does nothing.
  session->flags.unsaved = false;
  dialog.NewLanguageFile();
  EXPECT_FALSE(session->flags.unsaved);

  // No text editor.
  desktop.textEditorStarts = false;
  desktop.typedNames = {"b.vlang"};
  dialog.NewLanguageFile();
  EXPECT_EQ(desktop.boxes.back().text,
            "Could not open text editor to edit VLANG file.\nYou can edit the following file "
            "manually:\n" +
                LangDir() + "/b.vlang");
  EXPECT_EQ(desktop.boxes.back().title, "Failed to open text editor");
  EXPECT_FALSE(session->flags.unsaved);
}

TEST_F(OptionsDialogTest, LanguageFilesInTheUserFolder) {
  std::string own = root + "/data/quorix/lang";
  std::filesystem::create_directories(own);
  WriteWholeFile(own + "/Mine.vlang", englishFile);
  OptionsDialog dialog(*session);
  dialog.Open();
  EXPECT_EQ(dialog.languages, (std::vector<std::string>{"English.vlang", "Mine.vlang"}));
  dialog.languageIndex = 1;
  dialog.EditLanguageFile();
  EXPECT_EQ(desktop.textEditorOpens, std::vector<std::string>{own + "/Mine.vlang"});

  // Where the user may not write, new files go to their own folder.
  std::filesystem::permissions(
      LangDir(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  bool readOnly = access(LangDir().c_str(), W_OK) != 0;
  if (readOnly) {
    desktop.typedNames = {"new.vlang"};
    dialog.NewLanguageFile();
    EXPECT_EQ(ReadWholeFile(own + "/new.vlang"), englishFile);
    EXPECT_EQ(dialog.languages[dialog.languageIndex], "new.vlang");
  }
  std::filesystem::permissions(LangDir(), std::filesystem::perms::owner_all);
  if (!readOnly) GTEST_SKIP() << "the lang folder stays writable for this user";
}

TEST_F(OptionsDialogTest, FailedNewFileSelectsNothingNew) {
  std::filesystem::create_directories(LangDir() + "/Zulu.vlang");  // a folder: cannot be written
  WriteWholeFile(LangDir() + "/Basque.vlang", englishFile);
  session->live.languageFileName = "English.vlang";
  OptionsDialog dialog(*session);
  dialog.Open();
  desktop.typedNames = {"Zulu.vlang"};
  dialog.NewLanguageFile();
  EXPECT_EQ(desktop.Titles(), std::vector<std::string>{"Failed to create language file"});
  EXPECT_EQ(desktop.boxes[0].text, "Could not create the new language file:\n" + LangDir() +
                                       "/Zulu.vlang\n\nCheck that you have permission writing "
                                       "to that folder.");
  EXPECT_TRUE(desktop.textEditorOpens.empty());
  EXPECT_EQ(dialog.languages[dialog.languageIndex], "English.vlang");
  EXPECT_FALSE(session->flags.unsaved);
}

TEST_F(OptionsDialogTest, EditLanguageFile) {
  OptionsDialog dialog(*session);
  dialog.Open();
  dialog.EditLanguageFile();
  EXPECT_EQ(desktop.textEditorOpens, std::vector<std::string>{LangDir() + "/English.vlang"});
  EXPECT_TRUE(session->flags.unsaved);
}

TEST_F(OptionsDialogTest, WindowsMeRefusesBothLanguageCommands) {
  session->os = {OsPlatform::kWin9x, 4, 90};
  OptionsDialog dialog(*session);
  dialog.Open();
  dialog.NewLanguageFile();
  dialog.EditLanguageFile();
  ASSERT_EQ(desktop.boxes.size(), 2u);
  EXPECT_EQ(desktop.boxes[0].title, "Cannot edit Unicode files in Win98/ME");
  EXPECT_TRUE(
      desktop.boxes[0].text.starts_with("You can not edit language files in Windows 98/ME.\n\n"));
  EXPECT_TRUE(desktop.boxes[0].text.ends_with("folder where Quorix ControlPanel\nis installed."));
  EXPECT_TRUE(desktop.boxes[1].text.ends_with("and edit the following file with it:\n\n" +
                                              LangDir() + "/English.vlang"));
  EXPECT_TRUE(desktop.textEditorOpens.empty());
  EXPECT_TRUE(desktop.presetNames.empty());
}

TEST_F(OptionsDialogTest, ModifyTemplateBeforeGeneration) {
  OptionsDialog dialog(*session);
  dialog.Open();
  dialog.ModifyTemplate();
  ASSERT_EQ(desktop.boxes.size(), 1u);
  EXPECT_EQ(desktop.boxes[0].icon, BoxIcon::kInformation);
  EXPECT_EQ(desktop.boxes[0].title, "Template file not found");
  EXPECT_TRUE(desktop.boxes[0].text.starts_with(
      "Could not find template file:\n/search_template.html\n\n"));
  EXPECT_TRUE(desktop.htmlEditorOpens.empty());
  EXPECT_FALSE(session->flags.unsaved);
}

TEST_F(OptionsDialogTest, ModifyTemplateWarnsAboutAWordProcessor) {
  std::string out = root + "/out";
  std::filesystem::create_directories(out);
  WriteWholeFile(out + "/search_template.html", "t");
  session->panel.outputDir = out;
  desktop.htmlEditor = "libreoffice-writer.desktop";

  OptionsDialog dialog(*session);
  dialog.Open();
  dialog.ModifyTemplate();  // warned, box not ticked: the chooser is shown
  EXPECT_EQ(desktop.wordWarnings, 1);
  ASSERT_EQ(desktop.htmlEditorOpens.size(), 1u);
  EXPECT_EQ(desktop.htmlEditorOpens[0], std::make_pair(out + "/search_template.html", true));
  EXPECT_TRUE(session->flags.unsaved);

  desktop.tickDoNotCheckAgain = true;
  dialog.ModifyTemplate();  // ticked: opened in that editor
  EXPECT_EQ(desktop.wordWarnings, 2);
  EXPECT_FALSE(desktop.htmlEditorOpens[1].second);
  ASSERT_TRUE(dialog.Ok());
  EXPECT_EQ(session->panel.warnWord, 0);

  dialog.Open();
  dialog.ModifyTemplate();  // no more warnings
  EXPECT_EQ(desktop.wordWarnings, 2);

  desktop.htmlEditorStarts = false;
  dialog.ModifyTemplate();
  EXPECT_EQ(desktop.boxes.back().title, "Failed to open with HTML editor");
  EXPECT_TRUE(desktop.boxes.back().text.ends_with("manually:\n" + out + "/search_template.html"));
}

TEST_F(OptionsDialogTest, ModifyTemplateEditorPaths) {
  std::string out = root + "/out";
  std::filesystem::create_directories(out);
  WriteWholeFile(out + "/search_template.html", "t");
  session->panel.outputDir = out;
  struct Case {
    bool editorKnown;
    bool starts;
    bool chooserShown;
    const char* failureTitle;  // empty: no box
  } cases[] = {
      {true, true, false, ""},
      {false, true, true, ""},  // no editor: the chooser, without the Word warning
      {true, false, false, "Failed to open with HTML editor"},
      {false, false, true, "Failed to open with HTML editor"},
  };
  for (const Case& c : cases) {
    desktop.htmlEditorKnown = c.editorKnown;
    desktop.htmlEditorStarts = c.starts;
    desktop.htmlEditorOpens.clear();
    desktop.boxes.clear();
    session->flags.unsaved = false;
    OptionsDialog dialog(*session);
    dialog.Open();
    dialog.ModifyTemplate();
    ASSERT_EQ(desktop.htmlEditorOpens.size(), 1u);
    EXPECT_EQ(desktop.htmlEditorOpens[0].second, c.chooserShown);
    EXPECT_EQ(desktop.Titles().empty() ? "" : desktop.Titles().back(), c.failureTitle);
    EXPECT_EQ(session->flags.unsaved, c.starts);
  }
  EXPECT_EQ(desktop.wordWarnings, 0);
}

TEST_F(OptionsDialogTest, WordProcessorNames) {
  struct Case {
    const char* application;
    bool suspected;
  } cases[] = {
      {"", true},
      {"libreoffice-writer.desktop", true},
      {"C:\\Program Files\\MSOHTMED.EXE", true},
      {"abiword.desktop", true},
      {"org.gnome.gedit.desktop", false},
      {"firefox-esr.desktop", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsWordProcessor(c.application), c.suspected) << c.application;
}

}  // namespace
}  // namespace quorix::panel::testing
