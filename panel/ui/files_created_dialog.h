// Lists the generated files that go to the web server.
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

namespace quorix::panelui {

class FilesCreatedDialog : public QDialog {
  Q_OBJECT
 public:
  // `help` opens the help page about installing the files.
  FilesCreatedDialog(const std::vector<std::string>& files, std::function<void()> help,
                     QWidget* parent);
};

}  // namespace quorix::panelui
