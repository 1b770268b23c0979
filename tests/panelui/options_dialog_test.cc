// The search options dialog: its texts and defaults, the sorted lists, the
// slider, refused input, the language file commands and the word processor
// warning; and the verification preference dialog.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "panel/core/run_state.h"
#include "ui_harness.h"

namespace quorix::panelui::testing {

using namespace panel;

namespace {

template <typename T>
T* Child(QWidget* parent, const char* name) {
  T* child = parent->findChild<T*>(QString::fromLatin1(name));
  if (!child) qFatal("no child %s", name);
  return child;
}

QPushButton* ButtonNamed(QWidget* parent, const QString& text) {
  for (QPushButton* button : parent->findChildren<QPushButton*>())
    if (button->text().remove(QLatin1Char('&')) == text) return button;
  qFatal("no button %s", qPrintable(text));
}

QStringList Entries(const QComboBox* list) {
  QStringList entries;
  for (int i = 0; i < list->count(); ++i) entries << list->itemText(i);
  return entries;
}

QStringList Texts(QWidget* dialog) {
  QStringList texts;
  // Mnemonic marks left out.
  for (QLabel* label : dialog->findChildren<QLabel*>()) texts << label->text().remove('&');
  for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>())
    texts << button->text().remove('&');
  for (QGroupBox* group : dialog->findChildren<QGroupBox*>()) texts << group->title();
  return texts;
}

// Opens the options dialog and runs `act` while it is open.
void WithOptions(PanelHarness& panel, const std::function<void(QDialog*)>& act) {
  OnNextModal([&](QWidget* modal) { act(qobject_cast<QDialog*>(modal)); });
  panel.window->Button(kCmdSearchOptions)->click();
}

}  // namespace

class OptionsDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void showsDefaultsAndTexts();
  void cacheExpiryLimit_data();
  void cacheExpiryLimit();
  void storesChosenListEntries();
  void fitsAtEveryFontSize_data();
  void fitsAtEveryFontSize();
  void newLanguageFile();
  void wordProcessorWarning();
  void verificationPreferences();
};

void OptionsDialogTest::showsDefaultsAndTexts() {
  PanelHarness panel;
  WithOptions(panel, [&](QDialog* dialog) {
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Quorix Search Options"));
    QCOMPARE(Child<QLineEdit>(dialog, "cacheExpiry")->text(), QStringLiteral("10"));
    auto* slider = Child<QSlider>(dialog, "overRequestFactor");
    QCOMPARE(slider->value(), 2);
    QCOMPARE(slider->minimum(), 1);
    QCOMPARE(slider->maximum(), 10);
    QCOMPARE(slider->tickPosition(), QSlider::TicksBothSides);
    auto* form = Child<QComboBox>(dialog, "formFormat");
    QCOMPARE(Entries(form), QStringList({"Advanced", "Basic", "Do not generate"}));
    QCOMPARE(form->currentText(), QStringLiteral("Advanced"));
    auto* debug = Child<QComboBox>(dialog, "debugMode");
    QCOMPARE(Entries(debug), QStringList({"Detailed", "Normal", "Off"}));
    QCOMPARE(debug->currentText(), QStringLiteral("Off"));
    QCOMPARE(Child<QComboBox>(dialog, "language")->currentText(), QStringLiteral("English.vlang"));
    QVERIFY(Child<QCheckBox>(dialog, "vexaInfo")->isChecked());
    QVERIFY(!Child<QCheckBox>(dialog, "timing")->isChecked());
    QVERIFY(!Child<QCheckBox>(dialog, "allowRequestDebug")->isChecked());
    QVERIFY(Child<QCheckBox>(dialog, "mergeDuplicates")->isChecked());
    QVERIFY(Child<QCheckBox>(dialog, "showSources")->isChecked());
    QCOMPARE(Child<QLineEdit>(dialog, "logFileName")->text(),
             QStringLiteral("./logs/searchwords.log"));
    QStringList texts = Texts(dialog);
    for (const char* expected :
         {"Cache options:",
          "Search form appearance:",
          "Languages:",
          "Logging:",
          "Cache Expiry:",
          "mins",
          "(Set to zero to disable caching)",
          "Over-request Factor:",
          "Min",
          "Max",
          "Determines how many items are requested in excess of what is needed from each slave "
          "to display the current page (and also to be cached  for the first unique query).",
          "Select the search box format to appear on your seacrh page",
          "Default to \"match all search words\"",
          "Show time taken to perform search",
          "Show Vexa info line",
          "Modify Template",
          "Text styles can be modified in the HTML template.",
          "Select the language file for the text that appear on your search page.  You can also "
          "customize the text and create your own file.",
          "New file",
          "Edit file",
          "Debug mode:",
          "Allow visitors to turn on debug mode with vexa_debug",
          "Log debug messages to file",
          "Debug log filename:",
          "Log searches made on your site",
          "Search log filename:",
          "Note: Requires server-side write permissions on the log file specified above",
          "OK",
          "Help",
          "Cancel"})
      QVERIFY2(texts.contains(QString::fromUtf8(expected)), expected);
    // Digits only.
    auto* expiry = Child<QLineEdit>(dialog, "cacheExpiry");
    expiry->clear();
    QTest::keyClicks(expiry, QStringLiteral("-1a5"));
    QCOMPARE(expiry->text(), QStringLiteral("15"));
    expiry->setText(QStringLiteral("10"));
    SaveShot(dialog, QStringLiteral("options-dialog"));
    dialog->reject();
  });
}

