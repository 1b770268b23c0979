// Creating the CGI files: from the main window (the verification question,
// the folder browser, the files-created dialog) and without a window (the
// headless mode of the built program), and the generated search program
// answering a query as a CGI.
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "panel/core/run_state.h"
#include "panel/core/settings_flows.h"
#include "panel/ui/folder_browser.h"
#include "tests/support/cgi_runner.h"
#include "tests/support/test_http_server.h"
#include "ui_harness.h"

namespace quorix::panelui::testing {

using namespace panel;
using quorix::testing::CgiBody;
using quorix::testing::CgiSandbox;
using quorix::testing::HttpAnswer;
using quorix::testing::ProcessResult;
using quorix::testing::RunProcess;
using quorix::testing::TestHttpServer;

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

}  // namespace

class GenerationTest : public QObject {
  Q_OBJECT

 private slots:
  void createFromTheMainWindow();
};

void GenerationTest::createFromTheMainWindow() {
  PanelHarness panel;
  std::string out = panel.scratch() + "/site";
  std::filesystem::create_directories(out);
  SeenBox gate;
  QString browserInstruction, listed, notes, caption;
  QStringList mnemonicProblems;
  AnswerNextBox(QMessageBox::Yes, &gate);
  QString sitePreset;
  // The folder on the web server, asked once: here the folder generated into.
  OnWindow([](QWidget* w) { return qobject_cast<QInputDialog*>(w) != nullptr; },
           [&](QWidget* window) {
             auto* question = qobject_cast<QInputDialog*>(window);
             sitePreset = question->textValue();
             question->setTextValue(QString::fromStdString(out));
             question->accept();
           });
  OnWindow([](QWidget* w) { return qobject_cast<FolderBrowser*>(w) != nullptr; },
           [&](QWidget* window) {
             auto* browser = qobject_cast<FolderBrowser*>(window);
             browserInstruction = browser->findChild<QLabel*>()->text();
             OnWindow(
                 [](QWidget* w) { return w->objectName() == QStringLiteral("filesCreatedDialog"); },
                 [&](QWidget* created) {
                   caption = created->windowTitle();
                   listed = created->findChild<QPlainTextEdit*>(QStringLiteral("requiredFiles"))
                                ->toPlainText();
                   notes = created->findChild<QPlainTextEdit*>(QStringLiteral("deploymentNotes"))
                               ->toPlainText();
                   mnemonicProblems = MnemonicProblems(created);
                   SaveShot(created, QStringLiteral("files-created"));
                   for (QPushButton* button : created->findChildren<QPushButton*>())
                     if (button->text().remove('&') == QStringLiteral("OK")) button->click();
                 });
             browser->Chooser()->setDirectory(QString::fromStdString(out));
             SaveShot(browser, QStringLiteral("folder-browser"));
             static_cast<QDialog*>(browser->Chooser())->accept();  // its Choose button
           });
  panel.window->Button(kCmdGenerate)->click();
  QCOMPARE(mnemonicProblems, QStringList());

  QCOMPARE(gate.title, QStringLiteral("Settings not verified"));
  QCOMPARE(sitePreset, QStringLiteral("/var/www/search"));
  QCOMPARE(panel.session->panel.siteFolder, out);
  QCOMPARE(gate.buttons, QMessageBox::Yes | QMessageBox::No);
  QVERIFY(browserInstruction.startsWith(QStringLiteral("Select the output directory")));
  QCOMPARE(caption, QStringLiteral("Quorix CGI files successfully created"));
  QString folder = QString::fromStdString(out);
  QCOMPARE(listed, QStringList({folder + "/quorix.cgi", folder + "/search_template.html",
                                folder + "/quorix-results.js", folder + "/settings.qxdat",
                                folder + "/.htaccess", folder + "/webserver/lighttpd.conf",
                                folder + "/webserver/nginx.conf",
                                folder + "/webserver/quorix-fastcgi.service",
                                folder + "/webserver/quorix-fastcgi.socket", folder + "/cache/",
                                folder + "/logs/", QString()})
                       .join('\n'));
  QCOMPARE(notes,
           QString::fromStdString(
               "These folders must be writable by the web server's user: " + out + "/cache " + out +
               "/logs\n"
               "On the web server run: install -d -o www-data -g "
               "www-data -m 0750 " +
               out + "/cache " + out + "/logs\n" + "The FastCGI units in webserver/ run " + out +
               "/quorix.cgi: replace the folder in them if the site lies elsewhere.\n"));
  for (const char* name : {"/quorix.cgi", "/search_template.html", "/quorix-results.js",
                           "/settings.qxdat", "/.htaccess", "/cache", "/logs"})
    QVERIFY2(Exists(out + name), name);
  QCOMPARE(panel.session->panel.outputDir, out);
  QCOMPARE(panel.window->findChild<QGroupBox*>(QStringLiteral("infoGroup"))->title(),
           QStringLiteral("Quorix CGI files created:"));
  SaveShot(panel.window.get(), QStringLiteral("main-window-files-created"));
}

class HeadlessTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void verifiesGeneratesAndServes();
  void failedVerificationGeneratesNothing();
  void searchesTheNodes();
  void errors_data();
  void errors();

 private:
  // Saves the panel's defaults with one Vexa node at `host` as site.cpdat.
  std::string WriteSettings(const std::string& host);
  // Runs the copied program with `args`, without any environment (no display).
  ProcessResult Run(const std::vector<std::string>& args);

  std::unique_ptr<PanelHarness> panel_;
  std::string program_;
};

void HeadlessTest::init() {
  panel_ = std::make_unique<PanelHarness>();
  program_ = panel_->installDir() + "/QuorixControlPanel";
  std::filesystem::copy_file(QUORIX_PANEL_BINARY, program_);
}

void HeadlessTest::cleanup() { panel_.reset(); }

std::string HeadlessTest::WriteSettings(const std::string& host) {
  PanelSession& session = *panel_->session;
  PutVexaNode(session.live, 0, host, "/search.cgi");
  std::string path = panel_->scratch() + "/site.cpdat";
  if (SaveSettings(session, path, "") != 0) qWarning("could not save %s", path.c_str());
  return path;
}

ProcessResult HeadlessTest::Run(const std::vector<std::string>& args) {
  return RunProcess(program_, args, panel_->scratch(), {}, "", 60000);
}

void HeadlessTest::verifiesGeneratesAndServes() {
  TestHttpServer server;
  server.Answer("/search.cgi", HttpAnswer(RssAnswer(2)));
  std::string settings = WriteSettings(server.HostPort());
  std::string out = panel_->scratch() + "/www/search";  // created by the run
  ProcessResult run = Run({"-c", settings, "--generate", out, "--verify"});
  QVERIFY2(run.exitStatus == 0, run.errors.c_str());
  QVERIFY2(run.output.find("Node #0: Verification is successful") != std::string::npos,
           run.output.c_str());
  QVERIFY2(run.errors.find("Created " + out + "/settings.qxdat") != std::string::npos,
           run.errors.c_str());
  QCOMPARE(ReadAll(out + "/quorix.cgi"), ReadAll(QUORIX_BINARY));
  QCOMPARE(ReadAll(out + "/search_template.html"),
           ReadAll(panel_->installDir() + "/cgi files/search_template.html"));
  QVERIFY(Exists(out + "/.htaccess"));
  QVERIFY(Exists(out + "/webserver/quorix-fastcgi.socket"));
  QVERIFY(std::filesystem::is_directory(out + "/logs"));
  QVERIFY2(run.errors.find("must be writable by the web server's user: " + out + "/cache") !=
               std::string::npos,
           run.errors.c_str());
  std::string written = ReadAll(out + "/settings.qxdat");
  QVERIFY2(written.find("NODE0_VEXA_URL = \"http://" + server.HostPort() + "/search.cgi\"") !=
               std::string::npos,
           written.c_str());

  // The generated program answers a search with the node's results.
  size_t before = server.RequestCount();
  CgiSandbox sandbox(out + "/quorix.cgi");
  sandbox.WriteFile("settings.qxdat", written);
  sandbox.WriteFile("search_template.html", ReadAll(out + "/search_template.html"));
  ProcessResult page = sandbox.Get("vexa_query=test");
  QCOMPARE(page.exitStatus, 0);
  std::string body = CgiBody(page.output);
  QVERIFY2(body.find("2 results found.") != std::string::npos, body.c_str());
  QVERIFY2(body.find("<a href=\"http://node.example/0\">") != std::string::npos, body.c_str());
  QVERIFY2(body.find("<a href=\"http://node.example/1\">") != std::string::npos, body.c_str());
  QVERIFY(server.RequestCount() > before);
}

void HeadlessTest::failedVerificationGeneratesNothing() {
  uint16_t closedPort;
  {
    TestHttpServer gone;
    closedPort = gone.port();
  }
  std::string settings = WriteSettings("127.0.0.1:" + std::to_string(closedPort));
  std::string out = panel_->scratch() + "/out";
  ProcessResult run = Run({"-c", settings, "--generate", out, "--verify"});
  QCOMPARE(run.exitStatus, 1);
  QVERIFY2(run.output.find("Verification error!") != std::string::npos, run.output.c_str());
  QVERIFY2(run.errors.find("verification failed") != std::string::npos, run.errors.c_str());
  QVERIFY(!Exists(out + "/settings.qxdat"));

  // Without --verify the same settings are generated (the question answered Yes).
  run = Run({"-c", settings, "--generate", out});
  QVERIFY2(run.exitStatus == 0, run.errors.c_str());
  QVERIFY2(run.errors.find("Settings not verified") != std::string::npos, run.errors.c_str());
  QVERIFY(Exists(out + "/settings.qxdat"));
  // A second run replaces the files, answering the overwrite questions with Yes.
  run = Run({"-c", settings, "--generate", out});
  QCOMPARE(run.exitStatus, 0);
  QVERIFY2(run.errors.find("Overwrite files?") != std::string::npos, run.errors.c_str());
}

