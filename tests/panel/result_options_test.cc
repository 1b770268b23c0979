// The results page's features and the node back-off in the search options.
#include "panel/core/result_options.h"

#include <gtest/gtest.h>

#include <string>

#include "panel/core/options_dialog.h"
#include "panel/core/settings_flows.h"
#include "panel_fixture.h"

namespace quorix::panel::testing {
namespace {

using ResultOptionsTest = PanelTest;

// The results page's features and the back-off: numbers outside their range
// keep the dialog open with the reason; a switched-off feature's number is not
// checked; accepted values reach the settings unsaved.
TEST_F(ResultOptionsTest, CheckedAndStoredByTheOptionsDialog) {
  struct Case {
    bool spelling;
    const char* spellingBelow;
    const char* recommendedMax;
    const char* failures;
    const char* problem;  // empty: accepted
  } cases[] = {
      {true, "10", "5", "3", ""},
      {true, "0", "5", "3", "\"Suggest spellings below\" takes a whole number from 1 to 1000000."},
      {false, "0", "5", "3", ""},
      {true, "10", "101", "3", "\"Recommended links at most\" takes a whole number from 1 to 100."},
      {true, "10", "5", "", "\"Failures before a pause\" takes a whole number from 1 to 1000."},
  };
  for (const Case& c : cases) {
    NewSettings(*session);
    session->flags.unsaved = false;
    OptionsDialog dialog(*session);
    dialog.Open();
    EXPECT_TRUE(dialog.results.pageMarkup && dialog.results.useDateTime) << "new settings";
    dialog.results.spelling = c.spelling;
    dialog.results.spellingWhenLessThan = c.spellingBelow;
    dialog.results.recommendedMax = c.recommendedMax;
    dialog.results.backoffFailures = c.failures;
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
    EXPECT_TRUE(session->flags.unsaved);
  }
}

}  // namespace
}  // namespace quorix::panel::testing
