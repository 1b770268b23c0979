#include "panel/ui/node_edit_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPointer>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "panel/ui/predefined_dialog.h"
#include "panel/ui/widgets_common.h"

namespace quorix::panelui {

using namespace panel;

NodeEditDialog::NodeEditDialog(PanelSession& session, NodeDialogMode mode,
                               const std::vector<int>& selectedRows, QWidget* parent)
    : QDialog(parent), session_(session), node_(session, mode) {
  setObjectName(QStringLiteral("nodeDialog"));
  // The widgets are made in the order of the tab focus.
  auto* layout = new QVBoxLayout(this);
  layout->setSpacing(10);
  layout->addLayout(BuildTypeRow());
  layout->addWidget(BuildUrlGroup());
  layout->addLayout(BuildTimeoutRow());
  layout->addLayout(BuildNameRow());
  AddTestOutput(layout);
  layout->addWidget(BuildButtons());
  ConnectFields();

  prepared_ = node_.Open(selectedRows);
  setWindowTitle(ToQ(node_.Caption()));
  if (prepared_) {
    ShowFields();
    (node_.Controls().focusOnDescription ? description_ : nodeUrl_)->setFocus();
  }
  setFixedWidth(560);
  adjustSize();
  CentreOnScreen(this);
}

QHBoxLayout* NodeEditDialog::BuildTypeRow() {
  auto* top = new QHBoxLayout;
  auto* icon = new QLabel(this);
  icon->setPixmap(PanelPixmap(QStringLiteral("nodes"), 40));
  top->addWidget(icon);
  enable_ = new QCheckBox(QStringLiteral("E&nable node"), this);
  enable_->setObjectName(QStringLiteral("enableNode"));
  top->addWidget(enable_);
  top->addSpacing(16);
  auto* type = new QGroupBox(QStringLiteral("Node type:"), this);
  auto* typeLayout = new QHBoxLayout(type);
  vexa_ = new QRadioButton(QStringLiteral("&Vexa Node"), type);
  vexa_->setObjectName(QStringLiteral("vexaNode"));
  openSearch_ = new QRadioButton(QStringLiteral("O&penSearch Node"), type);
  openSearch_->setObjectName(QStringLiteral("openSearchNode"));
  typeLayout->addWidget(vexa_);
  typeLayout->addWidget(openSearch_);
  top->addWidget(type, 1);
  return top;
}

QHBoxLayout* NodeEditDialog::BuildTimeoutRow() {
  auto* timeoutRow = new QHBoxLayout;
  auto* timeoutLabel = new QLabel(QStringLiteral("T&imeout:"), this);
  timeoutRow->addWidget(timeoutLabel);
  timeout_ = new QLineEdit(this);
  timeoutLabel->setBuddy(timeout_);
  timeout_->setObjectName(QStringLiteral("timeout"));
  timeout_->setMaxLength(254);
  timeout_->setFixedWidth(90);
  AcceptDigitsOnly(timeout_);
  timeoutRow->addWidget(timeout_);
  timeoutRow->addWidget(new QLabel(QStringLiteral("milliseconds"), this));
  timeoutRow->addStretch(1);
  return timeoutRow;
}

QHBoxLayout* NodeEditDialog::BuildNameRow() {
  auto* nameRow = new QHBoxLayout;
  auto* nameLabel = new QLabel(QStringLiteral("Display n&ame:"), this);
  nameRow->addWidget(nameLabel);
  name_ = new QLineEdit(this);
  nameLabel->setBuddy(name_);
  name_->setObjectName(QStringLiteral("name"));
  name_->setMaxLength(kNodeNameMaxUnits);
  name_->setPlaceholderText(QStringLiteral("the node's host"));
  nameRow->addWidget(name_, 1);
  return nameRow;
}

// The Test button's lines and busy bar, both hidden until a test runs.
void NodeEditDialog::AddTestOutput(QVBoxLayout* layout) {
  testLines_ = new QListWidget(this);
  testLines_->setObjectName(QStringLiteral("testLines"));
  testLines_->setWordWrap(true);
  testLines_->setMinimumHeight(110);
  testLines_->hide();
  layout->addWidget(testLines_);
  testBusy_ = new QProgressBar(this);
  testBusy_->setObjectName(QStringLiteral("testBusy"));
  testBusy_->setRange(0, 0);  // no end known: the bar moves to and fro
  testBusy_->setTextVisible(false);
  testBusy_->hide();
  layout->addWidget(testBusy_);
}

QDialogButtonBox* NodeEditDialog::BuildButtons() {
  auto* buttons = buttons_ = new QDialogButtonBox(this);
  ok_ = buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
  ok_->setDefault(true);
  test_ = buttons->addButton(QStringLiteral("&Test"), QDialogButtonBox::ActionRole);
  test_->setObjectName(QStringLiteral("test"));
  connect(test_, &QPushButton::clicked, this, &NodeEditDialog::TestNode);
  QPushButton* help = buttons->addButton(QStringLiteral("&Help"), QDialogButtonBox::HelpRole);
  buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &NodeEditDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &NodeEditDialog::reject);
  connect(help, &QPushButton::clicked, this,
          [this] { session_.ShowHelp(BoxOwner::kDialog, "HID_CONFIGURE_SLAVES.htm"); });
  return buttons;
}

