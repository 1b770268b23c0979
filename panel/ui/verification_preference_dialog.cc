#include "panel/ui/verification_preference_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace quorix::panelui {

VerificationPreferenceDialog::VerificationPreferenceDialog(panel::PanelSession& session,
                                                           QWidget* parent)
    : QDialog(parent), preferences_(session) {
  setObjectName(QStringLiteral("verificationPreferenceDialog"));
  setWindowTitle(QStringLiteral("Verification preference"));
  auto* layout = new QGridLayout(this);
  auto* debugLabel = new QLabel(QStringLiteral("&Debug mode:"), this);
  layout->addWidget(debugLabel, 0, 0);
  debugLevel_ = new QComboBox(this);
  debugLabel->setBuddy(debugLevel_);
  debugLevel_->setObjectName(QStringLiteral("debugLevel"));
  for (const char* entry : panel::kDebugLevelEntries)
    debugLevel_->addItem(QString::fromLatin1(entry));
  layout->addWidget(debugLevel_, 0, 1);
  fileLogging_ = new QCheckBox(QStringLiteral("Turn on verification &file logging*"), this);
  fileLogging_->setObjectName(QStringLiteral("fileLogging"));
  layout->addWidget(fileLogging_, 1, 0, 1, 2);
  auto* note = new QLabel(QStringLiteral("* Log file is QuorixControlPanel.log"), this);
  note->setEnabled(false);
  layout->addWidget(note, 2, 0, 1, 2);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
  buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &VerificationPreferenceDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons, 3, 0, 1, 2);
  layout->setColumnStretch(1, 1);

  preferences_.Open();
  debugLevel_->setCurrentIndex(preferences_.debugLevelIndex);
  fileLogging_->setChecked(preferences_.fileLogging);
  // About 176 x 97 dialog units.
  resize(280, 160);
}

void VerificationPreferenceDialog::accept() {
  preferences_.debugLevelIndex = debugLevel_->currentIndex();
  preferences_.fileLogging = fileLogging_->isChecked();
  preferences_.Ok();
  QDialog::accept();
}

}  // namespace quorix::panelui