// --search asks the node and prints what it answered; a node that does not
// answer makes the exit status 1.
void HeadlessTest::searchesTheNodes() {
  TestHttpServer server;
  server.Answer("/search.cgi", HttpAnswer(RssAnswer(2)));
  std::string settings = WriteSettings(server.HostPort());
  // A query that looks like an option is a query all the same.
  ProcessResult run = Run({"-c", settings, "--search", "-d garden"});
  QVERIFY2(run.exitStatus == 0, run.errors.c_str());
  std::string node = "Node 0 (Vexa) http://" + server.HostPort() + "/search.cgi: Answered, ";
  QVERIFY2(run.output.rfind(node, 0) == 0, run.output.c_str());
  QVERIFY2(run.output.find(" ms, 2 results\n    Result 0\n    Result 1\n") != std::string::npos,
           run.output.c_str());
  QCOMPARE(server.RequestCount(), size_t(1));
  QVERIFY2(server.RequestTargets()[0].find("vexa_query=-d%20garden") != std::string::npos,
           server.RequestTargets()[0].c_str());

  server.Answer("/search.cgi", HttpAnswer("gone").Status(404));
  run = Run({"-c", settings, "--search", "garden"});
  QCOMPARE(run.exitStatus, 1);
  QVERIFY2(run.output.find(": Answer not recognised, ") != std::string::npos, run.output.c_str());
}

// Run without a display: each of these is answered before the application
// object exists.
void HeadlessTest::errors_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<int>("status");
  QTest::addColumn<QString>("message");
  QTest::newRow("missing settings file") << QStringList{"-c", "missing.cpdat", "--generate", "out"}
                                         << 2 << "could not load the settings file";
  QTest::newRow("not a settings file")
      << QStringList{"-c", "program.bin", "--generate", "out"} << 2 << "no settings found in";
  QTest::newRow("a file that cannot be moved into place")
      << QStringList{"-c", "site.cpdat", "--generate", "blocked"} << 2
      << "/blocked/settings.qxdat: Is a directory";
  QTest::newRow("no -c") << QStringList{"--generate", "out"} << 2
                         << "-c must name the settings file";
  QTest::newRow("no folder") << QStringList{"-c", "site.cpdat", "--generate"} << 2
                             << "--generate needs the output folder";
  QTest::newRow("unknown option") << QStringList{"-c", "site.cpdat", "--generate", "out", "--now"}
                                  << 2 << "unknown argument \"--now\"";
  QTest::newRow("folder is a file") << QStringList{"-c", "site.cpdat", "--generate", "site.cpdat"}
                                    << 2 << "cannot create the output folder";
  QTest::newRow("--help") << QStringList{"-c", "site.cpdat", "--help"} << 0
                          << "usage: QuorixControlPanel [-c SETTINGS.cpdat]";
  QTest::newRow("-h") << QStringList{"-h"} << 0 << "--generate DIR [--verify]";
  QTest::newRow("--version") << QStringList{"--version"} << 0
                             << "QuorixControlPanel " QUORIX_VERSION "\n";
  QTest::newRow("mistyped option") << QStringList{"-c", "site.cpdat", "--genrate", "out"} << 2
                                   << "unknown argument \"--genrate\"";
  QTest::newRow("--verify alone") << QStringList{"--verify"} << 2
                                  << "--generate needs the output folder";
  QTest::newRow("--search without a query")
      << QStringList{"-c", "site.cpdat", "--search"} << 2 << "--search needs the query";
  QTest::newRow("--search with a blank query")
      << QStringList{"-c", "site.cpdat", "--search", " "} << 2 << "--search needs the query";
  QTest::newRow("--search and --generate")
      << QStringList{"-c", "site.cpdat", "--search", "x", "--generate", "out"} << 2
      << "--search goes without --generate";
  QTest::newRow("--search without -c")
      << QStringList{"--search", "x"} << 2 << "-c must name the settings file";
  QTest::newRow("-d value like an option")
      << QStringList{"-d", "1", "-x"} << 2 << "unknown argument \"-x\"";
}

void HeadlessTest::errors() {
  QFETCH(QStringList, args);
  QFETCH(int, status);
  QFETCH(QString, message);
  WriteSettings("node.example");
  std::filesystem::copy_file(QUORIX_BINARY, panel_->scratch() + "/program.bin");
  std::filesystem::create_directories(panel_->scratch() + "/blocked/settings.qxdat/in-the-way");
  std::vector<std::string> arguments;
  for (const QString& arg : args) arguments.push_back(arg.toStdString());
  ProcessResult run = Run(arguments);
  QCOMPARE(run.exitStatus, status);
  const std::string& said = status == 0 ? run.output : run.errors;
  QVERIFY2(said.find(message.toStdString()) != std::string::npos, said.c_str());
  QVERIFY(!Exists(panel_->scratch() + "/out/settings.qxdat"));
}

QUORIX_UI_TEST(GenerationTest)
QUORIX_UI_TEST(HeadlessTest)

}  // namespace quorix::panelui::testing

#include "generation_test.moc"