void OptionsDialogTest::fitsAtEveryFontSize_data() {
  QTest::addColumn<int>("percent");
  QTest::newRow("100 %") << 100;
  QTest::newRow("125 %") << 125;
  QTest::newRow("150 %") << 150;
}

// Every page shows every field at least at its smallest readable size, and a
// number out of range is marked while it is typed.
void OptionsDialogTest::fitsAtEveryFontSize() {
  QFETCH(int, percent);
  const QFont original = QApplication::font();
  QFont larger = original;
  larger.setPointSizeF(original.pointSizeF() * percent / 100.0);
  QApplication::setFont(larger);
  PanelHarness panel;
  WithOptions(panel, [&](QDialog* dialog) {
    auto* pages = Child<QTabWidget>(dialog, "optionPages");
    for (int i = 0; i < pages->count(); ++i) {
      pages->setCurrentIndex(i);
      QApplication::processEvents();
      for (QWidget* field : pages->currentWidget()->findChildren<QWidget*>()) {
        if (!field->isVisible() || !qobject_cast<QLineEdit*>(field)) continue;
        if (field->minimumWidth() == field->maximumWidth()) continue;  // a fixed-width field
        QVERIFY2(field->width() >= field->minimumSizeHint().width() &&
                     field->width() >= field->fontMetrics().averageCharWidth() * 8,
                 qPrintable(pages->tabText(i) + ": " + field->objectName() + " squashed"));
      }
      QVERIFY2(pages->currentWidget()->height() >= pages->currentWidget()->minimumSizeHint().height(),
               qPrintable(pages->tabText(i) + " is cut"));
    }
    int allTabs = pages->tabBar()->sizeHint().width();
    // Every tab title shows where the screen is wide enough for all of them.
    if (allTabs + 40 < dialog->screen()->availableGeometry().width())
      QVERIFY2(pages->tabBar()->width() >= allTabs, "a tab title is hidden");
    pages->setCurrentIndex(1);
    auto* most = Child<QLineEdit>(dialog, "recommendedMax");
    most->setText(QStringLiteral("0"));
    QVERIFY(Child<QLabel>(dialog, "recommendedMaxProblem")->isVisible());
    most->setText(QStringLiteral("5"));
    QVERIFY(!Child<QLabel>(dialog, "recommendedMaxProblem")->isVisible());
    if (percent == 150) SaveShot(dialog, QStringLiteral("options-dialog-150"));
    dialog->reject();
  });
  QApplication::setFont(original);
}

