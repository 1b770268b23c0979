// The node list and the node dialog: adding a node by typing, the controls
// that follow the node type, refused input, the grey rows of disabled nodes,
// removing, editing by double click and the predefined descriptions.
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "panel/core/run_state.h"
#include "panel/ui/node_edit_dialog.h"
#include "panel/ui/node_list_dialog.h"
#include "tests/support/test_http_server.h"
#include "ui_harness.h"

namespace quorix::panelui::testing {

using namespace panel;

namespace {

template <typename T>
T* Child(QWidget* parent, const char* name) {
  T* child = parent->findChild<T*>(QString::fromLatin1(name));
  if (!child) qWarning("no child %s", name);
  return child;
}

// The button showing `buttonText` (its mnemonic marks left out).
QPushButton* Button(QWidget* parent, const char* buttonText) {
  for (QPushButton* button : parent->findChildren<QPushButton*>())
    if (button->text().remove(QLatin1Char('&')) == QString::fromLatin1(buttonText)) return button;
  qWarning("no button %s", buttonText);
  return nullptr;
}

void Click(QWidget* parent, const char* buttonText) {
  if (QPushButton* button = Button(parent, buttonText)) button->click();
}

void TypeInto(QLineEdit* edit, const QString& text) {
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, text);
}

// The node list dialog over `panel`, opened by its main-window button; `act`
// runs while it is open.
void WithNodeList(PanelHarness& panel, const std::function<void(NodeListDialog*)>& act) {
  OnNextModal([&](QWidget* modal) {
    auto* list = qobject_cast<NodeListDialog*>(modal);
    if (!list) {
      qWarning("the node list did not open");
      modal->close();
      return;
    }
    act(list);
    if (list->isVisible()) list->reject();
  });
  panel.window->Button(kCmdConfigureNodes)->click();
}

}  // namespace

class NodeDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void addNodeByTyping();
  void refusedTimeoutKeepsDialogOpen();
  void typeButtonsSwitchControls_data();
  void typeButtonsSwitchControls();
  void predefinedDescriptionFillsUrl();
  void disabledNodesAreGrey();
  void removeAndEditByDoubleClick();
  void urlCheckedWhileTypingAndTested();
  void cancelAsksBeforeDiscarding();
};

