#include "panel/ui/new_language_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace quorix::panelui {

NewLanguageDialog::NewLanguageDialog(const QString& preset,
                                     std::function<bool(const std::string&)> accept,
                                     QWidget* parent)
    : QDialog(parent), acceptName_(std::move(accept)) {
  setObjectName(QStringLiteral("newLanguageDialog"));
  setWindowTitle(QStringLiteral("Create new language file"));
  auto* layout = new QGridLayout(this);
  auto* text = new QLabel(
      QStringLiteral("Enter a filename for the new language file.  The filename must end with "
                     "\".vlang\""),
      this);
  text->setWordWrap(true);
  layout->addWidget(text, 0, 0, 1, 2);
  auto* nameLabel = new QLabel(QStringLiteral("&Filename:"), this);
  layout->addWidget(nameLabel, 1, 0);
  name_ = new QLineEdit(preset, this);
  nameLabel->setBuddy(name_);
  name_->setObjectName(QStringLiteral("fileName"));
  name_->setMaxLength(510);
  layout->addWidget(name_, 1, 1);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
  buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &NewLanguageDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons, 2, 0, 1, 2);
  setFixedWidth(380);
  adjustSize();
}

void NewLanguageDialog::accept() {
  if (acceptName_(name_->text().toStdString())) QDialog::accept();
}

}  // namespace quorix::panelui