void NodeEditDialog::ConnectFields() {
  connect(vexa_, &QRadioButton::clicked, this, [this] {
    node_.SetType(false);
    ShowTypeControls();
  });
  connect(openSearch_, &QRadioButton::clicked, this, [this] {
    node_.SetType(true);
    ShowTypeControls();
  });
  connect(nodeUrl_, &QLineEdit::textChanged, this, &NodeEditDialog::CheckUrl);
  connect(description_, &QLineEdit::textChanged, this, &NodeEditDialog::CheckUrl);
  connect(enable_, &QCheckBox::clicked, this, [this](bool checked) { node_.SetEnabled(checked); });
  connect(browse_, &QPushButton::clicked, this, &NodeEditDialog::BrowsePredefined);
}

QWidget* NodeEditDialog::BuildUrlGroup() {
  auto* group = new QWidget(this);
  auto* grid = new QGridLayout(group);
  grid->setContentsMargins(0, 0, 0, 0);
  nodeUrlLabel_ = new QLabel(group);
  nodeUrlLabel_->setObjectName(QStringLiteral("nodeUrlLabel"));
  nodeUrl_ = new QLineEdit(group);
  nodeUrl_->setObjectName(QStringLiteral("nodeUrl"));
  nodeUrl_->setMaxLength(2083);
  descriptionLabel_ = new QLabel(group);
  descriptionLabel_->setObjectName(QStringLiteral("descriptionUrlLabel"));
  description_ = new QLineEdit(group);
  description_->setObjectName(QStringLiteral("descriptionUrl"));
  description_->setMaxLength(2083);
  browse_ =
      new QPushButton(QStringLiteral("&Browse predefined OpenSearch Description URLs"), group);
  browse_->setObjectName(QStringLiteral("browse"));
  strict_ = new QCheckBox(QStringLiteral("&Must support OpenSearch {count} query param"), group);
  strict_->setObjectName(QStringLiteral("strictQuerySyntax"));
  auto problemLabel = [group](const char* name) {
    auto* label = new QLabel(group);
    label->setObjectName(QString::fromLatin1(name));
    label->setStyleSheet(QStringLiteral("color: rgb(200, 0, 0);"));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
  };
  nodeUrlProblem_ = problemLabel("nodeUrlProblem");
  descriptionProblem_ = problemLabel("descriptionUrlProblem");
  nodeUrlLabel_->setBuddy(nodeUrl_);
  descriptionLabel_->setBuddy(description_);
  grid->addWidget(nodeUrlLabel_, 0, 0);
  grid->addWidget(nodeUrlProblem_, 0, 1);
  grid->addWidget(nodeUrl_, 1, 0, 1, 2);
  grid->addWidget(descriptionLabel_, 2, 0);
  grid->addWidget(descriptionProblem_, 2, 1);
  grid->addWidget(description_, 3, 0, 1, 2);
  grid->addWidget(browse_, 4, 0);
  grid->addWidget(strict_, 5, 0, 1, 2);
  grid->setColumnStretch(1, 1);
  return group;
}

