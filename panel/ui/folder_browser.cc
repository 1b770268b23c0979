#include "panel/ui/folder_browser.h"

#include <QDir>
#include <QFileInfo>
#include <QVBoxLayout>

namespace quorix::panelui {

FolderBrowser::FolderBrowser(const QString& instruction, const QString& start, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("folderBrowser"));
  setWindowTitle(QStringLiteral("Browse For Folder"));
  auto* layout = new QVBoxLayout(this);
  auto* text = new QLabel(instruction, this);
  text->setWordWrap(true);
  layout->addWidget(text);
  chooser_ = new QFileDialog(this);
  chooser_->setWindowFlags(Qt::Widget);
  chooser_->setOption(QFileDialog::DontUseNativeDialog, true);
  chooser_->setOption(QFileDialog::ShowDirsOnly, true);
  chooser_->setFileMode(QFileDialog::Directory);
  chooser_->setDirectory(QFileInfo(start).isDir() && !start.isEmpty() ? start : QDir::homePath());
  layout->addWidget(chooser_, 1);
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("status"));
  layout->addWidget(status_);
  auto showPath = [this](const QString& path) {
    if (QFileInfo(path).isDir()) status_->setText(QDir::toNativeSeparators(path));
  };
  connect(chooser_, &QFileDialog::currentChanged, this, showPath);
  connect(chooser_, &QFileDialog::directoryEntered, this, showPath);
  connect(chooser_, &QFileDialog::fileSelected, this, [this](const QString& path) {
    chosen_ = path;
    accept();
  });
  connect(chooser_, &QFileDialog::rejected, this, &QDialog::reject);
  showPath(chooser_->directory().absolutePath());
  resize(640, 440);
}

}  // namespace quorix::panelui
