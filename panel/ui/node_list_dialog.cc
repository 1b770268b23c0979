#include "panel/ui/node_list_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "panel/core/node_dialog.h"
#include "panel/core/node_table.h"
#include "panel/ui/node_edit_dialog.h"
#include "panel/ui/widgets_common.h"

namespace quorix::panelui {

using namespace panel;

NodeListDialog::NodeListDialog(PanelSession& session, QWidget* parent)
    : QDialog(parent), session_(session) {
  setObjectName(QStringLiteral("nodeListDialog"));
  setWindowTitle(QStringLiteral("Add/Remove Search Slave(s)"));
  auto* layout = new QGridLayout(this);
  list_ = MakeReportList(
      {QStringLiteral("Node (type)"), QStringLiteral("URL"), QStringLiteral("Timeout")},
      {130, 330, 70}, true, this);
  list_->setObjectName(QStringLiteral("nodeList"));
  list_->setMinimumSize(540, 260);
  layout->addWidget(list_, 0, 0, 1, 2);
  layout->addWidget(new QLabel(QStringLiteral("*Disabled nodes are greyed out"), this), 1, 0);

  auto* side = new QVBoxLayout;
  auto addButton = [&](const char* text, const char* name) {
    auto* button = new QPushButton(QString::fromLatin1(text), this);
    button->setObjectName(QString::fromLatin1(name));
    button->setMinimumWidth(90);
    side->addWidget(button);
    return button;
  };
  QPushButton* ok = addButton("&OK", "ok");
  ok->setDefault(true);
  side->addSpacing(12);
  QPushButton* add = addButton("&Add", "add");
  QPushButton* edit = addButton("&Edit", "edit");
  QPushButton* remove = addButton("&Remove", "remove");
  side->addStretch(1);
  QPushButton* help = addButton("&Help", "help");
  QPushButton* cancel = addButton("&Cancel", "cancel");
  layout->addLayout(side, 0, 2, 2, 1);

  connect(ok, &QPushButton::clicked, this, &NodeListDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(add, &QPushButton::clicked, this, &NodeListDialog::AddNode);
  connect(edit, &QPushButton::clicked, this, &NodeListDialog::EditNode);
  connect(remove, &QPushButton::clicked, this, &NodeListDialog::RemoveNodes);
  connect(help, &QPushButton::clicked, this,
          [this] { session_.ShowHelp(BoxOwner::kDialog, "HID_CONFIGURE_SLAVES.htm"); });
  connect(list_, &QTreeWidget::itemDoubleClicked, this, &NodeListDialog::EditNode);
  connect(list_, &QTreeWidget::customContextMenuRequested, this, &NodeListDialog::ShowPopup);
  // Shift+F10 opens the popup menu at the current row, as the menu key does.
  auto* popupKey = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), list_, nullptr, nullptr,
                                 Qt::WidgetShortcut);
  connect(popupKey, &QShortcut::activated, this, [this] {
    QRect row = list_->visualItemRect(list_->currentItem());
    ShowPopup(row.isValid() ? row.center() : QPoint(0, 0));
  });

  BeginEdit(session_, EditScope::kSettings);
  Fill();
  adjustSize();
  CentreOnScreen(this);
}

void NodeListDialog::Fill() {
  list_->clear();
  for (const NodeRow& row : FillNodeList(session_.work)) {
    auto* item = new QTreeWidgetItem(list_, {ToQ(row.label), ToQ(row.url), ToQ(row.timeout)});
    QColor colour = ToColor(NodeRowColour(row.disabled));
    for (int column = 0; column < 3; ++column) item->setForeground(column, colour);
  }
}

void NodeListDialog::AddNode() {
  NodeEditDialog dialog(session_, NodeDialogMode::kAdd, {}, this);
  if (dialog.Prepared()) dialog.exec();
  Fill();
}

void NodeListDialog::EditNode() {
  NodeEditDialog dialog(session_, NodeDialogMode::kEdit, SelectedRows(list_), this);
  if (dialog.Prepared()) dialog.exec();
  Fill();
}

void NodeListDialog::RemoveNodes() {
  RemoveSelectedNodes(session_, SelectedRows(list_));
  Fill();
}

void NodeListDialog::SetSelectedDisabled(bool disabled) {
  SetSelectedNodesDisabled(session_, SelectedRows(list_), disabled);
  Fill();
}

void NodeListDialog::ShowPopup(const QPoint& position) {
  QMenu menu(this);
  menu.setObjectName(QStringLiteral("nodePopup"));
  menu.addAction(QStringLiteral("E&nable"), this, [this] { SetSelectedDisabled(false); });
  menu.addAction(QStringLiteral("&Disable"), this, [this] { SetSelectedDisabled(true); });
  menu.exec(list_->viewport()->mapToGlobal(position));
}

void NodeListDialog::reject() {
  if (ConfirmDiscardNodeChanges(session_)) QDialog::reject();
}

void NodeListDialog::accept() {
  CommitEdit(session_, EditScope::kSettings);
  QDialog::accept();
}

}  // namespace quorix::panelui
