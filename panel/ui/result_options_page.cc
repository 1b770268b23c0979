#include "panel/ui/result_options_page.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QVBoxLayout>

#include "panel/ui/widgets_common.h"

namespace quorix::panelui {

using namespace panel;

namespace {

QCheckBox* NamedCheckBox(const char* text, const char* name, QWidget* parent) {
  auto* box = new QCheckBox(QString::fromUtf8(text), parent);
  box->setObjectName(QString::fromLatin1(name));
  return box;
}

QLabel* Note(const char* text, QWidget* parent) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setWordWrap(true);
  return label;
}

}  // namespace

CheckedNumber::CheckedNumber(const NumberRule& rule, const char* name, QWidget* parent)
    : QWidget(parent), rule_(rule) {
  auto* box = new QVBoxLayout(this);
  box->setContentsMargins(0, 0, 0, 0);
  edit_ = new QLineEdit(this);
  edit_->setObjectName(QString::fromLatin1(name));
  edit_->setMaxLength(10);
  AcceptDigitsOnly(edit_);
  problem_ = new QLabel(this);
  problem_->setObjectName(QString::fromLatin1(name) + QStringLiteral("Problem"));
  problem_->setWordWrap(true);
  problem_->setStyleSheet(QStringLiteral("color: #b00020"));
  problem_->hide();
  box->addWidget(edit_);
  box->addWidget(problem_);
  connect(edit_, &QLineEdit::textChanged, this, &CheckedNumber::Check);
}

void CheckedNumber::Check() {
  std::string problem = edit_->isEnabled() ? NumberProblem(FromQ(edit_->text()), rule_) : "";
  problem_->setText(ToQ(problem));
  problem_->setVisible(!problem.empty());
  edit_->setStyleSheet(problem.empty() ? QString() : QStringLiteral("border: 2px solid #b00020"));
}

ResultOptionsPage::ResultOptionsPage(QWidget* parent) : QWidget(parent) {
  auto* box = new QVBoxLayout(this);
  pageMarkup_ = NamedCheckBox(
      "Accessible page &markup (labelled form, result list, page links "
      "in a navigation block)",
      "pageMarkup", this);
  box->addWidget(pageMarkup_);
  auto* cats = new QGroupBox(QStringLiteral("Categories:"), this);
  auto* catsBox = new QVBoxLayout(cats);
  useCats_ = NamedCheckBox("Let visitors choose &categories", "useCats", cats);
  multiCats_ = NamedCheckBox("Several categories at &once (tick boxes)", "searchMultiCats", cats);
  catsBox->addWidget(useCats_);
  catsBox->addWidget(multiCats_);
  box->addWidget(cats);

  auto* extras = new QGroupBox(QStringLiteral("Suggestions, links and sorting:"), this);
  auto* form = new QFormLayout(extras);
  spelling_ = NamedCheckBox("Suggest other &spellings", "spelling", extras);
  spellingBelow_ = new CheckedNumber(kSpellingThresholdRule, "spellingWhenLessThan", extras);
  recommended_ = NamedCheckBox("Show &recommended links", "recommended", extras);
  recommendedMax_ = new CheckedNumber(kRecommendedMaxRule, "recommendedMax", extras);
  useDateTime_ = NamedCheckBox("Offer sorting by &date", "useDateTime", extras);
  form->addRow(spelling_);
  form->addRow(QStringLiteral("when fewer results than:"), spellingBelow_);
  form->addRow(recommended_);
  form->addRow(QStringLiteral("at most:"), recommendedMax_);
  form->addRow(useDateTime_);
  box->addWidget(extras);
  box->addStretch(1);
  for (QCheckBox* check : {useCats_, spelling_, recommended_})
    connect(check, &QCheckBox::toggled, this, &ResultOptionsPage::FollowSwitches);
}

void ResultOptionsPage::FollowSwitches() {
  multiCats_->setEnabled(useCats_->isChecked());
  spellingBelow_->edit()->setEnabled(spelling_->isChecked());
  recommendedMax_->edit()->setEnabled(recommended_->isChecked());
  spellingBelow_->Check();
  recommendedMax_->Check();
}

void ResultOptionsPage::Show(const ResultOptions& options) {
  pageMarkup_->setChecked(options.pageMarkup);
  useCats_->setChecked(options.useCats);
  multiCats_->setChecked(options.searchMultiCats);
  spelling_->setChecked(options.spelling);
  spellingBelow_->edit()->setText(ToQ(options.spellingWhenLessThan));
  recommended_->setChecked(options.recommended);
  recommendedMax_->edit()->setText(ToQ(options.recommendedMax));
  useDateTime_->setChecked(options.useDateTime);
  FollowSwitches();
}

void ResultOptionsPage::Read(ResultOptions& options) const {
  options.pageMarkup = pageMarkup_->isChecked();
  options.useCats = useCats_->isChecked();
  options.searchMultiCats = multiCats_->isChecked();
  options.spelling = spelling_->isChecked();
  options.spellingWhenLessThan = FromQ(spellingBelow_->edit()->text());
  options.recommended = recommended_->isChecked();
  options.recommendedMax = FromQ(recommendedMax_->edit()->text());
  options.useDateTime = useDateTime_->isChecked();
}

BackoffPage::BackoffPage(QWidget* parent) : QWidget(parent) {
  auto* box = new QVBoxLayout(this);
  auto* group = new QGroupBox(QStringLiteral("Pausing a failing node:"), this);
  auto* form = new QFormLayout(group);
  failures_ = new CheckedNumber(kBackoffFailuresRule, "nodeBackoffFailures", group);
  seconds_ = new CheckedNumber(kBackoffSecsRule, "nodeBackoffSecs", group);
  form->addRow(QString::fromUtf8(kBackoffFailuresRule.label) + QStringLiteral(":"), failures_);
  form->addRow(QString::fromUtf8(kBackoffSecsRule.label) + QStringLiteral(":"), seconds_);
  form->addRow(
      Note("A node that fails this many times in a row is not asked for the pause; "
           "each failed retry doubles it, up to 15 minutes. A pause of 0 turns this off.",
           group));
  box->addWidget(group);

  auto* slow = new QGroupBox(QStringLiteral("Waiting for slow nodes:"), this);
  auto* slowForm = new QFormLayout(slow);
  pageDeadline_ = new CheckedNumber(kPageDeadlineRule, "pageDeadlineMs", slow);
  pageDeadline_->edit()->setToolTip(
      QStringLiteral("After this many milliseconds the results page is sent with the nodes that "
                     "have answered; the others are still awaited and their results offered to "
                     "the visitor when they arrive."));
  slowForm->addRow(QString::fromUtf8(kPageDeadlineRule.label) + QStringLiteral(":"), pageDeadline_);
  slowForm->addRow(
      Note("Nodes still answering are marked on the page, with a link that shows "
           "all results. 0 waits for every node up to its own time-out.",
           slow));
  box->addWidget(slow);
  box->addStretch(1);
}

void BackoffPage::Show(const ResultOptions& options) {
  failures_->edit()->setText(ToQ(options.backoffFailures));
  seconds_->edit()->setText(ToQ(options.backoffSecs));
  pageDeadline_->edit()->setText(ToQ(options.pageDeadlineMs));
}

void BackoffPage::Read(ResultOptions& options) const {
  options.backoffFailures = FromQ(failures_->edit()->text());
  options.backoffSecs = FromQ(seconds_->edit()->text());
  options.pageDeadlineMs = FromQ(pageDeadline_->edit()->text());
}

}  // namespace quorix::panelui
