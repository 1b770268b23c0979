#include "panel/ui/about_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "panel/ui/widgets_common.h"

namespace quorix::panelui {

QString AboutDialog::Text() {
  return QStringLiteral("%1 %2\n%3")
      .arg(QString::fromLatin1(kProgramName), QString::fromLatin1(kProgramVersion),
           QStringLiteral("Copyright (C) 2024 The Quorix developers\n"
                          "https://quorix.example.org/"));
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("aboutDialog"));
  setWindowTitle(QString::fromLatin1(kProgramName));
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  auto* icon = new QLabel(this);
  icon->setPixmap(PanelPixmap(QStringLiteral("quorix-control-panel"), 48));
  icon->setAlignment(Qt::AlignTop);
  top->addWidget(icon);
  auto* text = new QLabel(Text(), this);
  text->setObjectName(QStringLiteral("aboutText"));
  text->setTextInteractionFlags(Qt::TextSelectableByMouse);
  top->addWidget(text, 1);
  layout->addLayout(top);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace quorix::panelui
