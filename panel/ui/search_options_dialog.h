// The search options: caching, over-requesting, the search form, the info
// line and timing, the language file and the search program's logging. The
// values, their checks and the commands belong to panel::OptionsDialog.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QSlider>

#include "panel/core/options_dialog.h"
#include "panel/ui/store_options_group.h"

namespace quorix::panelui {

class SearchOptionsDialog : public QDialog {
  Q_OBJECT
 public:
  SearchOptionsDialog(panel::PanelSession& session, QWidget* parent);

  void accept() override;

 private:
  QWidget* BuildCacheGroup();
  QWidget* BuildFormGroup();
  QWidget* BuildLanguageGroup();
  QWidget* BuildLoggingGroup();
  void ShowFields();
  void ShowLanguages();
  void ReadFields();

  panel::PanelSession& session_;
  panel::OptionsDialog options_;
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
