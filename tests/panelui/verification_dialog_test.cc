// The verification dialog against local test nodes: lines shown while the
// run goes on, buttons that wait for its end, the summary and its colours,
// the closing box and the clipboard.
#include "panel/ui/verification_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <memory>

#include "panel/core/run_state.h"
#include "tests/support/test_http_server.h"
#include "ui_harness.h"

namespace quorix::panelui::testing {

using namespace panel;
using namespace std::chrono_literals;
using quorix::testing::HttpAnswer;
using quorix::testing::TestHttpServer;

namespace {

struct RunSeen {
  QString caption;
  bool buttonsWaited = false;  // disabled while lines were already shown
  bool escapeIgnored = false;
  SeenBox finalBox;
  QStringList lines;
  QList<QColor> colours;
  QList<QColor> backgrounds;
  QString clipboard;
};

// Opens the verification dialog from the main window, waits for the run and
// its closing box, and records what the dialog showed.
RunSeen RunVerification(PanelHarness& panel, const char* shotName) {
  RunSeen seen;
  auto isDialog = [](QWidget* window) {
    return qobject_cast<VerificationDialog*>(window) != nullptr;
  };
  OnWindow(isDialog, [&](QWidget* window) {
    auto* dialog = qobject_cast<VerificationDialog*>(window);
    seen.caption = dialog->windowTitle();
    auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("ok"));
    // After the closing box: read the log, copy it, and close with OK. (Waiting
    // here instead would hold the box's own event loop.) Connected, and the box's
    // answer set, before anything waits: a run against a closed port can end
    // while the wait below lets events through.
    QObject::connect(dialog, &VerificationDialog::finished_run, dialog,
                     [&seen, dialog, ok, shotName] {
                       QTreeWidget* log = dialog->Log();
                       for (int row = 0; row < log->topLevelItemCount(); ++row) {
                         seen.lines << log->topLevelItem(row)->text(0);
                         seen.colours << log->topLevelItem(row)->foreground(0).color();
                         seen.backgrounds << log->topLevelItem(row)->background(0).color();
                       }
                       SaveShot(dialog, QString::fromLatin1(shotName));
                       dialog->findChild<QPushButton*>(QStringLiteral("copy"))->click();
                       seen.clipboard = QGuiApplication::clipboard()->text();
                       ok->click();
                     });
    AnswerNextBox(QMessageBox::Ok, &seen.finalBox);
    if (WaitFor([&] { return dialog->Log()->topLevelItemCount() > 0; }, 5000) &&
        dialog->Running()) {
      seen.buttonsWaited = !ok->isEnabled();
      dialog->reject();  // as Escape or the close button do
      seen.escapeIgnored = dialog->isVisible();
    }
  });
  panel.window->Button(kCmdVerify)->click();
  return seen;
}

int IndexOf(const QStringList& lines, const QString& line) {
  for (int i = 0; i < lines.size(); ++i)
    if (lines[i] == line) return i;
  return -1;
}

}  // namespace

class VerificationDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void passingNode();
  void failingNode();
  void noNodes();
};

void VerificationDialogTest::passingNode() {
  TestHttpServer server;
  // The answer waits a little, so the dialog is seen while the run goes on.
  server.Answer("/search.cgi", HttpAnswer(RssAnswer(1)).Delay(700ms));
  PanelHarness panel;
  PutVexaNode(panel.session->live, 0, server.HostPort(), "/search.cgi");
  RunSeen seen = RunVerification(panel, "verification-passed");

  QCOMPARE(seen.caption, QStringLiteral("Quorix ControlPanel Verification"));
  QVERIFY2(seen.buttonsWaited, "the buttons were usable during the run");
  QVERIFY2(seen.escapeIgnored, "Escape closed the dialog during the run");
  QCOMPARE(seen.finalBox.title, QStringLiteral("Verification successful!"));
  QCOMPARE(seen.finalBox.text, QStringLiteral("The verification was successful."));
  QCOMPARE(seen.finalBox.icon, QMessageBox::Warning);
  QVERIFY(!seen.lines.isEmpty());
  QCOMPARE(
      seen.lines.front(),
      QStringLiteral("Quorix ControlPanel v1.0 (Build 1000), Slave nodes verification started"));
  int summary = IndexOf(seen.lines, QStringLiteral("====================== Verification Summary "
                                                   "======================"));
  QVERIFY2(summary >= 0, qPrintable(seen.lines.join('\n')));
  int result = IndexOf(seen.lines, QStringLiteral("Node #0: Verification is successful"));
  QVERIFY2(result > summary, qPrintable(seen.lines.join('\n')));
  QCOMPARE(seen.colours[result], QColor(50, 150, 50));
  for (int row = 0; row < seen.backgrounds.size(); ++row)
    QCOMPARE(seen.backgrounds[row], row % 2 == 0 ? QColor(200, 200, 200) : QColor(Qt::white));
  QCOMPARE(seen.clipboard, seen.lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
  QVERIFY(panel.session->flags.verified);
  QVERIFY(panel.session->flags.verifyPassed);
  QCOMPARE(server.RequestCount(), size_t(1));
}

void VerificationDialogTest::failingNode() {
  uint16_t closedPort;
  {
    TestHttpServer gone;
    closedPort = gone.port();
  }
  PanelHarness panel;
  PutVexaNode(panel.session->live, 0, "127.0.0.1:" + std::to_string(closedPort), "/search.cgi");
  RunSeen seen = RunVerification(panel, "verification-failed");
  QCOMPARE(seen.finalBox.title, QStringLiteral("Verification error!"));
  int summary = IndexOf(seen.lines, QStringLiteral("====================== Verification Summary "
                                                   "======================"));
  QVERIFY(summary >= 0);
  QVERIFY(summary + 1 < seen.lines.size());
  QVERIFY2(seen.lines[summary + 1].startsWith(QStringLiteral("Node #0: ")),
           qPrintable(seen.lines[summary + 1]));
  QCOMPARE(seen.colours[summary + 1], QColor(255, 0, 0));
  QVERIFY(panel.session->flags.verified);
  QVERIFY(!panel.session->flags.verifyPassed);
}

void VerificationDialogTest::noNodes() {
  PanelHarness panel;
  RunSeen seen = RunVerification(panel, "verification-no-nodes");
  QCOMPARE(seen.finalBox.title, QStringLiteral("No search slaves"));
  QVERIFY(seen.lines.contains(QStringLiteral("You did not configure any search slaves.")));
  QVERIFY(!panel.session->flags.verified);
}

QUORIX_UI_TEST(VerificationDialogTest)

}  // namespace quorix::panelui::testing

#include "verification_dialog_test.moc"
