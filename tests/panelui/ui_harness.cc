#include "ui_harness.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLinearGradient>
#include <QMainWindow>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "panel/core/main_flow.h"
#include "panel/ui/widgets_common.h"

namespace quorix::panelui::testing {

std::map<std::string, TestFactory>& Registry() {
  static std::map<std::string, TestFactory> tests;
  return tests;
}

int RegisterTest(const char* name, TestFactory factory) {
  Registry()[name] = std::move(factory);
  return 0;
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quorix-ui-XXXXXX").string();
  if (mkdtemp(pattern.data())) path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code error;
  if (!path_.empty()) std::filesystem::remove_all(path_, error);
}

PanelHarness::PanelHarness(std::vector<std::string> args,
                           std::function<void(PanelHarness&)> beforeStart) {
  namespace fs = std::filesystem;
  fs::copy(QUORIX_PANEL_DIR, installDir(), fs::copy_options::recursive);
  fs::remove(installDir() + "/QuorixControlPanel");
  fs::create_directories(scratch());
  // The user's own folders lie inside the test's folder.
  qputenv("XDG_DATA_HOME", QByteArray::fromStdString(root_.path() + "/data"));
  qputenv("XDG_STATE_HOME", QByteArray::fromStdString(root_.path() + "/state"));
  desktop.openUrl = [this](const QUrl& url) {
    openedUrls.push_back(url);
    return true;
  };
  desktop.startProgram = [this](const QString& program, const QStringList& arguments) {
    startedPrograms.push_back(QStringList{program} + arguments);
    return true;
  };
  desktop.queryHtmlEditor = [this](std::string& application) {
    application = htmlEditor;
    return true;
  };
  session = std::make_unique<panel::PanelSession>(desktop, installDir());
  desktop.SetSession(session.get());
  window = std::make_unique<MainWindow>(*session, desktop);
  desktop.SetMainWindow(window.get());
  if (beforeStart) beforeStart(*this);
  panel::StartUp(*session, args);
  window->Refresh();
  window->adjustSize();
  CentreOnScreen(window.get());
  window->show();
  if (!QTest::qWaitForWindowExposed(window.get())) qWarning("main window not exposed");
}

PanelHarness::~PanelHarness() {
  // Leave without the exit question.
  session->flags.unsaved = false;
  window.reset();
}

void OnNextModal(std::function<void(QWidget*)> act, int timeoutMs) {
  OnModal(std::move(act), QApplication::activeModalWidget(), timeoutMs);
}

void OnModal(std::function<void(QWidget*)> act, QWidget* notThis, int timeoutMs) {
  QPointer<QWidget> before = notThis;
  auto* timer = new QTimer(qApp);
  auto* clock = new QElapsedTimer;
  clock->start();
  QObject::connect(timer, &QTimer::timeout, qApp, [=] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != before.data() && modal->isVisible()) {
      timer->stop();
      timer->deleteLater();
      delete clock;
      QPointer<QWidget> shown = modal;
      act(modal);
      // A failed check leaves the window open: close it so the test goes on.
      if (shown && shown->isVisible()) {
        if (auto* dialog = qobject_cast<QDialog*>(shown.data()))
          dialog->reject();
        else
          shown->close();
      }
      return;
    }
    if (clock->elapsed() > timeoutMs) {
      timer->stop();
      timer->deleteLater();
      delete clock;
      qWarning("no modal window appeared");
      QTest::qFail("no modal window appeared", __FILE__, __LINE__);
    }
  });
  timer->start(10);
}

void AnswerNextBox(QMessageBox::StandardButton button, SeenBox* seen, const char* shotName) {
  QWidget* current = QApplication::activeModalWidget();
  // A box already on the screen is the one meant.
  if (qobject_cast<QMessageBox*>(current)) current = nullptr;
  OnModal(
      [=](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) {
          qWarning("expected a message box, found %s", modal->metaObject()->className());
          modal->close();
          return;
        }
        if (seen) *seen = {box->windowTitle(), box->text(), box->icon(), box->standardButtons()};
        if (shotName) SaveShot(box, QString::fromLatin1(shotName));
        if (QAbstractButton* chosen = box->button(button))
          chosen->click();
        else
          box->reject();
      },
      current);
}

void OnWindow(std::function<bool(QWidget*)> match, std::function<void(QWidget*)> act,
              int timeoutMs) {
  auto* timer = new QTimer(qApp);
  auto* clock = new QElapsedTimer;
  clock->start();
  QObject::connect(timer, &QTimer::timeout, qApp, [=] {
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (!window->isVisible() || !match(window)) continue;
      timer->stop();
      timer->deleteLater();
      delete clock;
      act(window);
      return;
    }
    if (clock->elapsed() > timeoutMs) {
      timer->stop();
      timer->deleteLater();
      delete clock;
      QTest::qFail("the window did not appear", __FILE__, __LINE__);
    }
  });
  timer->start(10);
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < timeoutMs) QTest::qWait(10);
  return done();
}

