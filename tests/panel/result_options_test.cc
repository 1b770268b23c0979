// The results page's features, the node back-off and the page deadline in the search options.
#include "panel/core/result_options.h"

#include <gtest/gtest.h>

#include <string>

#include "panel/core/options_dialog.h"
#include "panel/core/settings_flows.h"
#include "panel_fixture.h"

namespace quorix::panel::testing {
namespace {

using ResultOptionsTest = PanelTest;

// The results page's features, the back-off and the page deadline: numbers outside their range
// keep the dialog open with the reason; a switched-off feature's number is not
// checked; accepted values reach the settings unsaved.
TEST_F(ResultOptionsTest, CheckedAndStoredByTheOptionsDialog) {
  constexpr char kDeadlineProblem[] =
      "\"Page deadline (ms, 0 = wait for every node)\" takes a whole number from 0 to 600000.";
  struct Case {
    bool spelling;
    const char* spellingBelow;
    const char* recommendedMax;
    const char* failures;
    const char* deadline;
    const char* problem;  // empty: accepted
  } cases[] = {
      {true, "10", "5", "3", "1500", ""},
      {true, "0", "5", "3", "1500",
       "\"Suggest spellings below\" takes a whole number from 1 to 1000000."},
      {false, "0", "5", "3", "0", ""},
      {true, "10", "101", "3", "1500",
       "\"Recommended links at most\" takes a whole number from 1 to 100."},
      {true, "10", "5", "", "1500",
       "\"Failures before a pause\" takes a whole number from 1 to 1000."},
      {true, "10", "5", "3", "600000", ""},
      {true, "10", "5", "3", "600001", kDeadlineProblem},
      {true, "10", "5", "3", "-1", kDeadlineProblem},
      {true, "10", "5", "3", "", kDeadlineProblem},
  };
  for (const Case& c : cases) {
    NewSettings(*session);
    session->flags.unsaved = false;
    OptionsDialog dialog(*session);
    dialog.Open();
    EXPECT_TRUE(dialog.results.pageMarkup && dialog.results.useDateTime) << "new settings";
    EXPECT_EQ(dialog.results.pageDeadlineMs, "1500") << "new settings";
    dialog.results.spelling = c.spelling;
    dialog.results.spellingWhenLessThan = c.spellingBelow;
    dialog.results.recommendedMax = c.recommendedMax;
    dialog.results.backoffFailures = c.failures;
    dialog.results.pageDeadlineMs = c.deadline;
    dialog.results.useCats = true;
    desktop.boxes.clear();
    EXPECT_EQ(dialog.Ok(), std::string(c.problem).empty()) << c.problem;
    if (*c.problem) {
      ASSERT_EQ(desktop.boxes.size(), 1u);
      EXPECT_EQ(desktop.boxes[0].text, c.problem);
      continue;
    }
    EXPECT_EQ(session->live.useCats, 1);
    EXPECT_EQ(session->live.spelling, c.spelling ? 1 : 0);
    EXPECT_EQ(session->live.spellingWhenLessThan, 10) << "an unusable number is not stored";
    EXPECT_EQ(session->live.pageDeadlineMs, std::stoi(c.deadline));
    EXPECT_TRUE(session->flags.unsaved);
  }
}

}  // namespace
}  // namespace quorix::panel::testing
