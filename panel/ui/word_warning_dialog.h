// The warning shown before a word processor opens the page template.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <functional>

namespace quorix::panelui {

class WordWarningDialog : public QDialog {
  Q_OBJECT
 public:
  // `help` opens the help page about the HTML editor.
  WordWarningDialog(std::function<void()> help, QWidget* parent);
  // True when "Do not check for Word again" was ticked.
  bool DoNotCheckAgain() const;

 private:
  QCheckBox* doNotCheck_;
};

}  // namespace quorix::panelui