QString SaveShot(QWidget* window, const QString& name) {
  QDir().mkpath(QStringLiteral(QUORIX_PANEL_ARTEFACTS));
  QPixmap content = window->grab();
  const int bar = 30;
  QPixmap framed(content.width() + 2, content.height() + bar + 1);
  framed.fill(QColor(0x2b, 0x33, 0x40));
  QPainter painter(&framed);
  QLinearGradient shade(0, 0, 0, bar);
  shade.setColorAt(0, QColor(0x3f, 0x7f, 0xd0));
  shade.setColorAt(1, QColor(0x1d, 0x4f, 0x94));
  painter.fillRect(1, 1, framed.width() - 2, bar - 1, shade);
  QIcon icon = window->windowIcon();
  if (icon.isNull()) icon = PanelIcon(QStringLiteral("quorix-control-panel"));
  painter.drawPixmap(8, 7, icon.pixmap(18, 18));
  painter.setPen(Qt::white);
  QFont font = painter.font();
  font.setBold(true);
  painter.setFont(font);
  painter.drawText(QRect(32, 1, framed.width() - 40, bar - 1), Qt::AlignVCenter | Qt::AlignLeft,
                   window->windowTitle());
  painter.drawPixmap(1, bar, content);
  painter.end();
  QString path = QStringLiteral(QUORIX_PANEL_ARTEFACTS "/%1.png").arg(name);
  framed.save(path);
  return path;
}

QStringList MnemonicProblems(QWidget* window) {
  QStringList texts;
  for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
    if (!button->text().isEmpty() && !qobject_cast<QMenu*>(button->parentWidget()))
      texts << button->text();
  for (QLabel* label : window->findChildren<QLabel*>())
    if (label->buddy()) texts << label->text();
  if (auto* main = qobject_cast<QMainWindow*>(window))
    for (QAction* menu : main->menuBar()->actions()) texts << menu->text();
  QStringList problems;
  QMap<QChar, QString> taken;
  for (const QString& text : texts) {
    qsizetype at = text.indexOf(QLatin1Char('&'));
    while (at >= 0 && at + 1 < text.size() && text[at + 1] == QLatin1Char('&'))
      at = text.indexOf(QLatin1Char('&'), at + 2);
    if (at < 0 || at + 1 >= text.size()) {
      problems << QStringLiteral("no mnemonic: ") + text;
      continue;
    }
    QChar letter = text[at + 1].toLower();
    if (taken.contains(letter))
      problems << QStringLiteral("%1 and %2 share %3").arg(taken[letter], text, letter);
    taken[letter] = text;
  }
  return problems;
}

QStringList ColumnTexts(const QTreeWidget* list, int column) {
  QStringList texts;
  for (int row = 0; row < list->topLevelItemCount(); ++row)
    texts << list->topLevelItem(row)->text(column);
  return texts;
}

void PutVexaNode(Config& config, int slot, const std::string& host, const std::string& path,
                 bool disabled) {
  NodeRecord& node = config.nodes[slot];
  node = NodeRecord{};
  node.disabled = disabled;
  node.vexaScheme = "http";
  node.vexaHost = host;
  node.vexaPath = path;
  node.nodeUrl = "http://" + host + path;
  node.timeoutMs = 5000;
  config.nodeCount = std::max(config.nodeCount, slot + 1);
}

std::string RssAnswer(int items) {
  std::string rss =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<rss version=\"2.0\" xmlns:opensearch=\"http://a9.com/-/spec/opensearch/1.1/\">\n"
      "<channel>\n<title>Test node</title>\n<link>http://node.example/</link>\n"
      "<description>Results</description>\n<opensearch:totalResults>" +
      std::to_string(items) +
      "</opensearch:totalResults>\n<opensearch:startIndex>1</opensearch:startIndex>\n"
      "<opensearch:itemsPerPage>" +
      std::to_string(items) + "</opensearch:itemsPerPage>\n";
  for (int i = 0; i < items; ++i)
    rss += "<item>\n<title>Result " + std::to_string(i) + "</title>\n<link>http://node.example/" +
           std::to_string(i) + "</link>\n<description>text about test</description>\n</item>\n";
  return rss + "</channel>\n</rss>\n";
}

}  // namespace quorix::panelui::testing