void OptionsDialogTest::cacheExpiryLimit_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<bool>("accepted");
  QTest::newRow("0 disables the cache") << "0" << true;
  QTest::newRow("100000") << "100000" << true;
  QTest::newRow("100001") << "100001" << false;
}

void OptionsDialogTest::cacheExpiryLimit() {
  QFETCH(QString, typed);
  QFETCH(bool, accepted);
  PanelHarness panel;
  SeenBox seen;
  bool closed = false;
  WithOptions(panel, [&](QDialog* dialog) {
    auto* expiry = Child<QLineEdit>(dialog, "cacheExpiry");
    expiry->clear();
    QTest::keyClicks(expiry, typed);
    if (!accepted) AnswerNextBox(QMessageBox::Ok, &seen);
    ButtonNamed(dialog, QStringLiteral("OK"))->click();
    closed = !dialog->isVisible();
  });
  QCOMPARE(closed, accepted);
  if (accepted) {
    QCOMPARE(panel.session->live.cacheValidPeriodMins, typed.toInt());
  } else {
    QCOMPARE(seen.title, QStringLiteral("Cache expiry period too large"));
    QCOMPARE(seen.text, QStringLiteral("You have entered an invalid value for \"Cache Expiry\".  "
                                       "The maximum allowed is 100,000 minutes."));
    QCOMPARE(panel.session->live.cacheValidPeriodMins, 10);
  }
}

void OptionsDialogTest::storesChosenListEntries() {
  PanelHarness panel;
  panel.session->flags.unsaved = false;
  WithOptions(panel, [&](QDialog* dialog) {
    Child<QComboBox>(dialog, "formFormat")->setCurrentIndex(2);
    Child<QComboBox>(dialog, "debugMode")->setCurrentIndex(0);
    QTest::keyClick(Child<QSlider>(dialog, "overRequestFactor"), Qt::Key_Right);
    Child<QCheckBox>(dialog, "timing")->click();
    Child<QCheckBox>(dialog, "allowRequestDebug")->click();
    Child<QCheckBox>(dialog, "mergeDuplicates")->click();
    ButtonNamed(dialog, QStringLiteral("OK"))->click();
  });
  const Config& live = panel.session->live;
  QCOMPARE(live.allowRequestDebug, 1);
  QCOMPARE(live.mergeDuplicates, 0);
  QCOMPARE(live.showSources, 1);
  QCOMPARE(live.formFormat, 0);
  QCOMPARE(live.debugMode, 2);
  QCOMPARE(live.overRequestFactor, 3);
  QCOMPARE(live.showSearchTime, 1);
  QVERIFY(panel.session->flags.unsaved);
}

void OptionsDialogTest::newLanguageFile() {
  PanelHarness panel;
  SeenBox refused;
  QString caption, preset, selected;
  WithOptions(panel, [&](QDialog* dialog) {
    OnNextModal([&](QWidget* ask) {
      caption = ask->windowTitle();
      auto* name = Child<QLineEdit>(ask, "fileName");
      preset = name->text();
      name->setText(QStringLiteral("mine.txt"));
      AnswerNextBox(QMessageBox::Ok, &refused);
      ButtonNamed(ask, QStringLiteral("OK"))->click();
      QVERIFY(ask->isVisible());
      name->selectAll();
      QTest::keyClicks(name, QStringLiteral("mine.vlang"));
      QCOMPARE(MnemonicProblems(ask), QStringList());
      SaveShot(ask, QStringLiteral("new-language-file"));
      ButtonNamed(ask, QStringLiteral("OK"))->click();
    });
    ButtonNamed(dialog, QStringLiteral("New file"))->click();
    selected = Child<QComboBox>(dialog, "language")->currentText();
    dialog->reject();
  });
  QCOMPARE(caption, QStringLiteral("Create new language file"));
  QCOMPARE(preset, QStringLiteral("custom.vlang"));
  QCOMPARE(refused.title, QStringLiteral("Filename does not end with .vlang"));
  QCOMPARE(selected, QStringLiteral("mine.vlang"));
  std::string created = panel.installDir() + "/cgi files/lang/mine.vlang";
  QVERIFY(std::filesystem::exists(created));
  QCOMPARE(panel.startedPrograms.size(), size_t(1));
  QCOMPARE(panel.startedPrograms[0],
           QStringList({QStringLiteral("xdg-open"), QString::fromStdString(created)}));
}

