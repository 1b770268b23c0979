#include "panel/core/generation.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <regex>

#include "panel/core/fastcgi_units.h"
#include "panel/core/main_flow.h"
#include "panel/core/settings_flows.h"
#include "panel_fixture.h"
#include "tests/support/cgi_runner.h"

namespace quorix::panel::testing {
namespace {

// The names in `folder`, sorted.
std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

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
  EXPECT_EQ(ReadWholeFile(out + "/quorix-results.js"), "'use strict';\n");
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
            (std::vector<std::string>{
                out + "/quorix.cgi", out + "/search_template.html", out + "/quorix-results.js",
                out + "/settings.qxdat", out + "/.htaccess", out + "/webserver/lighttpd.conf",
                out + "/webserver/nginx.conf", out + "/webserver/quorix-fastcgi.service",
                out + "/webserver/quorix-fastcgi.socket", out + "/cache/", out + "/logs/"}));
  session->live.useCats = 1;
  EXPECT_EQ(RequiredFiles("/o", session->live)[4], "/o/vexa_cats.qxdat");

  // The second generation starts at the folder of the first.
  desktop.folderAnswers = {{FolderChoice::kCancelled, ""}};
  EXPECT_EQ(GenerateCgiFiles(*session), 1);
  EXPECT_EQ(desktop.folderStarts, (std::vector<std::string>{"", out}));
}

TEST_F(GenerationTest, ExistingFilesAskBeforeBeingReplaced) {
  for (const char* name : {"quorix.cgi", "search_template.html", "settings.qxdat", ".htaccess"})
    WriteWholeFile(out + "/" + name, "old");
  desktop.folderAnswers = {{FolderChoice::kChosen, out}};
  desktop.answers = {BoxAnswer::kNo, BoxAnswer::kNo, BoxAnswer::kYes, BoxAnswer::kNo};
  EXPECT_EQ(GenerateCgiFiles(*session), 0);
  EXPECT_EQ(desktop.Titles(), std::vector<std::string>(4, "Overwrite files?"));
  EXPECT_EQ(desktop.boxes[0].text,
            "\"" + out + "/quorix.cgi\" already exist and will be overwritten.  Continue?");
  EXPECT_EQ(desktop.boxes[3].text,
            "\"" + out + "/.htaccess\" already exist and will be overwritten.  Continue?");
  EXPECT_EQ(ReadWholeFile(out + "/quorix.cgi"), "old");
  EXPECT_EQ(ReadWholeFile(out + "/search_template.html"), "old");
  EXPECT_NE(ReadWholeFile(out + "/settings.qxdat"), "old");
  EXPECT_EQ(ReadWholeFile(out + "/.htaccess"), "old");
  EXPECT_EQ(desktop.filesCreated.size(), 1u);
}

