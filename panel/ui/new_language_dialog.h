// Asks for the name of a new language file; stays open until the name given
// is accepted or the user cancels.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <functional>
#include <string>

namespace quorix::panelui {

class NewLanguageDialog : public QDialog {
  Q_OBJECT
 public:
  // `accept` is asked about each name confirmed with OK (it tells the user why
  // it refuses one).
  NewLanguageDialog(const QString& preset, std::function<bool(const std::string&)> accept,
                    QWidget* parent);
  QString FileName() const { return name_->text(); }

  void accept() override;

 private:
  QLineEdit* name_;
  std::function<bool(const std::string&)> acceptName_;
};

}  // namespace quorix::panelui
