#include "panel/ui/search_options_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QVBoxLayout>
#include <algorithm>

#include "panel/ui/widgets_common.h"

namespace quorix::panelui {

using namespace panel;

namespace {

QLabel* WrappedLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setWordWrap(true);
  return label;
}

QComboBox* ChoiceList(std::span<const Choice> choices, const char* name, QWidget* parent) {
  auto* list = new QComboBox(parent);
  list->setObjectName(QString::fromLatin1(name));
  for (const Choice& choice : choices) list->addItem(QString::fromLatin1(choice.text));
  return list;
}

QPushButton* NamedButton(const char* text, const char* name, QWidget* parent) {
  auto* button = new QPushButton(QString::fromLatin1(text), parent);
  button->setObjectName(QString::fromLatin1(name));
  return button;
}

}  // namespace

SearchOptionsDialog::SearchOptionsDialog(PanelSession& session, QWidget* parent)
    : QDialog(parent), session_(session), options_(session) {
  setObjectName(QStringLiteral("optionsDialog"));
  setWindowTitle(QStringLiteral("Quorix Search Options"));
  auto* layout = new QVBoxLayout(this);
  auto* banner = new QHBoxLayout;
  banner->addStretch(1);
  for (const char* name : {"options", "quorix-control-panel"}) {
    auto* icon = new QLabel(this);
    icon->setPixmap(PanelPixmap(QString::fromLatin1(name), 32));
    banner->addWidget(icon);
  }
  layout->addLayout(banner);

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("optionPages"));
  layout->addWidget(tabs_, 1);
  resultsPage_ = new ResultOptionsPage(this);
  backoffPage_ = new BackoffPage(this);
  AddPage(Column({BuildCacheGroup(), BuildFormGroup()}), QStringLiteral("Search"));
  AddPage(resultsPage_, QStringLiteral("Results"));
  AddPage(backoffPage_, QStringLiteral("Nodes and back-off"));
  AddPage(Column({BuildBrowserGroup()}), QStringLiteral("Browser search"));
  AddPage(Column({BuildLanguageGroup(), BuildLoggingGroup()}),
          QStringLiteral("Languages and logging"));
  storeOptions_ = new StoreOptionsGroup(this);
  AddPage(Column({storeOptions_}), QStringLiteral("Several web servers"));

  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
  QPushButton* help = buttons->addButton(QStringLiteral("&Help"), QDialogButtonBox::HelpRole);
  buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &SearchOptionsDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this,
          [this] { session_.ShowHelp(BoxOwner::kDialog, "HID_SEARCH_OPTIONS.htm"); });
  layout->addWidget(buttons);

  options_.Open();
  ShowFields();
  FitToContents();
  CentreOnScreen(this);
}

void SearchOptionsDialog::AddPage(QWidget* page, const QString& title) {
  tabs_->addTab(page, title);
  if (isVisible()) FitToContents();
}

QWidget* SearchOptionsDialog::Column(std::initializer_list<QWidget*> groups) {
  auto* page = new QWidget(this);
  auto* box = new QVBoxLayout(page);
  for (QWidget* group : groups) box->addWidget(group);
  box->addStretch(1);
  return page;
}

void SearchOptionsDialog::FitToContents() {
  // The tabs are as large as their largest page, so every page fits; the
  // window never grows past the screen it opens on.
  QSize wanted = sizeHint().expandedTo(minimumSizeHint());
  // Wide enough for every tab's title, so none hides behind scroll arrows.
  QMargins margins = contentsMargins() + layout()->contentsMargins();
  wanted.setWidth(std::max(wanted.width(), tabs_->tabBar()->sizeHint().width() +
                                               margins.left() + margins.right() + 8));
  if (QScreen* screen = this->screen())
    wanted = wanted.boundedTo(screen->availableGeometry().size());
  resize(wanted);
}