void NodeDialogTest::addNodeByTyping() {
  PanelHarness panel;
  panel.session->flags.unsaved = false;
  QStringList rows;
  QString caption;
  WithNodeList(panel, [&](NodeListDialog* list) {
    QCOMPARE(list->windowTitle(), QStringLiteral("Add/Remove Search Slave(s)"));
    QTreeWidget* view = list->List();
    QCOMPARE(view->headerItem()->text(0), QStringLiteral("Node (type)"));
    QCOMPARE(view->headerItem()->text(1), QStringLiteral("URL"));
    QCOMPARE(view->headerItem()->text(2), QStringLiteral("Timeout"));
    QCOMPARE(view->columnWidth(0), 130);  // room for "10 (OpenSearch)"
    QCOMPARE(view->columnWidth(1), 330);
    QCOMPARE(view->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(view->selectionBehavior(), QAbstractItemView::SelectRows);
    QVERIFY(list->findChild<QLabel*>() != nullptr);

    OnNextModal([&](QWidget* dialog) {
      caption = dialog->windowTitle();
      auto* url = Child<QLineEdit>(dialog, "nodeUrl");
      QVERIFY(url->isEnabled());
      QVERIFY(url->hasFocus());
      QVERIFY(!Child<QLineEdit>(dialog, "descriptionUrl")->isEnabled());
      QVERIFY(!Child<QPushButton>(dialog, "browse")->isEnabled());
      QVERIFY(Child<QCheckBox>(dialog, "enableNode")->isChecked());
      QVERIFY(Child<QRadioButton>(dialog, "vexaNode")->isChecked());
      auto* timeout = Child<QLineEdit>(dialog, "timeout");
      QCOMPARE(timeout->text(), QStringLiteral("10000"));
      QTest::keyClicks(url, QStringLiteral("http://127.0.0.1:8081/cgi-bin/search.cgi"));
      // Digits only: the letters are not taken.
      TypeInto(timeout, QStringLiteral("75x0a0"));
      QCOMPARE(timeout->text(), QStringLiteral("7500"));
      QTest::keyClicks(Child<QLineEdit>(dialog, "name"), QStringLiteral("Town council"));
      SaveShot(dialog, QStringLiteral("node-dialog"));
      Click(dialog, "OK");
    });
    Click(list, "Add");
    rows = ColumnTexts(view, 0) + ColumnTexts(view, 1) + ColumnTexts(view, 2);
    SaveShot(list, QStringLiteral("node-list"));
    Click(list, "OK");
  });
  QCOMPARE(caption, QStringLiteral("Add Search Slave"));
  QCOMPARE(rows, QStringList({QStringLiteral("0 (Vexa)"),
                              QStringLiteral("http://127.0.0.1:8081/cgi-bin/search.cgi"),
                              QStringLiteral("7500")}));
  const Config& live = panel.session->live;
  QCOMPARE(live.nodeCount, 1);
  QCOMPARE(QString::fromStdString(live.nodes[0].vexaHost), QStringLiteral("127.0.0.1:8081"));
  QCOMPARE(live.nodes[0].port, uint16_t(8081));
  QCOMPARE(live.nodes[0].timeoutMs, 7500);
  QCOMPARE(QString::fromStdString(live.nodes[0].name), QStringLiteral("Town council"));
  QVERIFY(panel.session->flags.unsaved);
}

void NodeDialogTest::refusedTimeoutKeepsDialogOpen() {
  PanelHarness panel;
  SeenBox seen;
  bool stayedOpen = false;
  WithNodeList(panel, [&](NodeListDialog* list) {
    OnNextModal([&](QWidget* dialog) {
      QTest::keyClicks(Child<QLineEdit>(dialog, "nodeUrl"),
                       QStringLiteral("http://www.example.com/search.cgi"));
      TypeInto(Child<QLineEdit>(dialog, "timeout"), QStringLiteral("180001"));
      AnswerNextBox(QMessageBox::Ok, &seen);
      Click(dialog, "OK");
      stayedOpen = dialog->isVisible();
      Click(dialog, "Cancel");
    });
    Click(list, "Add");
    QCOMPARE(list->List()->topLevelItemCount(), 0);
    Click(list, "OK");
  });
  QVERIFY(stayedOpen);
  QCOMPARE(seen.title, QStringLiteral("Invalid timeout value"));
  QCOMPARE(seen.icon, QMessageBox::Warning);
  QCOMPARE(panel.session->live.nodeCount, 0);
}

void NodeDialogTest::typeButtonsSwitchControls_data() {
  QTest::addColumn<bool>("openSearch");
  QTest::addColumn<QString>("nodeLabel");
  QTest::addColumn<QString>("descriptionLabel");
  QTest::newRow("OpenSearch") << true << "Node URL:"
                              << "OpenSearch Description URL (required):";
  QTest::newRow("Vexa") << false << "Node URL (required):"
                        << "OpenSearch Description URL:";
}

void NodeDialogTest::typeButtonsSwitchControls() {
  QFETCH(bool, openSearch);
  QFETCH(QString, nodeLabel);
  QFETCH(QString, descriptionLabel);
  PanelHarness panel;
  WithNodeList(panel, [&](NodeListDialog* list) {
    OnNextModal([&](QWidget* dialog) {
      // Away and back, so that either way is a click.
      Child<QRadioButton>(dialog, openSearch ? "vexaNode" : "openSearchNode")->click();
      Child<QRadioButton>(dialog, openSearch ? "openSearchNode" : "vexaNode")->click();
      QCOMPARE(Child<QLabel>(dialog, "nodeUrlLabel")->text().remove('&'), nodeLabel);
      QCOMPARE(Child<QLabel>(dialog, "descriptionUrlLabel")->text().remove('&'), descriptionLabel);
      QCOMPARE(Child<QLineEdit>(dialog, "nodeUrl")->isEnabled(), !openSearch);
      QCOMPARE(Child<QLineEdit>(dialog, "descriptionUrl")->isEnabled(), openSearch);
      QCOMPARE(Child<QPushButton>(dialog, "browse")->isEnabled(), openSearch);
      QCOMPARE(Child<QCheckBox>(dialog, "strictQuerySyntax")->isEnabled(), openSearch);
      if (openSearch) SaveShot(dialog, QStringLiteral("node-dialog-opensearch"));
      Click(dialog, "Cancel");
    });
    Click(list, "Add");
  });
}

void NodeDialogTest::predefinedDescriptionFillsUrl() {
  PanelHarness panel;
  QStringList titles, urls, numbers;
  QString filled;
  WithNodeList(panel, [&](NodeListDialog* list) {
    OnNextModal([&](QWidget* dialog) {
      Child<QRadioButton>(dialog, "openSearchNode")->click();
      OnNextModal([&](QWidget* browser) {
        QCOMPARE(browser->windowTitle(),
                 QStringLiteral("Browse predefined OpenSearch Description URLs"));
        auto* view = browser->findChild<QTreeWidget*>();
        QCOMPARE(view->headerItem()->text(2), QStringLiteral("OpenSearch Description URL"));
        QCOMPARE(view->columnWidth(0), 25);
        QVERIFY(view->columnWidth(1) > view->fontMetrics().horizontalAdvance(
                                           view->topLevelItem(0)->text(1)));  // titles shown whole
        numbers = ColumnTexts(view, 0);
        titles = ColumnTexts(view, 1);
        urls = ColumnTexts(view, 2);
        view->topLevelItem(0)->setSelected(true);
        SaveShot(browser, QStringLiteral("predefined-descriptions"));
        Click(browser, "Select");
      });
      Click(dialog, "Browse predefined OpenSearch Description URLs");
      filled = Child<QLineEdit>(dialog, "descriptionUrl")->text();
      Click(dialog, "OK");
    });
    Click(list, "Add");
    Click(list, "OK");
  });
  QCOMPARE(numbers, QStringList{QStringLiteral("1")});
  QCOMPARE(urls, QStringList{QStringLiteral("http://127.0.0.1:8082/opensearch.xml")});
  QVERIFY(!titles.isEmpty() && !titles[0].isEmpty());
  QCOMPARE(filled, QStringLiteral("http://127.0.0.1:8082/opensearch.xml"));
  QCOMPARE(panel.session->live.nodeCount, 1);
  QCOMPARE(panel.session->live.nodes[0].type, 1);
}

void NodeDialogTest::disabledNodesAreGrey() {
  PanelHarness panel;
  for (int slot = 0; slot < 3; ++slot)
    PutVexaNode(panel.session->live, slot, "node" + std::to_string(slot) + ".example",
                "/search.cgi", slot == 2);
  panel.session->flags.unsaved = false;
  QList<QColor> before, after;
  WithNodeList(panel, [&](NodeListDialog* list) {
    QTreeWidget* view = list->List();
    for (int row = 0; row < 3; ++row) before << view->topLevelItem(row)->foreground(0).color();
    view->setCurrentItem(view->topLevelItem(0));
    view->setFocus();
    // Disable through the list's popup menu, opened with Shift+F10.
    bool menuShown = false;
    QTimer::singleShot(50, [&menuShown] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (!menu) return;
      menuShown = true;
      QCOMPARE(menu->actions().size(), 2);
      QCOMPARE(menu->actions()[0]->text(), QStringLiteral("E&nable"));
      QCOMPARE(menu->actions()[1]->text(), QStringLiteral("&Disable"));
      menu->actions()[1]->trigger();
      menu->close();
    });
    QTest::keyClick(view, Qt::Key_F10, Qt::ShiftModifier);
    QVERIFY2(menuShown, "Shift+F10 did not open the popup menu");
    for (int row = 0; row < 3; ++row) after << view->topLevelItem(row)->foreground(0).color();
    SaveShot(list, QStringLiteral("node-list-disabled"));
    Click(list, "OK");
  });
  const QColor grey(175, 175, 175), black(0, 0, 0);
  QCOMPARE(before, QList<QColor>({black, black, grey}));
  QCOMPARE(after, QList<QColor>({grey, black, grey}));
  QVERIFY(panel.session->live.nodes[0].disabled);
  QVERIFY(panel.session->flags.unsaved);
}

