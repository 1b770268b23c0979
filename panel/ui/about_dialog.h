// The About box: program name, version, copyright and home page.
#pragma once

#include <QDialog>

namespace quorix::panelui {

inline constexpr char kProgramName[] = "Quorix ControlPanel";
inline constexpr char kProgramVersion[] = "v1.0 (Build 1000)";

class AboutDialog : public QDialog {
  Q_OBJECT
 public:
  explicit AboutDialog(QWidget* parent);
  // "<name> <version>\n<copyright>\n<home page>".
  static QString Text();
};

}  // namespace quorix::panelui
