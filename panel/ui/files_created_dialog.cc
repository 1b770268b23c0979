#include "panel/ui/files_created_dialog.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "panel/ui/widgets_common.h"

namespace quorix::panelui {

FilesCreatedDialog::FilesCreatedDialog(const std::vector<std::string>& files,
                                       std::function<void()> help, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("filesCreatedDialog"));
  setWindowTitle(QStringLiteral("Quorix CGI files successfully created"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Quorix CGI files successfully created.\nYou will "
                                              "now need to copy the following required files to "
                                              "your web server."),
                               this));
  auto* group = new QGroupBox(QStringLiteral("Required Quorix CGI files:"), this);
  auto* groupLayout = new QVBoxLayout(group);
  auto* list = new QPlainTextEdit(group);
  list->setObjectName(QStringLiteral("requiredFiles"));
  list->setReadOnly(true);
  list->setLineWrapMode(QPlainTextEdit::NoWrap);
  std::string text;
  for (const std::string& file : files) text += file + "\r\n";
  list->setPlainText(DisplayLines(text));
  list->setMinimumHeight(list->fontMetrics().lineSpacing() * 5 + 12);
  groupLayout->addWidget(list);
  layout->addWidget(group, 1);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
  QPushButton* helpButton = buttons->addButton(QStringLiteral("Help"), QDialogButtonBox::HelpRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(helpButton, &QPushButton::clicked, this, [help] { help(); });
  layout->addWidget(buttons);
  resize(520, 260);
}

}  // namespace quorix::panelui