// The search program opens its logs and cache relative to its own folder and
// cannot create folders there when run as a web user.
TEST_F(GenerationTest, CreatesTheFoldersItWritesIntoAndKeepsVisitorsOut) {
  session->live.logging = 1;
  session->live.logFileName = "./logs/searchwords.log";
  session->live.debugFileName = "debug/deeper/../../../escape/Quorix.log";  // leaves the folder
  mode_t previous = umask(077);
  desktop.folderAnswers = {{FolderChoice::kChosen, out}};
  int generated = GenerateCgiFiles(*session);
  umask(previous);
  ASSERT_EQ(generated, 0);
  for (const char* folder : {"/cache", "/logs"}) {
    std::filesystem::file_status status = std::filesystem::status(out + folder);
    EXPECT_TRUE(std::filesystem::is_directory(status)) << folder;
    EXPECT_EQ(status.permissions(), std::filesystem::perms(0755)) << folder;
  }
  EXPECT_FALSE(std::filesystem::exists(root + "/escape"));
  EXPECT_FALSE(std::filesystem::exists(out + "/debug"));

  // What each server's rules catch, read with the patterns the server would use.
  std::string htaccess = ReadWholeFile(out + "/.htaccess");
  std::smatch files, folders;
  ASSERT_TRUE(std::regex_search(
      htaccess, files,
      std::regex("<FilesMatch \"\\(\\?i\\)([^\"]+)\">\n +Require all denied\n</FilesMatch>")))
      << htaccess;
  ASSERT_TRUE(std::regex_search(htaccess, folders,
                                std::regex("\nRedirectMatch 404 \"\\(\\?i\\)([^\"]+)\"\n")))
      << htaccess;
  for (const char* line :
       {"\nOptions +ExecCGI\n", "\nAddHandler cgi-script .cgi\n", "\nDirectoryIndex quorix.cgi\n",
        "AllowOverride AuthConfig FileInfo Indexes Options=ExecCGI\n"})
    EXPECT_NE(htaccess.find(line), std::string::npos) << line;
  std::regex fileRule(files[1].str(), std::regex::icase);
  std::regex folderRule(folders[1].str(), std::regex::icase);
  // The lighttpd and nginx rules match the whole address below the prefix.
  std::regex urlRules[2];
  struct Snippet {
    const char* name;
    const char* denyRule;
    const char* cgiLine;
  } snippets[] = {
      {"lighttpd.conf", "=~ \"\\(\\?i\\)([^\"]+)\" \\{\n  url.access-deny = \\(\"\"\\)",
       "cgi.assign = (\".cgi\" => \"\")"},
      {"nginx.conf", "location ~\\* \"([^\"]+)\" \\{\n  deny all;",
       "fastcgi_pass unix:/run/fcgiwrap.socket;"},
  };
  for (int i = 0; i < 2; ++i) {
    std::string text = ReadWholeFile(out + "/webserver/" + snippets[i].name);
    std::smatch rule;
    ASSERT_TRUE(std::regex_search(text, rule, std::regex(snippets[i].denyRule))) << text;
    urlRules[i] = std::regex(rule[1].str(), std::regex::icase);
    EXPECT_NE(text.find(snippets[i].cgiLine), std::string::npos) << text;
    EXPECT_NE(text.find("/var/www/search: replace the prefix"), std::string::npos) << text;
  }
  struct Case {
    const char* path;
    bool denied;
  } cases[] = {
      {"/search/settings.qxdat", true},
      {"/search/vexa_cats.qxdat", true},
      {"/search/Quorix.LOG", true},
      {"/search/cache/", true},
      {"/search/cache", true},
      {"/search/cache/vexa_query=a", true},
      {"/search/logs/searchwords.log", true},
      {"/search/webserver/nginx.conf", true},
      {"/search/.htaccess", true},
      {"/search/quorix.cgi", false},
      {"/search/search_template.html", false},
      {"/search/quorix-results.js", false},
      {"/search/cachet.html", false},
      {"/cache/search/quorix.cgi", false},
      {"/search/my_settings.qxdat.html", false},
  };
  for (const Case& c : cases) {
    std::string name = std::filesystem::path(c.path).filename().string();
    bool apache = std::regex_search(name, fileRule) || std::regex_search(c.path, folderRule);
    EXPECT_EQ(apache, c.denied) << ".htaccess " << c.path;
    for (int i = 0; i < 2; ++i)
      EXPECT_EQ(std::regex_search(c.path, urlRules[i]), c.denied) << snippets[i].name << c.path;
  }
}