void NodeDialogTest::removeAndEditByDoubleClick() {
  PanelHarness panel;
  for (int slot = 0; slot < 4; ++slot)
    PutVexaNode(panel.session->live, slot, "node" + std::to_string(slot) + ".example",
                "/search.cgi");
  QStringList urls;
  QString editCaption, editUrl;
  WithNodeList(panel, [&](NodeListDialog* list) {
    QTreeWidget* view = list->List();
    view->topLevelItem(0)->setSelected(true);
    view->topLevelItem(2)->setSelected(true);
    Click(list, "Remove");
    urls = ColumnTexts(view, 1);
    OnNextModal([&](QWidget* dialog) {
      editCaption = dialog->windowTitle();
      editUrl = Child<QLineEdit>(dialog, "nodeUrl")->text();
      Click(dialog, "Cancel");
    });
    QRect second = view->visualItemRect(view->topLevelItem(1));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, second.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, second.center());
    AnswerNextBox(QMessageBox::Yes);  // discard the removal
    Click(list, "Cancel");
  });
  QCOMPARE(urls, QStringList({QStringLiteral("http://node1.example/search.cgi"),
                              QStringLiteral("http://node3.example/search.cgi")}));
  QCOMPARE(editCaption, QStringLiteral("Edit Search Slave"));
  QCOMPARE(editUrl, QStringLiteral("http://node3.example/search.cgi"));
  // Cancel in the list drops the removal.
  QCOMPARE(panel.session->live.nodeCount, 4);
}

