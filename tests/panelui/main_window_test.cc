// The main window: captions, buttons, menu items and their greying, the
// accelerators, the information area, the exit question and the About box.
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <iterator>
#include <vector>

#include "panel/core/run_state.h"
#include "panel/ui/launcher.h"
#include "panel/ui/test_search_box.h"
#include "tests/support/test_http_server.h"
#include "ui_harness.h"

namespace quorix::panelui::testing {

using namespace panel;

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void startsWithNewDefaults();
  void menuItemsAndAccelerators_data();
  void menuItemsAndAccelerators();
  void menusHoldTheirItemsInOrder();
  void failedAutoLoadLeavesOnlyLoadAndNew();
  void keysRunTheirCommands();
  void controlMDoesNothing();
  void exitAsksWhileUnsaved();
  void aboutBox();
  void launchersReportWhatCannotRun();
  void testSearchAsksTheNodes();
};

void MainWindowTest::startsWithNewDefaults() {
  PanelHarness panel;
  MainWindow& window = *panel.window;
  QCOMPARE(window.windowTitle(), QStringLiteral("Quorix ControlPanel"));
  const struct {
    int command;
    const char* text;
  } kButtons[] = {{kCmdConfigureNodes, "&Edit List of Slaves"},
                  {kCmdSearchOptions, "Configure Quorix Search &Options"},
                  {kCmdVerify, "&Verify Quorix Settings"},
                  {kCmdLoad, "&Load settings"},
                  {kCmdNew, "&New settings"},
                  {kCmdGenerate, "Create C&GI files"},
                  {kCmdExit, "E&xit"}};
  for (const auto& button : kButtons) {
    QVERIFY2(window.Button(button.command), button.text);
    QCOMPARE(window.Button(button.command)->text(), QString::fromLatin1(button.text));
    QVERIFY2(window.Button(button.command)->isEnabled(), button.text);
  }
  // New defaults have no file yet: only Save is greyed.
  QVERIFY(!window.Action(kCmdSave)->isEnabled());
  for (int command : {kCmdSaveAs, kCmdConfigureNodes, kCmdSearchOptions, kCmdGenerate, kCmdNew,
                      kCmdLoad, kCmdExit, kCmdHelp, kCmdAbout, kCmdVerificationPreferences})
    QVERIFY2(window.Action(command)->isEnabled(), qPrintable(window.Action(command)->text()));
  auto* info = window.findChild<QGroupBox*>(QStringLiteral("infoGroup"));
  QCOMPARE(info->title(), QStringLiteral("New default ControlPanel settings:"));
  QCOMPARE(window.findChild<QPlainTextEdit*>(QStringLiteral("infoText"))->toPlainText(),
           QStringLiteral("New ControlPanel default values loaded.\nPlease remember to save this "
                          "ControlPanel settings."));
  QVERIFY(panel.session->flags.unsaved);
  QCOMPARE(MnemonicProblems(&window), QStringList());
  SaveShot(&window, QStringLiteral("main-window"));
}

void MainWindowTest::menuItemsAndAccelerators_data() {
  QTest::addColumn<int>("command");
  QTest::addColumn<QString>("menu");
  QTest::addColumn<QString>("text");
  QTest::addColumn<QKeySequence>("keys");
  const QKeySequence none;
  QTest::newRow("new") << int(kCmdNew) << "&File"
                       << "&New settings\tCtrl-N" << QKeySequence(Qt::CTRL | Qt::Key_N);
  QTest::newRow("load") << int(kCmdLoad) << "&File"
                        << "L&oad settings\tCtrl-O" << QKeySequence(Qt::CTRL | Qt::Key_O);
  QTest::newRow("save") << int(kCmdSave) << "&File"
                        << "&Save loaded ControlPanel settings\tCtrl-S"
                        << QKeySequence(Qt::CTRL | Qt::Key_S);
  QTest::newRow("save as") << int(kCmdSaveAs) << "&File"
                           << "Save ControlPanel settings as" << none;
  // The text shows Ctrl-M, but no key carries it.
  QTest::newRow("generate") << int(kCmdGenerate) << "&File"
                            << "Create &Quorix CGI files\tCtrl-M" << none;
  QTest::newRow("exit") << int(kCmdExit) << "&File"
                        << "E&xit" << none;
  QTest::newRow("nodes") << int(kCmdConfigureNodes) << "&Configuration"
                         << "Configure slaves" << none;
  QTest::newRow("options") << int(kCmdSearchOptions) << "&Configuration"
                           << "Search options" << none;
  QTest::newRow("logging") << int(kCmdVerificationPreferences) << "&Preferences"
                           << "Verification logging" << none;
  QTest::newRow("help") << int(kCmdHelp) << "&Help"
                        << "Help\tF1" << QKeySequence(Qt::Key_F1);
  QTest::newRow("about") << int(kCmdAbout) << "&Help"
                         << "About ..." << none;
}

