#include "panel/ui/word_warning_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace quorix::panelui {

WordWarningDialog::WordWarningDialog(std::function<void()> help, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("wordWarningDialog"));
  setWindowTitle(QStringLiteral("Warning: Word may be selected as default HTML editor"));
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  auto* icon = new QLabel(this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
  icon->setAlignment(Qt::AlignTop);
  top->addWidget(icon);
  auto* texts = new QVBoxLayout;
  for (const char* text :
       {"Vexa has detected that a MS Office application (possibly Word) is selected as the "
        "current default editor for HTML files.",
        "This warning is to inform you that there are known issues with editing HTML files in "
        "Word which can potentially render a search template useless for Vexa.",
        "If Word is your default editor, please select another application to edit your HTML "
        "files in the following window (eg. Dreamweaver, FrontPage, or even Notepad). You can "
        "also click on the Help button for information on how to fix this permenantly.",
        "If FrontPage is already your default editor, please click the \"Do not check for Word\" "
        "option below and continue."}) {
    auto* label = new QLabel(QString::fromUtf8(text), this);
    label->setWordWrap(true);
    texts->addWidget(label);
  }
  top->addLayout(texts, 1);
  layout->addLayout(top);
  doNotCheck_ = new QCheckBox(QStringLiteral("&Do not check for Word again"), this);
  doNotCheck_->setObjectName(QStringLiteral("doNotCheck"));
  layout->addWidget(doNotCheck_);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
  QPushButton* helpButton = buttons->addButton(QStringLiteral("&Help"), QDialogButtonBox::HelpRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(helpButton, &QPushButton::clicked, this, [help] { help(); });
  layout->addWidget(buttons);
  setFixedWidth(460);
}

bool WordWarningDialog::DoNotCheckAgain() const { return doNotCheck_->isChecked(); }

}  // namespace quorix::panelui
