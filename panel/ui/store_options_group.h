// The search options' group for several web servers: the shared store, its
// key prefix, password file and time-out, the visitor limit and the trusted
// proxies, checked as the administrator types.
#pragma once

#include <QGroupBox>

#include "config/settings.h"

class QLabel;
class QLineEdit;

namespace quorix::panelui {

class StoreOptionsGroup : public QGroupBox {
  Q_OBJECT

 public:
  explicit StoreOptionsGroup(QWidget* parent);

  void Show(const Config& config);
  // Writes the fields into `config`; false, leaving it unchanged, while the
  // group shows a problem.
  bool Store(Config& config);

 private:
  Config Edited(const Config& base) const;
  void Check();

  Config shown_;
  QLineEdit* store_;
  QLineEdit* prefix_;
  QLineEdit* passwordFile_;
  QLineEdit* timeout_;
  QLineEdit* rateLimit_;
  QLineEdit* proxies_;
  QLabel* problem_;
};

}  // namespace quorix::panelui
