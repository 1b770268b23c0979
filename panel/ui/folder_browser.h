// Chooses the output folder: the instruction above a folder chooser, and a
// status line that shows the path of the folder selected.
#pragma once

#include <QDialog>
#include <QFileDialog>
#include <QLabel>

namespace quorix::panelui {

class FolderBrowser : public QDialog {
  Q_OBJECT
 public:
  // Starts at `start` when it names a folder.
  FolderBrowser(const QString& instruction, const QString& start, QWidget* parent);
  // The folder chosen (after Accepted).
  QString ChosenFolder() const { return chosen_; }
  QFileDialog* Chooser() const { return chooser_; }

 private:
  QFileDialog* chooser_;
  QLabel* status_;
  QString chosen_;
};

}  // namespace quorix::panelui