void MainWindowTest::menuItemsAndAccelerators() {
  QFETCH(int, command);
  QFETCH(QString, menu);
  QFETCH(QString, text);
  QFETCH(QKeySequence, keys);
  PanelHarness panel;
  QAction* action = panel.window->Action(command);
  QVERIFY(action);
  QCOMPARE(action->text(), text);
  QCOMPARE(action->shortcut(), keys);
  QMenu* owner = nullptr;
  for (QAction* top : panel.window->menuBar()->actions())
    if (top->menu() && top->menu()->actions().contains(action)) owner = top->menu();
  QVERIFY(owner);
  QCOMPARE(owner->title(), menu);
}

void MainWindowTest::menusHoldTheirItemsInOrder() {
  PanelHarness panel;
  const struct {
    const char* menu;
    std::vector<int> commands;
  } kMenus[] = {
      {"&File", {kCmdNew, kCmdLoad, kCmdSave, kCmdSaveAs, kCmdGenerate, kCmdExit}},
      {"&Configuration", {kCmdConfigureNodes, kCmdSearchOptions}},
      {"&Preferences", {kCmdVerificationPreferences}},
      {"&Help", {kCmdHelp, kCmdAbout}},
  };
  QList<QAction*> top = panel.window->menuBar()->actions();
  QCOMPARE(top.size(), qsizetype(std::size(kMenus)));
  for (size_t m = 0; m < std::size(kMenus); ++m) {
    QMenu* menu = top[m]->menu();
    QVERIFY2(menu, kMenus[m].menu);
    QCOMPARE(menu->title(), QString::fromLatin1(kMenus[m].menu));
    // No separators or other entries between the items.
    QList<QAction*> items = menu->actions();
    QCOMPARE(items.size(), qsizetype(kMenus[m].commands.size()));
    for (size_t i = 0; i < kMenus[m].commands.size(); ++i)
      QVERIFY2(items[i] == panel.window->Action(kMenus[m].commands[i]),
               qPrintable(QStringLiteral("%1 item %2: %3")
                              .arg(QString::fromLatin1(kMenus[m].menu))
                              .arg(i)
                              .arg(items[i]->text())));
  }
}

void MainWindowTest::failedAutoLoadLeavesOnlyLoadAndNew() {
  SeenBox seen;
  PanelHarness panel({"QuorixControlPanel", "-c", "/nonexistent/site.cpdat"},
                     [&](PanelHarness&) { AnswerNextBox(QMessageBox::Ok, &seen); });
  QCOMPARE(seen.title, QStringLiteral("Failed to load config file"));
  QCOMPARE(seen.text, QStringLiteral("Could not load config file.\n/nonexistent/site.cpdat: No "
                                     "such file or directory"));
  QCOMPARE(seen.icon, QMessageBox::Warning);
  QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  MainWindow& window = *panel.window;
  for (int command : {kCmdConfigureNodes, kCmdSearchOptions, kCmdVerify, kCmdGenerate})
    QVERIFY(!window.Button(command)->isEnabled());
  for (int command : {kCmdSave, kCmdSaveAs, kCmdConfigureNodes, kCmdSearchOptions, kCmdGenerate})
    QVERIFY2(!window.Action(command)->isEnabled(), qPrintable(window.Action(command)->text()));
  for (int command : {kCmdLoad, kCmdNew, kCmdExit}) QVERIFY(window.Button(command)->isEnabled());
  QCOMPARE(window.findChild<QGroupBox*>(QStringLiteral("infoGroup"))->title(),
           QStringLiteral("No ControlPanel settings loaded:"));
  QVERIFY(!window.findChild<QLineEdit*>(QStringLiteral("testQuery"))->isEnabled());
  SaveShot(&window, QStringLiteral("main-window-nothing-loaded"));

  // New settings brings the commands back.
  window.Button(kCmdNew)->click();
  QVERIFY(window.Button(kCmdVerify)->isEnabled());
  QVERIFY(window.Action(kCmdSaveAs)->isEnabled());
  QVERIFY(!window.Action(kCmdSave)->isEnabled());
}

