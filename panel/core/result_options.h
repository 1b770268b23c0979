// The search options that shape the results, the node back-off and the page
// deadline: their values as the dialog edits them, their checks and where they
// are stored.
#pragma once

#include <cstdint>
#include <string>

#include "config/settings.h"

namespace quorix::panel {

// A whole-number setting typed into a field, with the range it must lie in.
struct NumberRule {
  const char* label;  // as the dialog names the field
  int32_t min;
  int32_t max;
};

inline constexpr NumberRule kSpellingThresholdRule{"Suggest spellings below", 1, 1000000};
inline constexpr NumberRule kRecommendedMaxRule{"Recommended links at most", 1, 100};
inline constexpr NumberRule kBackoffFailuresRule{"Failures before a pause", 1, 1000};
inline constexpr NumberRule kBackoffSecsRule{"First pause (seconds)", 0, 86400};
inline constexpr NumberRule kPageDeadlineRule{"Page deadline (ms, 0 = wait for every node)", 0,
                                              600000};

// Empty when `text` is a whole number within `rule`, else the sentence that
// says what is wrong.
std::string NumberProblem(const std::string& text, const NumberRule& rule);

struct ResultOptions {
  bool pageMarkup = false;  // labelled, list-based page markup
  bool useCats = false;
  bool searchMultiCats = false;  // several categories at once
  bool spelling = false;
  std::string spellingWhenLessThan;
  bool recommended = false;
  std::string recommendedMax;
  bool useDateTime = false;  // sort links by date
  std::string backoffFailures;
  std::string backoffSecs;
  std::string pageDeadlineMs;  // the page waits no longer for slow nodes

  void Load(const Config& config);
  // The first field that holds no acceptable value, as a sentence; empty when
  // all do. A switched-off feature's number is not checked.
  std::string Problem() const;
  // Stores the fields (Problem() must be empty).
  void Store(Config& config) const;
};

// True when a setting these options hold differs between `a` and `b`.
bool ResultOptionsDiffer(const Config& a, const Config& b);

}  // namespace quorix::panel