QWidget* SearchOptionsDialog::BuildCacheGroup() {
  auto* group = new QGroupBox(QStringLiteral("Cache options:"), this);
  auto* grid = new QGridLayout(group);
  auto* expiryLabel = new QLabel(QStringLiteral("Cache E&xpiry:"), group);
  grid->addWidget(expiryLabel, 0, 0);
  auto* expiryRow = new QHBoxLayout;
  cacheExpiry_ = new QLineEdit(group);
  cacheExpiry_->setObjectName(QStringLiteral("cacheExpiry"));
  cacheExpiry_->setMaxLength(254);
  cacheExpiry_->setFixedWidth(80);
  AcceptDigitsOnly(cacheExpiry_);
  expiryLabel->setBuddy(cacheExpiry_);
  expiryRow->addWidget(cacheExpiry_);
  expiryRow->addWidget(new QLabel(QStringLiteral("mins"), group));
  auto* zeroNote = new QLabel(QStringLiteral("(Set to zero to disable caching)"), group);
  zeroNote->setWordWrap(true);
  zeroNote->setMinimumWidth(1);  // wraps rather than being cut at the group's edge
  expiryRow->addWidget(zeroNote, 1);
  grid->addLayout(expiryRow, 0, 1);

  auto* factorLabel = new QLabel(QStringLiteral("Over-re&quest Factor:"), group);
  grid->addWidget(factorLabel, 1, 0);
  auto* sliderRow = new QHBoxLayout;
  sliderRow->addWidget(new QLabel(QStringLiteral("Min"), group));
  overRequest_ = new QSlider(Qt::Horizontal, group);
  overRequest_->setObjectName(QStringLiteral("overRequestFactor"));
  overRequest_->setRange(1, 10);
  overRequest_->setPageStep(1);
  overRequest_->setTickInterval(1);
  overRequest_->setTickPosition(QSlider::TicksBothSides);
  sliderRow->addWidget(overRequest_, 1);
  factorLabel->setBuddy(overRequest_);
  sliderRow->addWidget(new QLabel(QStringLiteral("Max"), group));
  grid->addLayout(sliderRow, 1, 1);
  grid->addWidget(WrappedLabel(QStringLiteral("Determines how many items are requested in excess "
                                              "of what is needed from each slave to display the "
                                              "current page (and also to be cached  for the first "
                                              "unique query)."),
                               group),
                  2, 0, 1, 2);
  grid->setColumnStretch(1, 1);
  return group;
}

QWidget* SearchOptionsDialog::BuildFormGroup() {
  auto* group = new QGroupBox(QStringLiteral("Search form appearance:"), this);
  auto* box = new QVBoxLayout(group);
  box->addWidget(WrappedLabel(
      QStringLiteral("Select the search box format to appear on your seacrh page"), group));
  formFormat_ = ChoiceList(kFormFormatChoices, "formFormat", group);
  box->addWidget(formFormat_);
  defaultToAnd_ = new QCheckBox(QStringLiteral("Default to \"&match all search words\""), group);
  defaultToAnd_->setObjectName(QStringLiteral("defaultToAnd"));
  timing_ = new QCheckBox(QStringLiteral("Show &time taken to perform search"), group);
  timing_->setObjectName(QStringLiteral("timing"));
  vexaInfo_ = new QCheckBox(QStringLiteral("Show &Vexa info line"), group);
  vexaInfo_->setObjectName(QStringLiteral("vexaInfo"));
  mergeDuplicates_ = new QCheckBox(QStringLiteral("Merge d&uplicate results"), group);
  mergeDuplicates_->setObjectName(QStringLiteral("mergeDuplicates"));
  showSources_ = new QCheckBox(QStringLiteral("Show result sou&rces"), group);
  showSources_->setObjectName(QStringLiteral("showSources"));
  box->addWidget(defaultToAnd_);
  box->addWidget(timing_);
  box->addWidget(vexaInfo_);
  box->addWidget(mergeDuplicates_);
  box->addWidget(showSources_);
  auto* templateRow = new QHBoxLayout;
  QPushButton* modify = NamedButton("Mo&dify Template", "modifyTemplate", group);
  connect(modify, &QPushButton::clicked, this, [this] {
    ReadFields();
    options_.ModifyTemplate();
  });
  templateRow->addWidget(modify);
  templateRow->addWidget(
      WrappedLabel(QStringLiteral("Text styles can be modified in the HTML template."), group), 1);
  box->addLayout(templateRow);
  return group;
}

