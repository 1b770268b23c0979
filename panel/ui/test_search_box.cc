#include "panel/ui/test_search_box.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPointer>
#include <QVBoxLayout>
#include <algorithm>

#include "panel/ui/widgets_common.h"

namespace quorix::panelui {

using namespace panel;

TestSearchBox::TestSearchBox(PanelSession& session, QWidget* parent)
    : QGroupBox(QStringLiteral("Test search:"), parent), session_(session) {
  setObjectName(QStringLiteral("testSearchGroup"));
  auto* layout = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  auto* label = new QLabel(QStringLiteral("Search &words:"), this);
  row->addWidget(label);
  query_ = new QLineEdit(this);
  query_->setObjectName(QStringLiteral("testQuery"));
  query_->setMaxLength(255);
  label->setBuddy(query_);
  row->addWidget(query_, 1);
  search_ = new QPushButton(QStringLiteral("&Search"), this);
  search_->setObjectName(QStringLiteral("testSearch"));
  row->addWidget(search_);
  busy_ = new QProgressBar(this);
  busy_->setObjectName(QStringLiteral("testBusy"));
  busy_->setRange(0, 0);  // no end known: the bar moves to and fro
  busy_->setTextVisible(false);
  busy_->setFixedWidth(90);
  row->addWidget(busy_);
  layout->addLayout(row);
  summary_ = new QLabel(this);
  summary_->setObjectName(QStringLiteral("testSummary"));
  layout->addWidget(summary_);
  results_ =
      MakeReportList({QStringLiteral("Node"), QStringLiteral("Status"), QStringLiteral("Time"),
                      QStringLiteral("Results"), QStringLiteral("First titles")},
                     {110, 150, 70, 60, 200}, false, this);
  results_->setObjectName(QStringLiteral("testResults"));
  results_->setWordWrap(true);
  results_->setFixedHeight(130);
  layout->addWidget(results_);

  connect(search_, &QPushButton::clicked, this, &TestSearchBox::Search);
  connect(query_, &QLineEdit::returnPressed, this, &TestSearchBox::Search);
  connect(query_, &QLineEdit::textChanged, this, &TestSearchBox::UpdateEnabling);
  UpdateEnabling();
}

TestSearchBox::~TestSearchBox() {
  if (run_) run_->Wait();
}

void TestSearchBox::SetUsable(bool usable) {
  usable_ = usable;
  UpdateEnabling();
}

void TestSearchBox::UpdateEnabling() {
  query_->setEnabled(usable_);
  search_->setEnabled(usable_ && !Running() && !query_->text().trimmed().isEmpty());
  busy_->setVisible(Running());
}

void TestSearchBox::Search() {
  if (!search_->isEnabled()) return;
  results_->clear();
  int enabled = 0;
  for (int i = 0; i < std::min(session_.live.nodeCount, kMaxNodes); ++i)
    if (!session_.live.nodes[i].disabled) ++enabled;
  summary_->setText(QStringLiteral("Asking %1 node(s)...").arg(enabled));
  run_ = std::make_unique<TestSearchRun>(session_.live, FromQ(query_->text()));
  UpdateEnabling();
  setCursor(Qt::BusyCursor);
  QPointer<TestSearchBox> self(this);
  run_->Start([self] {
    // On the search's thread: the box learns of the end on the UI thread.
    PostToWidget(self, [](TestSearchBox& box) { box.SearchEnded(); });
  });
}

void TestSearchBox::SearchEnded() {
  run_->Wait();
  ShowReport(run_->Report());
  run_.reset();
  unsetCursor();
  UpdateEnabling();
  emit searchEnded();
}

void TestSearchBox::ShowReport(const TestSearchReport& report) {
  int answered = 0;
  for (const TestSearchNode& node : report.nodes) {
    if (node.answered) ++answered;
    QStringList titles;
    for (const std::string& title : node.titles) titles << ToQ(title);
    auto* item = new QTreeWidgetItem(
        results_,
        {ToQ(node.label), ToQ(node.statusText), QStringLiteral("%1 ms").arg(node.elapsedMs),
         node.answered ? QString::number(node.totalResults) : QString(),
         titles.join(QStringLiteral("; "))});
    item->setToolTip(0, ToQ(node.url));
    item->setToolTip(4, titles.join(QLatin1Char('\n')));
    if (!node.answered) item->setForeground(1, ToColor(LogLineColour(kLogError)));
  }
  for (const LogWindowLine& problem : report.problems) {
    auto* item = new QTreeWidgetItem(results_, {ToQ(problem.text)});
    item->setFirstColumnSpanned(true);
    item->setForeground(0, ToColor(LogLineColour(problem.level)));
  }
  summary_->setText(
      report.nodes.empty()
          ? QStringLiteral("No node is enabled.")
          : QStringLiteral("%1 of %2 node(s) answered.").arg(answered).arg(report.nodes.size()));
}

}  // namespace quorix::panelui