// systemd must read the chosen folder back unchanged from the units: quoted
// where it holds spaces, its specifiers (%) kept literal; the socket is named
// as systemd-escape --path names the folder.
TEST_F(GenerationTest, FastCgiUnitsNameTheFolderAsSystemdReadsIt) {
  struct Case {
    std::string folder, escaped, execStart, readWrite;
  } cases[] = {
      {"/var/www/search", "var-www-search", "\"/var/www/search/quorix.cgi\"",
       "\"-/var/www/search/cache\" \"-/var/www/search/logs\""},
      {"/srv/my site/", "srv-my\\x20site", "\"/srv/my site/quorix.cgi\"",
       "\"-/srv/my site/cache\" \"-/srv/my site/logs\""},
      {"/srv//.w/a-b_c:d", "srv-.w-a\\x2db_c:d", "\"/srv/.w/a-b_c:d/quorix.cgi\"",
       "\"-/srv/.w/a-b_c:d/cache\" \"-/srv/.w/a-b_c:d/logs\""},
      {"/.x/1%$ \xc3\xa9", "\\x2ex-1\\x25\\x24\\x20\\xc3\\xa9", "\"/.x/1%%$ \xc3\xa9/quorix.cgi\"",
       "\"-/.x/1%%$ \xc3\xa9/cache\" \"-/.x/1%%$ \xc3\xa9/logs\""},
  };
  const std::string vroot = root + "/units";
  bool verify = std::filesystem::exists("/usr/bin/systemd-analyze");
  if (verify) {
    std::filesystem::create_directories(vroot + "/lib/systemd");
    std::filesystem::create_directories(vroot + "/etc/systemd/system");
    std::filesystem::copy(
        "/lib/systemd/system", vroot + "/lib/systemd/system",
        std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks);
  }
  for (const Case& c : cases) {
    std::vector<UnitFile> units = FastCgiUnits(c.folder);
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[0].name, "webserver/quorix-fastcgi.service");
    EXPECT_EQ(units[1].name, "webserver/quorix-fastcgi.socket");
    EXPECT_EQ(EscapedPath(c.folder), c.escaped) << c.folder;
    for (const std::string& line :
         {"\nExecStart=" + c.execStart + "\n", "\nReadWritePaths=" + c.readWrite + "\n",
          std::string("\nStandardInput=socket\nStandardOutput=journal\n"),
          std::string("\nUser=www-data\nGroup=www-data\nNoNewPrivileges=yes\n"
                      "ProtectSystem=strict\nProtectHome=read-only\n"),
          std::string("\nPrivateTmp=yes\n")})
      EXPECT_NE(units[0].content.find(line), std::string::npos) << line << units[0].content;
    EXPECT_NE(units[1].content.find("\nListenStream=/run/quorix/" + c.escaped +
                                    ".sock\nSocketUser=www-data\n"),
              std::string::npos)
        << units[1].content;
    if (!verify) continue;
    // Verified in a copy of this system's units, with the program in place.
    std::string program = vroot + c.folder + "/quorix.cgi";
    std::filesystem::create_directories(vroot + c.folder);
    WriteWholeFile(program, "#!/bin/sh\n");
    std::filesystem::permissions(program, std::filesystem::perms(0755));
    for (const UnitFile& unit : units)
      WriteWholeFile(vroot + "/etc/systemd/system/" + unit.name.substr(10), unit.content);
    quorix::testing::ProcessResult run =
        quorix::testing::RunProcess("/usr/bin/systemd-analyze",
                                    {"verify", "--root=" + vroot, "--man=no",
                                     "quorix-fastcgi.service", "quorix-fastcgi.socket"},
                                    root, {{"PATH", "/usr/bin:/bin"}}, "");
    EXPECT_EQ(run.exitStatus, 0) << c.folder << run.errors;
    EXPECT_EQ(run.errors.find("quorix-fastcgi"), std::string::npos) << c.folder << run.errors;
    std::filesystem::remove_all(vroot + c.folder);
  }

  std::string spaced = root + "/my site";
  std::filesystem::create_directories(spaced);
  desktop.folderAnswers = {{FolderChoice::kChosen, spaced}};
  ASSERT_EQ(GenerateCgiFiles(*session), 0);
  // Generation writes them for the folder on the web server.
  for (const UnitFile& unit : FastCgiUnits(session->panel.siteFolder))
    EXPECT_EQ(ReadWholeFile(spaced + "/" + unit.name), unit.content) << unit.name;
}

TEST_F(GenerationTest, NotesWarnAboutLogsAndNameTheWritableFolders) {
  const std::string writable = "These folders must be writable by the web server's user:";
  const std::string install = "On the web server run: install -d -o www-data -g www-data -m 0750";
  auto units = [](const std::string& folder) {
    return "The FastCGI units in webserver/ run " + folder +
           "/quorix.cgi: replace the folder in them if the site lies elsewhere.";
  };
  const std::string relative = "\" is relative: it is taken from the CGI's folder.";
  const std::string inside =
      "\" lies inside the web root: give an absolute path outside the document root, or keep the "
      "rules that deny *.log.";
  struct Case {
    const char* name;
    std::string outputDir, logFile, debugFile;
    int logging, debugLogging;
    std::vector<std::string> notes;
  } cases[] = {
      {"logs off, only their folders",
       "/w",
       "./logs/searchwords.log",
       "./logs/Quorix.log",
       0,
       0,
       {writable + " /w/cache /w/logs", install + " /w/cache /w/logs", units("/w")}},
      {"relative log inside the folder",
       "/w",
       "./logs/searchwords.log",
       "",
       1,
       0,
       {"Log file \"./logs/searchwords.log" + relative,
        "Log file \"./logs/searchwords.log" + inside, writable + " /w/cache /w/logs",
        install + " /w/cache /w/logs", units("/w")}},
      {"relative debug file outside the folder, absolute log",
       "/w/s",
       "/var/log/quorix/s.log",
       "../private/d.log",
       1,
       1,
       {"Log file \"../private/d.log" + relative,
        writable + " /w/s/cache /var/log/quorix /w/private",
        install + " /w/s/cache /var/log/quorix /w/private", units("/w/s")}},
      {"a folder that needs quoting",
       "/my site",
       "q.log",
       "",
       0,
       0,
       {writable + " '/my site/cache' '/my site'", install + " '/my site/cache' '/my site'",
        units("/my site")}},
  };
  for (const Case& c : cases) {
    Config config = session->live;
    config.logFileName = c.logFile;
    config.debugFileName = c.debugFile;
    config.logging = c.logging;
    config.debugLogging = c.debugLogging;
    EXPECT_EQ(DeploymentNotes(c.outputDir, config), c.notes) << c.name;
  }
  desktop.folderAnswers = {{FolderChoice::kChosen, out}};
  ASSERT_EQ(GenerateCgiFiles(*session), 0);
  EXPECT_EQ(desktop.filesCreatedNotes, DeploymentNotes(session->panel.siteFolder, session->live));
}