QWidget* SearchOptionsDialog::BuildBrowserGroup() {
  auto* group = new QGroupBox(QStringLiteral("What browsers show of this search:"), this);
  // The name and line the search's OpenSearch description gives browsers.
  auto* browserGrid = new QGridLayout(group);
  shortName_ = new QLineEdit(group);
  shortName_->setObjectName(QStringLiteral("openSearchShortName"));
  shortName_->setMaxLength(16);
  description_ = new QLineEdit(group);
  description_->setObjectName(QStringLiteral("openSearchDescription"));
  description_->setMaxLength(258);
  auto* shortLabel = new QLabel(QStringLiteral("Browser search sho&rt name:"), group);
  auto* descriptionLabel = new QLabel(QStringLiteral("Browser search descri&ption:"), group);
  shortLabel->setBuddy(shortName_);
  descriptionLabel->setBuddy(description_);
  browserGrid->addWidget(shortLabel, 0, 0);
  browserGrid->addWidget(shortName_, 0, 1);
  browserGrid->addWidget(descriptionLabel, 1, 0);
  browserGrid->addWidget(description_, 1, 1);
  browserGrid->setColumnStretch(1, 1);
  return group;
}

QWidget* SearchOptionsDialog::BuildLanguageGroup() {
  auto* group = new QGroupBox(QStringLiteral("Languages:"), this);
  auto* box = new QVBoxLayout(group);
  box->addWidget(WrappedLabel(
      QStringLiteral("Select the language file for the text that appear on your search page.  You "
                     "can also customize the text and create your own file."),
      group));
  auto* row = new QHBoxLayout;
  language_ = new QComboBox(group);
  language_->setObjectName(QStringLiteral("language"));
  row->addWidget(language_, 1);
  QPushButton* newFile = NamedButton("&New file", "newLanguageFile", group);
  QPushButton* editFile = NamedButton("&Edit file", "editLanguageFile", group);
  row->addWidget(newFile);
  row->addWidget(editFile);
  box->addLayout(row);
  connect(newFile, &QPushButton::clicked, this, [this] {
    ReadFields();
    options_.NewLanguageFile();
    ShowLanguages();
  });
  connect(editFile, &QPushButton::clicked, this, [this] {
    ReadFields();
    options_.EditLanguageFile();
  });
  return group;
}

QWidget* SearchOptionsDialog::BuildLoggingGroup() {
  auto* group = new QGroupBox(QStringLiteral("Logging:"), this);
  auto* grid = new QGridLayout(group);
  auto* debugModeLabel = new QLabel(QStringLiteral("De&bug mode:"), group);
  grid->addWidget(debugModeLabel, 0, 0);
  debugMode_ = ChoiceList(kDebugModeChoices, "debugMode", group);
  debugModeLabel->setBuddy(debugMode_);
  grid->addWidget(debugMode_, 0, 1);
  allowRequestDebug_ =
      new QCheckBox(QStringLiteral("&Allow visitors to turn on debug mode with vexa_debug"), group);
  allowRequestDebug_->setObjectName(QStringLiteral("allowRequestDebug"));
  grid->addWidget(allowRequestDebug_, 1, 0, 1, 2);
  debugLogging_ = new QCheckBox(QStringLiteral("&Log debug messages to file"), group);
  debugLogging_->setObjectName(QStringLiteral("debugLogging"));
  grid->addWidget(debugLogging_, 2, 0, 1, 2);
  auto* debugFileLabel = new QLabel(QStringLiteral("Debug log &filename:"), group);
  grid->addWidget(debugFileLabel, 3, 0, 1, 2);
  debugFile_ = new QLineEdit(group);
  debugFileLabel->setBuddy(debugFile_);
  debugFile_->setObjectName(QStringLiteral("debugFileName"));
  debugFile_->setMaxLength(258);
  grid->addWidget(debugFile_, 4, 0, 1, 2);
  logging_ = new QCheckBox(QStringLiteral("Log searc&hes made on your site"), group);
  logging_->setObjectName(QStringLiteral("logging"));
  grid->addWidget(logging_, 5, 0, 1, 2);
  auto* logFileLabel = new QLabel(QStringLiteral("Search log f&ilename:"), group);
  grid->addWidget(logFileLabel, 6, 0, 1, 2);
  logFile_ = new QLineEdit(group);
  logFileLabel->setBuddy(logFile_);
  logFile_->setObjectName(QStringLiteral("logFileName"));
  logFile_->setMaxLength(258);
  grid->addWidget(logFile_, 7, 0, 1, 2);
  grid->addWidget(WrappedLabel(QStringLiteral("Note: Requires server-side write permissions on the "
                                              "log file specified above"),
                               group),
                  8, 0, 1, 2);
  grid->setColumnStretch(1, 1);
  return group;
}

