// The verification logging preferences: the log window's detail and whether
// log lines also go to QuorixControlPanel.log.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>

#include "panel/core/verification.h"

namespace quorix::panelui {

class VerificationPreferenceDialog : public QDialog {
  Q_OBJECT
 public:
  VerificationPreferenceDialog(panel::PanelSession& session, QWidget* parent);

  void accept() override;

 private:
  panel::VerificationPreferenceDialog preferences_;
  QComboBox* debugLevel_;
  QCheckBox* fileLogging_;
};

}  // namespace quorix::panelui
