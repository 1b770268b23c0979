#include "panel/ui/predefined_dialog.h"

#include <QDialogButtonBox>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "panel/ui/widgets_common.h"

namespace quorix::panelui {

using namespace panel;

PredefinedDialog::PredefinedDialog(PanelSession& session, QWidget* parent)
    : QDialog(parent), session_(session) {
  setObjectName(QStringLiteral("predefinedDialog"));
  setWindowTitle(QStringLiteral("Browse predefined OpenSearch Description URLs"));
  auto* layout = new QVBoxLayout(this);
  list_ = MakeReportList(
      {QStringLiteral("#"), QStringLiteral("Title"), QStringLiteral("OpenSearch Description URL")},
      {25, 300, 400}, true, this);
  list_->setObjectName(QStringLiteral("predefinedList"));
  list_->setMinimumSize(760, 240);
  layout->addWidget(list_, 1);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(QStringLiteral("&Select"), QDialogButtonBox::AcceptRole)->setDefault(true);
  buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);
  QPushButton* help = buttons->addButton(QStringLiteral("&Help"), QDialogButtonBox::HelpRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &PredefinedDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this,
          [this] { session_.ShowHelp(BoxOwner::kDialog, "HID_CONFIGURE_SLAVES.htm"); });
  connect(list_, &QTreeWidget::itemDoubleClicked, this, &PredefinedDialog::accept);
  connect(list_, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint& position) {
    QMenu menu(this);
    menu.addAction(QStringLiteral("&Add selected"), this, &PredefinedDialog::accept);
    menu.exec(list_->viewport()->mapToGlobal(position));
  });
  layout->addWidget(buttons);

  loaded_ = LoadPredefinedDescriptions(session_.installDir, session_.desktop, session_.log,
                                       entries_) == kOk;
  for (size_t i = 0; i < entries_.size(); ++i)
    new QTreeWidgetItem(list_,
                        {QString::number(i + 1), ToQ(entries_[i].title), ToQ(entries_[i].url)});
  // Titles are shown whole; the URL column takes what is left and scrolls.
  list_->resizeColumnToContents(1);
  list_->setColumnWidth(1, std::max(list_->columnWidth(1) + 12, 300));
  adjustSize();
  CentreOnScreen(this);
}

void PredefinedDialog::accept() {
  selection_ = SelectedRows(list_);
  QDialog::accept();
}

}  // namespace quorix::panelui
