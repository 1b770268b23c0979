// The search options' pages for the results page's features and for the
// node back-off and the page deadline. Numbers are checked as they are typed: a field out of its
// range is marked and the reason shown under it.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include "panel/core/result_options.h"

namespace quorix::panelui {

// A number field with its rule: marked, with the reason below it, while its
// text is not acceptable.
class CheckedNumber : public QWidget {
  Q_OBJECT
 public:
  CheckedNumber(const panel::NumberRule& rule, const char* name, QWidget* parent);
  QLineEdit* edit() const { return edit_; }
  // Shows the check of the current text; `enabled` false hides it.
  void Check();

 private:
  const panel::NumberRule& rule_;
  QLineEdit* edit_;
  QLabel* problem_;
};

class ResultOptionsPage : public QWidget {
  Q_OBJECT
 public:
  explicit ResultOptionsPage(QWidget* parent);
  void Show(const panel::ResultOptions& options);
  void Read(panel::ResultOptions& options) const;

 private:
  void FollowSwitches();
  QCheckBox* pageMarkup_;
  QCheckBox* useCats_;
  QCheckBox* multiCats_;
  QCheckBox* spelling_;
  CheckedNumber* spellingBelow_;
  QCheckBox* recommended_;
  CheckedNumber* recommendedMax_;
  QCheckBox* useDateTime_;
};

class BackoffPage : public QWidget {
  Q_OBJECT
 public:
  explicit BackoffPage(QWidget* parent);
  void Show(const panel::ResultOptions& options);
  void Read(panel::ResultOptions& options) const;

 private:
  CheckedNumber* failures_;
  CheckedNumber* seconds_;
  CheckedNumber* pageDeadline_;
};

}  // namespace quorix::panelui
