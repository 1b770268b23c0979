// Lists the generated files that go to the web server, and what the web
// server needs before the search runs.
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

namespace quorix::panelui {

class FilesCreatedDialog : public QDialog {
  Q_OBJECT
 public:
  // `notes` are the warnings and instructions for the web server; `help` opens
  // the help page about installing the files.
  FilesCreatedDialog(const std::vector<std::string>& files, const std::vector<std::string>& notes,
                     std::function<void()> help, QWidget* parent);
};

}  // namespace quorix::panelui