TEST_F(GenerationTest, DecliningTheSettingsFileEndsSilently) {
  WriteWholeFile(out + "/settings.qxdat", "old");
  session->panel.outputDir = "/earlier";
  desktop.folderAnswers = {{FolderChoice::kChosen, out}};
  desktop.answers = {BoxAnswer::kNo};
  EXPECT_EQ(GenerateCgiFiles(*session), 1);
  EXPECT_EQ(session->panel.outputDir, "/earlier");
  EXPECT_EQ(ReadWholeFile(out + "/settings.qxdat"), "old");
  EXPECT_EQ(Entries(out), std::vector<std::string>{"settings.qxdat"});
  EXPECT_TRUE(desktop.filesCreated.empty());
}

TEST_F(GenerationTest, UnverifiedSettingsAskFirst) {
  session->flags.verified = false;
  desktop.answers = {BoxAnswer::kNo};
  EXPECT_EQ(GenerateCgiFiles(*session), 1);
  EXPECT_EQ(desktop.Titles(), std::vector<std::string>{"Settings not verified"});
  EXPECT_TRUE(desktop.folderStarts.empty());
}

// A file that cannot be written, or moved into place, leaves the output
// folder as it was: the replaced program is back, nothing new stays.
TEST_F(GenerationTest, AFailureLeavesTheFolderAsItWas) {
  session->panel.logFilePath = root + "/panel.log";
  struct Case {
    const char* name;
    std::function<void()> breakIt;
    std::string failure, logged;
  } cases[] = {
      {"shipped template missing",
       [&] { std::filesystem::remove(install + "/cgi files/search_template.html"); },
       install + "/cgi files/search_template.html: No such file or directory",
       "Could not copy \"search_template.html\" to \"" + out + "\"\n"},
      {"shipped script missing",
       [&] { std::filesystem::remove(install + "/cgi files/quorix-results.js"); },
       install + "/cgi files/quorix-results.js: No such file or directory",
       "Could not copy \"quorix-results.js\" to \"" + out + "\"\n"},
      {"a folder in the settings file's place",
       [&] { std::filesystem::create_directories(out + "/settings.qxdat/blocked"); },
       out + "/settings.qxdat: Is a directory",
       "Could not move the generated files into \"" + out + "\" (" + out +
           "/settings.qxdat: Is a directory)\n"},
  };
  for (const Case& c : cases) {
    WriteWholeFile(install + "/cgi files/search_template.html", "<html><!--VEXASEARCH--></html>\n");
    WriteWholeFile(install + "/cgi files/quorix-results.js", "'use strict';\n");
    WriteWholeFile(out + "/quorix.cgi", "old");
    c.breakIt();
    std::vector<std::string> before = Entries(out);
    desktop.folderAnswers = {{FolderChoice::kChosen, out}};
    desktop.answers = {BoxAnswer::kYes, BoxAnswer::kYes};
    std::string failure;
    EXPECT_EQ(GenerateCgiFiles(*session, failure), -1) << c.name;
    EXPECT_EQ(failure, c.failure) << c.name;
    EXPECT_EQ(ReadWholeFile(root + "/panel.log"), c.logged) << c.name;
    EXPECT_EQ(ReadWholeFile(out + "/quorix.cgi"), "old") << c.name;
    EXPECT_EQ(Entries(out), before) << c.name;
    EXPECT_EQ(Entries(root), (std::vector<std::string>{"install", "out", "panel.log"})) << c.name;
    std::filesystem::remove(root + "/panel.log");
  }
  EXPECT_TRUE(desktop.filesCreated.empty());

  desktop.folderAnswers = {{FolderChoice::kChosen, out}};
  desktop.answers = {BoxAnswer::kYes, BoxAnswer::kYes};
  GenerateCommand(*session);
  EXPECT_EQ(desktop.boxes.back().text, "There were errors copying files to the destination.\n" +
                                           out + "/settings.qxdat: Is a directory");
  EXPECT_EQ(desktop.boxes.back().title, "Settings not saved");
}

}  // namespace
}  // namespace quorix::panel::testing