void NodeEditDialog::ShowFields() {
  enable_->setChecked(node_.enabled);
  vexa_->setChecked(!node_.openSearch);
  openSearch_->setChecked(node_.openSearch);
  {
    // Both fields first, then one check.
    QSignalBlocker quietUrl(nodeUrl_), quietDescription(description_);
    nodeUrl_->setText(ToQ(node_.nodeUrl));
    description_->setText(ToQ(node_.descriptionUrl));
  }
  timeout_->setText(ToQ(node_.timeout));
  name_->setText(ToQ(node_.name));
  strict_->setChecked(node_.strictQuerySyntax);
  ShowTypeControls();
}

void NodeEditDialog::ShowTypeControls() {
  NodeDialogControls controls = node_.Controls();
  nodeUrlLabel_->setText(QStringLiteral("Node &URL") + ToQ(controls.nodeUrlLabel).mid(8));
  descriptionLabel_->setText(QStringLiteral("OpenSearch &Description URL") +
                             ToQ(controls.descriptionUrlLabel).mid(26));
  nodeUrl_->setEnabled(controls.nodeUrlEnabled);
  description_->setEnabled(controls.descriptionEnabled);
  browse_->setEnabled(controls.descriptionEnabled);
  strict_->setEnabled(controls.descriptionEnabled);
  CheckUrl();
}

// Shows why the required URL is refused beside its field; OK and Test wait
// for an acceptable one.
void NodeEditDialog::CheckUrl() {
  node_.nodeUrl = FromQ(nodeUrl_->text());
  node_.descriptionUrl = FromQ(description_->text());
  QString problem = ToQ(node_.UrlProblem());
  nodeUrlProblem_->setText(node_.openSearch ? QString() : problem);
  descriptionProblem_->setText(node_.openSearch ? problem : QString());
  ok_->setEnabled(problem.isEmpty());
  test_->setEnabled(problem.isEmpty());
}

NodeEditDialog::~NodeEditDialog() {
  if (testThread_.joinable()) testThread_.join();
}

// The query runs on a thread of its own; the buttons wait for its end.
void NodeEditDialog::TestNode() {
  if (testing_) return;
  ReadFields();
  testLines_->clear();
  testLines_->show();
  new QListWidgetItem(QStringLiteral("Testing the node..."), testLines_);
  testing_ = true;
  buttons_->setEnabled(false);
  testBusy_->show();
  setCursor(Qt::BusyCursor);
  auto query = node_.PrepareTest();
  QPointer<NodeEditDialog> self(this);
  testThread_ = std::thread([self, query = std::move(query)] {
    std::vector<LogWindowLine> lines = query();
    PostToWidget(self,
                 [lines = std::move(lines)](NodeEditDialog& dialog) { dialog.TestEnded(lines); });
  });
}

void NodeEditDialog::TestEnded(const std::vector<LogWindowLine>& lines) {
  testThread_.join();
  testing_ = false;
  testLines_->clear();
  for (const LogWindowLine& line : lines) {
    auto* item = new QListWidgetItem(ToQ(line.text), testLines_);
    item->setForeground(ToColor(LogLineColour(line.level)));
  }
  testLines_->scrollToBottom();
  testBusy_->hide();
  unsetCursor();
  buttons_->setEnabled(true);
  emit testEnded();
}

void NodeEditDialog::ReadFields() {
  node_.enabled = enable_->isChecked();
  node_.openSearch = openSearch_->isChecked();
  node_.nodeUrl = FromQ(nodeUrl_->text());
  node_.descriptionUrl = FromQ(description_->text());
  node_.timeout = FromQ(timeout_->text());
  node_.name = FromQ(name_->text());
  node_.strictQuerySyntax = strict_->isChecked();
}

void NodeEditDialog::accept() {
  if (testing_) return;
  ReadFields();
  if (node_.Ok()) QDialog::accept();
}

void NodeEditDialog::reject() {
  // Escape and the close button wait for the end of a test like the buttons.
  if (testing_) return;
  if (prepared_) node_.Cancel();
  QDialog::reject();
}

void NodeEditDialog::done(int result) {
  if (!testing_) QDialog::done(result);
}

void NodeEditDialog::BrowsePredefined() {
  if (testing_) return;
  PredefinedDialog browser(session_, this);
  if (!browser.Loaded() || browser.exec() != QDialog::Accepted) return;
  ReadFields();
  if (node_.ApplyPredefinedSelection(browser.Entries(), browser.Selection())) {
    QDialog::accept();
    return;
  }
  description_->setText(ToQ(node_.descriptionUrl));
}

}  // namespace quorix::panelui
