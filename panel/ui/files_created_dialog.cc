#include "panel/ui/files_created_dialog.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "panel/ui/widgets_common.h"

namespace quorix::panelui {

namespace {

QPlainTextEdit* LinesBox(const std::vector<std::string>& lines, const QString& name,
                         QWidget* parent) {
  auto* box = new QPlainTextEdit(parent);
  box->setObjectName(name);
  box->setReadOnly(true);
  box->setLineWrapMode(QPlainTextEdit::NoWrap);
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  box->setPlainText(DisplayLines(text));
  box->setMinimumHeight(box->fontMetrics().lineSpacing() * 5 + 12);
  return box;
}

}  // namespace

FilesCreatedDialog::FilesCreatedDialog(const std::vector<std::string>& files,
                                       const std::vector<std::string>& notes,
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
  groupLayout->addWidget(LinesBox(files, QStringLiteral("requiredFiles"), group));
  layout->addWidget(group, 1);
  auto* notesGroup = new QGroupBox(QStringLiteral("On the web server:"), this);
  auto* notesLayout = new QVBoxLayout(notesGroup);
  notesLayout->addWidget(LinesBox(notes, QStringLiteral("deploymentNotes"), notesGroup));
  layout->addWidget(notesGroup, 1);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
  QPushButton* helpButton = buttons->addButton(QStringLiteral("&Help"), QDialogButtonBox::HelpRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(helpButton, &QPushButton::clicked, this, [help] { help(); });
  layout->addWidget(buttons);
  resize(640, 400);
}

}  // namespace quorix::panelui