void MainWindowTest::keysRunTheirCommands() {
  PanelHarness panel;
  QVERIFY(QTest::qWaitForWindowActive(panel.window.get()));
  QTest::keyClick(panel.window.get(), Qt::Key_F1);
  QCOMPARE(panel.openedUrls.size(), size_t(1));
  QCOMPARE(panel.openedUrls[0].toLocalFile(),
           QString::fromStdString(panel.installDir() + "/HELP/index.html"));

  panel.session->flags.unsaved = false;
  QTest::keyClick(panel.window.get(), Qt::Key_N, Qt::ControlModifier);
  QVERIFY2(panel.session->flags.unsaved, "Ctrl+N did not run New");

  // Ctrl+O opens the settings file chooser.
  OnNextModal([](QWidget* chooser) {
    QCOMPARE(chooser->windowTitle(), QStringLiteral("Open file"));
    chooser->close();
  });
  QTest::keyClick(panel.window.get(), Qt::Key_O, Qt::ControlModifier);
}

void MainWindowTest::controlMDoesNothing() {
  PanelHarness panel;
  QVERIFY(QTest::qWaitForWindowActive(panel.window.get()));
  QTest::keyClick(panel.window.get(), Qt::Key_M, Qt::ControlModifier);
  // Generation would ask whether to go on with unverified settings.
  QTest::qWait(200);
  QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

void MainWindowTest::exitAsksWhileUnsaved() {
  PanelHarness panel;
  SeenBox seen;
  AnswerNextBox(QMessageBox::Cancel, &seen, "exit-question");
  panel.window->Button(kCmdExit)->click();
  QCOMPARE(seen.title, QStringLiteral("Settings not saved"));
  QCOMPARE(seen.text, QStringLiteral("You have not saved this settings.  Do you want to save "
                                     "your settings?"));
  QCOMPARE(seen.icon, QMessageBox::Question);
  QCOMPARE(seen.buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  QVERIFY(panel.window->isVisible());

  // The title bar's close button asks the same; No closes without saving.
  AnswerNextBox(QMessageBox::No, &seen);
  panel.window->close();
  QVERIFY(!panel.window->isVisible());
}

void MainWindowTest::aboutBox() {
  PanelHarness panel;
  QString caption, text;
  OnNextModal([&](QWidget* about) {
    caption = about->windowTitle();
    text = about->findChild<QLabel*>(QStringLiteral("aboutText"))->text();
    QCOMPARE(MnemonicProblems(about), QStringList());
    SaveShot(about, QStringLiteral("about"));
    QTest::keyClick(about, Qt::Key_Escape);
  });
  panel.window->Action(kCmdAbout)->trigger();
  QCOMPARE(caption, QStringLiteral("Quorix ControlPanel"));
  QVERIFY2(text.startsWith(QStringLiteral("Quorix ControlPanel v1.0 (Build 1000)\n")),
           qPrintable(text));
  QCOMPARE(text.count(QLatin1Char('\n')), 2);
}

void MainWindowTest::launchersReportWhatCannotRun() {
  struct Case {
    const char* program;
    QStringList arguments;
    bool started;
  } cases[] = {
      {"true", {}, true},
      {"false", {}, false},
      {"/nonexistent/xdg-open", {}, false},
      {"sh", {"-c", "exit 3"}, false},
      {"sleep", {"5"}, true},  // still running when the wait ends
  };
  for (const Case& c : cases) {
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(StartAndCheck(QString::fromLatin1(c.program), c.arguments, 300), c.started);
    QVERIFY2(clock.elapsed() < 2000, c.program);
  }
  QCOMPARE(EditorCommand("code -w", "/t/a.html"), QStringList({"code", "-w", "/t/a.html"}));
  QVERIFY(EditorCommand("no-such-editor.desktop", "/t/a.html").isEmpty());

  // F1 without xdg-open on the path: the user is told.
  PanelHarness panel;
  panel.desktop.openUrl = nullptr;
  QByteArray path = qgetenv("PATH");
  qputenv("PATH", QByteArray::fromStdString(panel.scratch()));
  SeenBox seen;
  AnswerNextBox(QMessageBox::Ok, &seen);
  panel.window->Action(kCmdHelp)->trigger();
  qputenv("PATH", path);
  QCOMPARE(seen.title, QStringLiteral("No default browser"));

  // A title longer than the text still fits in the box's title bar.
  int boxWidth = 0, titleWidth = 0;
  OnNextModal([&](QWidget* box) {
    boxWidth = box->width();
    titleWidth = box->fontMetrics().horizontalAdvance(box->windowTitle());
    SaveShot(box, QStringLiteral("message-box-long-title"));
    qobject_cast<QDialog*>(box)->accept();
  });
  panel.desktop.MessageBox(BoxOwner::kMainWindow, "The filename must end in \".vlang\"\n",
                           "Filename does not end with .vlang", BoxIcon::kExclamation,
                           BoxButtons::kOk);
  QVERIFY2(boxWidth > titleWidth + 60, qPrintable(QString::number(boxWidth)));
}

// The test search asks the enabled nodes off the UI thread and lists each one.
void MainWindowTest::testSearchAsksTheNodes() {
  quorix::testing::TestHttpServer server;
  server.Answer("/search.cgi",
                quorix::testing::HttpAnswer(RssAnswer(4)).Delay(std::chrono::milliseconds(300)));
  PanelHarness panel;
  Config& live = panel.session->live;
  PutVexaNode(live, 0, server.HostPort(), "/search.cgi");
  PutVexaNode(live, 1, server.HostPort(), "/gone.cgi");
  PutVexaNode(live, 2, server.HostPort(), "/search.cgi", true);
  MainWindow& window = *panel.window;
  TestSearchBox* box = window.TestSearch();
  auto* query = window.findChild<QLineEdit*>(QStringLiteral("testQuery"));
  auto* search = window.findChild<QPushButton*>(QStringLiteral("testSearch"));
  QVERIFY(!search->isEnabled());  // nothing typed yet
  QTest::keyClicks(query, QStringLiteral("garden"));
  QTest::keyClick(query, Qt::Key_Return);

  QVERIFY(box->Running());
  QVERIFY(!search->isEnabled());
  QVERIFY(window.findChild<QProgressBar*>(QStringLiteral("testBusy"))->isVisible());
  QVERIFY(WaitFor([&] { return !box->Running(); }));
  QVERIFY(!window.findChild<QProgressBar*>(QStringLiteral("testBusy"))->isVisible());
  QVERIFY(search->isEnabled());
  auto* results = window.findChild<QTreeWidget*>(QStringLiteral("testResults"));
  QCOMPARE(ColumnTexts(results, 0).mid(0, 2), QStringList({"0 (Vexa)", "1 (Vexa)"}));
  QCOMPARE(ColumnTexts(results, 1).mid(0, 2), QStringList({"Answered", "Answer not recognised"}));
  QCOMPARE(ColumnTexts(results, 3).mid(0, 2), QStringList({"4", ""}));
  QCOMPARE(results->topLevelItem(0)->text(4), QStringLiteral("Result 0; Result 1; Result 2"));
  QVERIFY(results->topLevelItem(0)->text(2).endsWith(QStringLiteral(" ms")));
  QCOMPARE(window.findChild<QLabel*>(QStringLiteral("testSummary"))->text(),
           QStringLiteral("1 of 2 node(s) answered."));
  QCOMPARE(server.RequestCount(), size_t(2));
  QVERIFY(!panel.session->flags.verified);
  SaveShot(&window, QStringLiteral("main-window-test-search"));
}

QUORIX_UI_TEST(MainWindowTest)

}  // namespace quorix::panelui::testing

#include "main_window_test.moc"
