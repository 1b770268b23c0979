// The search options, on pages: the search (caching, over-requesting, the
// form), the results page's features, the node back-off, what browsers show,
// the language file and the logging. The values, their checks and the
// commands belong to panel::OptionsDialog.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QSlider>
#include <QTabWidget>
#include <initializer_list>

#include "panel/core/options_dialog.h"
#include "panel/ui/result_options_page.h"
#include "panel/ui/store_options_group.h"

namespace quorix::panelui {

class SearchOptionsDialog : public QDialog {
  Q_OBJECT
 public:
  SearchOptionsDialog(panel::PanelSession& session, QWidget* parent);

  void accept() override;

  // Adds a page of further options; the window grows to fit it.
  void AddPage(QWidget* page, const QString& title);

 private:
  QWidget* Column(std::initializer_list<QWidget*> groups);
  // Sizes the window to its contents, within the screen.
  void FitToContents();
  QWidget* BuildBrowserGroup();
  QWidget* BuildCacheGroup();
  QWidget* BuildFormGroup();
  QWidget* BuildLanguageGroup();
  QWidget* BuildLoggingGroup();
  void ShowFields();
  void ShowLanguages();
  void ReadFields();

  panel::PanelSession& session_;
  panel::OptionsDialog options_;
  QTabWidget* tabs_;
  ResultOptionsPage* resultsPage_;
  BackoffPage* backoffPage_;
  QLineEdit* cacheExpiry_;
  QSlider* overRequest_;
  QComboBox* formFormat_;
  QCheckBox* defaultToAnd_;
  QCheckBox* timing_;
  QCheckBox* vexaInfo_;
  QCheckBox* mergeDuplicates_;
  QCheckBox* showSources_;
  QComboBox* language_;
  QComboBox* debugMode_;
  QCheckBox* allowRequestDebug_;
  QCheckBox* debugLogging_;
  QLineEdit* debugFile_;
  QCheckBox* logging_;
  QLineEdit* logFile_;
  QLineEdit* shortName_;
  QLineEdit* description_;
  StoreOptionsGroup* storeOptions_ = nullptr;
};

}  // namespace quorix::panelui
