#include "nodequery/settings_check.h"

#include <gtest/gtest.h>

#include <memory>

#include "tests/support/node_answers.h"
#include "tests/support/recording_log.h"

namespace quorix {
namespace {

using testing::AddNodeAnswer;

using testing::RecordingLog;

TEST(CheckVexaNodeSettings, MismatchNamesTheFirstDifferingSetting) {
  struct Case {
    const char* name;
    void (*change)(SettingsBlock&);
    const char* line;
  } cases[] = {
      {"spelling and word length",
       [](SettingsBlock& s) {
         s.Spelling = true;
         s.MinWordLen = 4;
       },
       "Node #1 Vexa Indexer settings for \"MinWordLen\" is NOT the same as Node #2"},
      {"version only", [](SettingsBlock& s) { s.Version = "2"; },
       "Node #1 Vexa Indexer settings for \"Version\" is NOT the same as Node #2"},
      {"highlight limit", [](SettingsBlock& s) { s.HighlightLimit = 9; },
       "Node #1 Vexa Indexer settings for \"HighlightLimit\" is NOT the same as Node #2"},
      {"link target", [](SettingsBlock& s) { s.LinkTarget = "_blank"; },
       "Node #1 Vexa Indexer settings for \"LinkTarget\" is NOT the same as Node #2"},
  };
  for (const auto& c : cases) {
    Config config;
    config.nodeCount = 3;
    NodeResults results;
    AddNodeAnswer(results, 0, 0, false);
    AddNodeAnswer(results, 1, 0, true);
    AddNodeAnswer(results, 2, 0, true);
    results.channels[0].settings.Version = "differs but invalid";
    c.change(results.channels[2].settings);
    RecordingLog log;
    DisplayValues display;
    EXPECT_GT(CheckVexaNodeSettings(config, results, log, display), 0) << c.name;
    ASSERT_EQ(log.Lines().size(), 1u) << c.name;
    EXPECT_TRUE(log.Has(kLogError, c.line)) << c.name;
  }
}

TEST(CheckVexaNodeSettings, OneLinePerRequestAndPanelForm) {
  Config config;
  config.nodeCount = 3;
  NodeResults results;
  for (int i = 0; i < 3; ++i) AddNodeAnswer(results, i, 0, true);
  results.channels[1].settings.UseCats = true;
  results.channels[2].settings.NumCats = 5;
  RecordingLog log;
  DisplayValues display;
  SettingsCheckOptions panel;
  panel.colonInMismatchLine = true;
  EXPECT_GT(CheckVexaNodeSettings(config, results, log, display, panel), 0);
  ASSERT_EQ(log.Lines().size(), 1u);
  EXPECT_EQ(log.Lines()[0].text,
            "Node #0: Vexa Indexer settings for \"UseCats\" is NOT the same as Node #1");
}

TEST(CheckVexaNodeSettings, EqualOrSingleNodesGiveZero) {
  Config config;
  config.nodeCount = 2;
  NodeResults single;
  AddNodeAnswer(single, 1, 0, true);
  RecordingLog log;
  DisplayValues display;
  EXPECT_EQ(CheckVexaNodeSettings(config, single, log, display), 0);
  NodeResults same;
  AddNodeAnswer(same, 0, 0, true);
  AddNodeAnswer(same, 1, 0, true);
  same.channels[0].settings.Version = same.channels[1].settings.Version = "5";
  EXPECT_EQ(CheckVexaNodeSettings(config, same, log, display), 0);
  EXPECT_TRUE(log.Lines().empty());
}

TEST(CheckVexaNodeSettings, DisplayValuesComeFromTheFirstValidNode) {
  Config config;
  config.nodeCount = 3;
  config.useCats = 1;
  NodeResults results;
  AddNodeAnswer(results, 0, 0, false);
  AddNodeAnswer(results, 1, 0, true);
  AddNodeAnswer(results, 2, 0, true);
  results.channels[0].vexaSearchQuery = "invalid node";
  Channel& first = results.channels[1];
  first.vexaSearchQuery = "cats";
  first.vexaSearchCategory = "Pets";
  first.settings.NumCats = 2;
  first.catNames[0] = "Pets";
  first.catNames[1] = "Zoo";
  first.catNames[2] = "not announced";
  results.channels[2].settings = first.settings;
  results.channels[2].vexaSearchQuery = "second";
  RecordingLog log;
  DisplayValues display;
  EXPECT_EQ(CheckVexaNodeSettings(config, results, log, display), 0);
  EXPECT_EQ(display.searchQuery, "cats");
  EXPECT_EQ(display.searchCategory, "Pets");
  EXPECT_EQ(display.numCats, 2);
  EXPECT_EQ(display.catNames, (std::vector<std::string>{"Pets", "Zoo"}));

  // A node announcing more categories than the record holds, or a negative count.
  first.settings.NumCats = 1000;
  results.channels[2].settings.NumCats = 1000;
  EXPECT_EQ(CheckVexaNodeSettings(config, results, log, display), 0);
  EXPECT_EQ(display.numCats, 64);
  EXPECT_EQ(display.catNames.size(), 64u);
  first.settings.NumCats = -3;
  results.channels[2].settings.NumCats = -3;
  CheckVexaNodeSettings(config, results, log, display);
  EXPECT_EQ(display.numCats, 0);

  config.useCats = 0;
  DisplayValues withoutCats;
  CheckVexaNodeSettings(config, results, log, withoutCats);
  EXPECT_EQ(withoutCats.searchQuery, "cats");
  EXPECT_EQ(withoutCats.searchCategory, "");
  EXPECT_TRUE(withoutCats.catNames.empty());
}

// Mixed configurations are not compared: their scores are the merge's business.
TEST(CheckVexaNodeSettings, MixedConfigurationIsNotCompared) {
  Config config;
  config.nodeCount = 3;
  config.allVexaNodes = false;
  NodeResults results;
  AddNodeAnswer(results, 0, 0, true, 1);
  AddNodeAnswer(results, 2, 0, true, 1);
  results.channels[0].items[0]->vexaScore = 42;
  results.channels[0].settings.Version = "a";
  results.channels[2].settings.Version = "b";
  RecordingLog log;
  DisplayValues display;
  EXPECT_EQ(CheckVexaNodeSettings(config, results, log, display), 0);
  EXPECT_EQ(results.channels[0].items[0]->vexaScore, 42);
  EXPECT_TRUE(log.Lines().empty());
  EXPECT_TRUE(display.searchQuery.empty());
}

}  // namespace
}  // namespace quorix