void NodeDialogTest::urlCheckedWhileTypingAndTested() {
  quorix::testing::TestHttpServer server;
  server.Answer("/search.cgi",
                quorix::testing::HttpAnswer(RssAnswer(1)).Delay(std::chrono::milliseconds(300)));
  PanelHarness panel;
  QStringList problems, testLines;
  QList<bool> okEnabled;
  bool busyShown = false, buttonsWaited = false;
  WithNodeList(panel, [&](NodeListDialog* list) {
    OnNextModal([&](QWidget* dialog) {
      auto* url = Child<QLineEdit>(dialog, "nodeUrl");
      auto* problem = Child<QLabel>(dialog, "nodeUrlProblem");
      QPushButton* ok = Button(dialog, "OK");
      auto note = [&] {
        problems << problem->text();
        okEnabled << ok->isEnabled();
      };
      note();
      QTest::keyClicks(url, QString::fromStdString("http://" + server.HostPort() + "/search.php"));
      note();
      for (int i = 0; i < 3; ++i) QTest::keyClick(url, Qt::Key_Backspace);
      QTest::keyClicks(url, QStringLiteral("cgi"));
      note();
      // The node is asked off the UI thread: a busy bar, the buttons waiting.
      Child<QPushButton>(dialog, "test")->click();
      auto* edit = qobject_cast<NodeEditDialog*>(dialog);
      busyShown = Child<QProgressBar>(dialog, "testBusy")->isVisible();
      buttonsWaited = !ok->isEnabled();
      QVERIFY(edit && edit->Testing());
      dialog->close();  // refused while the test runs
      QVERIFY(dialog->isVisible());
      QVERIFY(WaitFor([&] { return !edit->Testing(); }));
      QVERIFY(!Child<QProgressBar>(dialog, "testBusy")->isVisible());
      for (QListWidgetItem* item : Child<QListWidget>(dialog, "testLines")
                                       ->findItems(QStringLiteral("*"), Qt::MatchWildcard))
        testLines << item->text();
      SaveShot(dialog, QStringLiteral("node-dialog-test"));
      Child<QRadioButton>(dialog, "openSearchNode")->click();
      problems << Child<QLabel>(dialog, "descriptionUrlProblem")->text() << problem->text();
      okEnabled << ok->isEnabled();
      Click(dialog, "Cancel");
    });
    Click(list, "Add");
  });
  QCOMPARE(problems,
           QStringList({"Required", "Path must end in .cgi or .exe", "", "Required", ""}));
  QCOMPARE(okEnabled, QList<bool>({false, false, true, false}));
  QVERIFY(busyShown);
  QVERIFY(buttonsWaited);
  QVERIFY(!testLines.isEmpty());
  QCOMPARE(testLines.back(), QStringLiteral("Node #0: Verification is successful"));
  QCOMPARE(server.RequestCount(), size_t(1));
  QCOMPARE(panel.session->live.nodeCount, 0);
  QVERIFY(!panel.session->flags.verified);
}

void NodeDialogTest::cancelAsksBeforeDiscarding() {
  PanelHarness panel;
  PutVexaNode(panel.session->live, 0, "www.example.com", "/search.cgi");
  panel.session->live.nodeCount = 1;
  SeenBox declined, agreed;
  bool stayedOpen = false, closed = false;
  WithNodeList(panel, [&](NodeListDialog* list) {
    QTest::keyClick(list, Qt::Key_Escape);  // nothing changed: no question
    closed = !list->isVisible();
  });
  WithNodeList(panel, [&](NodeListDialog* list) {
    list->List()->topLevelItem(0)->setSelected(true);
    Click(list, "Remove");
    AnswerNextBox(QMessageBox::No, &declined);
    QTest::keyClick(list, Qt::Key_Escape);
    stayedOpen = list->isVisible();
    AnswerNextBox(QMessageBox::Yes, &agreed);
    Click(list, "Cancel");
  });
  QVERIFY(closed);
  QVERIFY(stayedOpen);
  QCOMPARE(declined.title, QStringLiteral("Discard changes"));
  QCOMPARE(agreed.title, QStringLiteral("Discard changes"));
  QCOMPARE(panel.session->live.nodeCount, 1);
}

QUORIX_UI_TEST(NodeDialogTest)

}  // namespace quorix::panelui::testing

#include "node_dialog_test.moc"