void OptionsDialogTest::wordProcessorWarning() {
  PanelHarness panel;
  panel.htmlEditor = "libreoffice --writer";
  std::string out = panel.scratch();
  std::ofstream(out + "/search_template.html") << "<html></html>\n";
  panel.session->panel.outputDir = out;
  QString caption;
  QStringList texts;
  WithOptions(panel, [&](QDialog* dialog) {
    OnNextModal([&](QWidget* warning) {
      caption = warning->windowTitle();
      texts = Texts(warning);
      QCOMPARE(MnemonicProblems(warning), QStringList());
      SaveShot(warning, QStringLiteral("word-warning"));
      Child<QCheckBox>(warning, "doNotCheck")->click();
      ButtonNamed(warning, QStringLiteral("OK"))->click();
    });
    ButtonNamed(dialog, QStringLiteral("Modify Template"))->click();
    ButtonNamed(dialog, QStringLiteral("OK"))->click();
  });
  QCOMPARE(caption, QStringLiteral("Warning: Word may be selected as default HTML editor"));
  QVERIFY(texts.contains(QStringLiteral("Do not check for Word again")));
  QVERIFY(texts.contains(QStringLiteral("Help")));
  // Ticked: the editor opened at once, and the choice is kept after OK.
  QCOMPARE(panel.session->panel.warnWord, 0);
  QCOMPARE(panel.startedPrograms.size(), size_t(1));
  QCOMPARE(panel.startedPrograms[0].mid(0, 2), QStringList({"libreoffice", "--writer"}));
}

void OptionsDialogTest::verificationPreferences() {
  PanelHarness panel;
  QString caption;
  QStringList entries, texts;
  QString current;
  OnNextModal([&](QWidget* dialog) {
    caption = dialog->windowTitle();
    auto* level = Child<QComboBox>(dialog, "debugLevel");
    entries = Entries(level);
    current = level->currentText();
    texts = Texts(dialog);
    QVERIFY(Child<QCheckBox>(dialog, "fileLogging")->isChecked());
    QCOMPARE(MnemonicProblems(dialog), QStringList());
    SaveShot(dialog, QStringLiteral("verification-preference"));
    level->setCurrentIndex(0);
    Child<QCheckBox>(dialog, "fileLogging")->click();
    ButtonNamed(dialog, QStringLiteral("OK"))->click();
  });
  panel.window->Action(kCmdVerificationPreferences)->trigger();
  QCOMPARE(caption, QStringLiteral("Verification preference"));
  QCOMPARE(entries, QStringList({"Detailed", "Normal"}));
  QCOMPARE(current, QStringLiteral("Normal"));
  for (const char* expected : {"Debug mode:", "Turn on verification file logging*",
                               "* Log file is QuorixControlPanel.log", "OK", "Cancel"})
    QVERIFY2(texts.contains(QString::fromLatin1(expected)), expected);
  QCOMPARE(panel.session->panel.panelDebugMode, 1);
  QCOMPARE(panel.session->panel.fileLogging, 0);
}

QUORIX_UI_TEST(OptionsDialogTest)

}  // namespace quorix::panelui::testing

#include "options_dialog_test.moc"