void SearchOptionsDialog::ShowFields() {
  cacheExpiry_->setText(ToQ(options_.cacheExpiry));
  overRequest_->setValue(options_.overRequestFactor);
  formFormat_->setCurrentIndex(options_.formFormatIndex);
  defaultToAnd_->setChecked(options_.defaultToAnd);
  timing_->setChecked(options_.timing);
  vexaInfo_->setChecked(options_.vexaInfo);
  mergeDuplicates_->setChecked(options_.mergeDuplicates);
  showSources_->setChecked(options_.showSources);
  debugMode_->setCurrentIndex(options_.debugModeIndex);
  allowRequestDebug_->setChecked(options_.allowRequestDebug);
  debugLogging_->setChecked(options_.debugLogging);
  debugFile_->setText(ToQ(options_.debugFileName));
  logging_->setChecked(options_.logging);
  logFile_->setText(ToQ(options_.logFileName));
  shortName_->setText(ToQ(options_.openSearchShortName));
  description_->setText(ToQ(options_.openSearchDescription));
  resultsPage_->Show(options_.results);
  backoffPage_->Show(options_.results);
  storeOptions_->Show(session_.work);
  ShowLanguages();
}

void SearchOptionsDialog::ShowLanguages() {
  language_->clear();
  for (const std::string& name : options_.languages) language_->addItem(ToQ(name));
  language_->setCurrentIndex(options_.languageIndex);
  language_->setEnabled(options_.languageListEnabled);
}

void SearchOptionsDialog::ReadFields() {
  options_.cacheExpiry = FromQ(cacheExpiry_->text());
  options_.overRequestFactor = overRequest_->value();
  options_.formFormatIndex = formFormat_->currentIndex();
  options_.defaultToAnd = defaultToAnd_->isChecked();
  options_.timing = timing_->isChecked();
  options_.vexaInfo = vexaInfo_->isChecked();
  options_.mergeDuplicates = mergeDuplicates_->isChecked();
  options_.showSources = showSources_->isChecked();
  options_.languageIndex = language_->currentIndex();
  options_.debugModeIndex = debugMode_->currentIndex();
  options_.allowRequestDebug = allowRequestDebug_->isChecked();
  options_.debugLogging = debugLogging_->isChecked();
  options_.debugFileName = FromQ(debugFile_->text());
  options_.logging = logging_->isChecked();
  options_.logFileName = FromQ(logFile_->text());
  options_.openSearchShortName = FromQ(shortName_->text());
  options_.openSearchDescription = FromQ(description_->text());
  resultsPage_->Read(options_.results);
  backoffPage_->Read(options_.results);
}

void SearchOptionsDialog::accept() {
  ReadFields();
  if (storeOptions_->Store(session_.work) && options_.Ok()) QDialog::accept();
}

}  // namespace quorix::panelui
