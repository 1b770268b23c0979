#include "search/pipeline/consolidate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "search/pipeline/duplicate_merge.h"
#include "tests/support/node_answers.h"
#include "tests/support/recording_log.h"

namespace quorix {
namespace {

using testing::AddNodeAnswer;

using testing::RecordingLog;

std::unique_ptr<Item> MakeItem(int node, int32_t score, int64_t dateTime = 0) {
  auto item = std::make_unique<Item>();
  item->node = node;
  item->vexaScore = score;
  item->vexaDateTime = dateTime;
  item->title = std::to_string(node) + ":" + std::to_string(score);
  return item;
}

int gComparisons = 0;
int CountingCompareByScore(const Item& a, const Item& b) {
  ++gComparisons;
  return CompareByScore(a, b);
}

TEST(Compare, ScoreHigherFirstAndDateNewerFirst) {
  Item high, low;
  high.vexaScore = 10;
  low.vexaScore = -3;
  EXPECT_LT(CompareByScore(high, low), 0);
  EXPECT_GT(CompareByScore(low, high), 0);
  EXPECT_EQ(CompareByScore(high, high), 0);

  Item newer, older;
  newer.vexaDateTime = 1700000000;
  older.vexaDateTime = -5;  // before 1970: compared as signed
  EXPECT_LT(CompareByDateTime(newer, older), 0);
  EXPECT_GT(CompareByDateTime(older, newer), 0);
  EXPECT_LT(CompareByDateTime(newer, newer), 0) << "equal date-times never compare 0";
}

TEST(Compare, UndatedItemsAfterEveryDatedOne) {
  Item undated, ancient, recent;
  ancient.vexaDateTime = -86400;
  recent.vexaDateTime = 1700000000;
  for (const Item* dated : {&ancient, &recent}) {
    EXPECT_LT(CompareByDateTime(*dated, undated), 0) << dated->vexaDateTime;
    EXPECT_GT(CompareByDateTime(undated, *dated), 0) << dated->vexaDateTime;
  }
  EXPECT_LT(CompareByDateTime(undated, undated), 0);
}

// Sorting many shapes of input must give a permutation of the input in order.
TEST(SortItems, OrdersEveryShapeOfInput) {
  std::mt19937 random(7);
  for (size_t size : {0, 1, 2, 5, 6, 7, 8, 13, 64, 500, 3000}) {
    for (int range : {1, 3, 1000000}) {  // range 1: all equal; 3: many duplicates
      std::vector<std::unique_ptr<Item>> items;
      std::set<const Item*> before;
      for (size_t i = 0; i < size; ++i) {
        int32_t value = static_cast<int32_t>(random() % range) - range / 2;
        items.push_back(MakeItem(0, value, value));
        before.insert(items.back().get());
      }
      for (auto compare : {CompareByScore, CompareByDateTime}) {
        SortItems(items, compare);
        std::set<const Item*> after;
        for (const auto& item : items) after.insert(item.get());
        EXPECT_EQ(after, before) << "size " << size << " range " << range;
        for (size_t i = 1; i < items.size(); ++i) {
          // By date, undated items (0) come after every dated one.
          int64_t previous = items[i - 1]->vexaDateTime, next = items[i]->vexaDateTime;
          bool inOrder = compare == CompareByScore
                             ? items[i - 1]->vexaScore >= items[i]->vexaScore
                             : next == 0 || (previous != 0 && previous >= next);
          ASSERT_TRUE(inOrder) << "size " << size << " range " << range << " at " << i;
        }
      }
    }
  }
}

TEST(SortItems, PresortedAndReversedInputs) {
  for (bool reversed : {false, true}) {
    std::vector<std::unique_ptr<Item>> items;
    for (int i = 0; i < 1000; ++i) items.push_back(MakeItem(0, reversed ? i : 999 - i));
    SortItems(items, CompareByScore);
    for (int i = 0; i < 1000; ++i)
      ASSERT_EQ(items[i]->vexaScore, 999 - i) << "reversed " << reversed << " at " << i;
  }
}

TEST(SortItems, SixRecordsByInsertionSevenByPartition) {
  // Straight insertion over an ordered range makes one comparison per record
  // after the first and keeps equal records in their order.
  std::vector<std::unique_ptr<Item>> six;
  for (int i = 0; i < 6; ++i) six.push_back(MakeItem(i, 60 - i));
  gComparisons = 0;
  SortItems(six, CountingCompareByScore);
  EXPECT_EQ(gComparisons, 5);

  std::vector<std::unique_ptr<Item>> seven;
  for (int i = 0; i < 7; ++i) seven.push_back(MakeItem(i, 70 - i));
  gComparisons = 0;
  SortItems(seven, CountingCompareByScore);
  EXPECT_GT(gComparisons, 6) << "seven records are partitioned first";
  for (int i = 0; i < 7; ++i) EXPECT_EQ(seven[i]->vexaScore, 70 - i);

  std::vector<std::unique_ptr<Item>> equal;
  for (int i = 0; i < 6; ++i) equal.push_back(MakeItem(i, 5));
  SortItems(equal, CompareByScore);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(equal[i]->node, i);

  std::vector<std::unique_ptr<Item>> one;
  one.push_back(MakeItem(0, 1));
  gComparisons = 0;
  SortItems(one, CountingCompareByScore);
  EXPECT_EQ(gComparisons, 0);
}

class ConsolidateTest : public ::testing::Test {
 protected:
  void AddNode(int node, std::initializer_list<int32_t> scores, int64_t dateBase = 0) {
    Channel& channel = results->channels[node];
    channel.valid = true;
    for (int32_t score : scores) {
      channel.items.push_back(MakeItem(node, score, dateBase + score));
      ++channel.osTotalQueriedItems;
      ++results->totals.queriedItems;
    }
    results->totals.resultsValid = true;
  }
  std::vector<std::string> Titles() const {
    std::vector<std::string> titles;
    for (const auto& item : merged) titles.push_back(item->title);
    return titles;
  }

  std::unique_ptr<NodeResults> results = std::make_unique<NodeResults>();
  ItemList merged;
  RecordingLog log;
};

TEST_F(ConsolidateTest, NoValidNodeMovesAndLogsNothing) {
  results->channels[0].items.push_back(MakeItem(0, 5));  // not valid
  results->channels[0].osTotalQueriedItems = 1;
  EXPECT_EQ(ConsolidateResults(*results, false, merged, log), 0);
  EXPECT_TRUE(merged.empty());
  EXPECT_FALSE(log.Contains("Sorting"));
}

TEST_F(ConsolidateTest, ValidNodesInSlotOrderSkippingInvalidOnes) {
  AddNode(0, {5, 1});
  results->channels[1].items.push_back(MakeItem(1, 99));  // invalid node
  results->channels[1].osTotalQueriedItems = 1;
  AddNode(2, {7});
  results->totals.resultsValid = false;  // keeps the unsorted order visible
  ConsolidateResults(*results, false, merged, log);
  EXPECT_EQ(Titles(), (std::vector<std::string>{"0:5", "0:1", "2:7"}));
  EXPECT_FALSE(log.Contains("Sorting"));
  EXPECT_EQ(results->channels[1].items.size(), 1u);
  ASSERT_NE(results->channels[1].items[0], nullptr) << "an invalid node keeps its items";
}

TEST_F(ConsolidateTest, SortsByScoreWithNegativesLast) {
  AddNode(0, {3, -2, 0});
  AddNode(1, {-10, 8, 3});
  ConsolidateResults(*results, false, merged, log);
  std::vector<int32_t> scores;
  for (const auto& item : merged) scores.push_back(item->vexaScore);
  EXPECT_EQ(scores, (std::vector<int32_t>{8, 3, 3, 0, -2, -10}));
  EXPECT_TRUE(log.Has(kLogInfo, "Sorting by score..."));
}

TEST_F(ConsolidateTest, StrictlyDecreasingScoresKeepTheirOrder) {
  AddNode(0, {90, 80, 70, 60, 50, 40, 30, 20, 10});
  ConsolidateResults(*results, false, merged, log);
  EXPECT_EQ(Titles(), (std::vector<std::string>{"0:90", "0:80", "0:70", "0:60", "0:50", "0:40",
                                                "0:30", "0:20", "0:10"}));
}

TEST_F(ConsolidateTest, SortsByDateNewestFirst) {
  AddNode(0, {1, 5, 5}, 1000);
  AddNode(3, {9, 2, 5}, 1000);
  ConsolidateResults(*results, true, merged, log);
  ASSERT_EQ(merged.size(), 6u);
  std::vector<int64_t> dates;
  for (const auto& item : merged) dates.push_back(item->vexaDateTime);
  EXPECT_EQ(dates, (std::vector<int64_t>{1009, 1005, 1005, 1005, 1002, 1001}));
  EXPECT_TRUE(log.Has(kLogInfo, "Sorting by time..."));
}

TEST_F(ConsolidateTest, TakesNoMoreThanTheNodeCounted) {
  AddNode(0, {4, 3});
  results->channels[0].osTotalQueriedItems = 1;
  ConsolidateResults(*results, false, merged, log);
  EXPECT_EQ(Titles(), (std::vector<std::string>{"0:4"}));
}

TEST(NormaliseLink, VariantsOfOnePageShareAForm) {
  struct Case {
    const char* a;
    const char* b;
    bool same;
  } cases[] = {
      {"HTTP://Example.ORG/Path", "http://example.org/Path", true},
      {"http://example.org:80/a", "http://example.org/a", true},
      {"https://example.org:443/a", "https://example.org/a", true},
      {"http://example.org:8080/a", "http://example.org/a", false},
      {"https://example.org:80/a", "https://example.org/a", false},
      {"http://example.org/a#top", "http://example.org/a", true},
      {"http://example.org/a/", "http://example.org/a", true},
      {"http://example.org/a/index.html", "http://example.org/a", true},
      {"http://example.org/", "http://example.org", true},
      {"http://example.org/%7Euser/%41", "http://example.org/~user/A", true},
      {"http://example.org/a%2fb", "http://example.org/a%2Fb", true},
      {"http://example.org/a%2Fb", "http://example.org/a/b", false},
      {"http://example.org/a/?x=1", "http://example.org/a?x=1", true},
      {"http://example.org/a?x=1", "http://example.org/a?x=2", false},
      {"http://example.org/A", "http://example.org/a", false},  // paths keep their case
      {"http://[::1]:80/a", "http://[::1]/a", true},
      {"/relative/", "/relative", false},  // no scheme: only escapes and fragment
  };
  for (const Case& c : cases)
    EXPECT_EQ(NormaliseLink(c.a) == NormaliseLink(c.b), c.same) << c.a << " vs " << c.b;
  EXPECT_EQ(NormaliseLink(""), "");
}

TEST(MergeDuplicateItems, FoldsLaterItemsOfOtherNodesIntoTheFirst) {
  ChannelTable channels;
  channels[1].nodeType = 1;  // an OpenSearch node: its texts are plain
  ItemList items;
  auto add = [&](int node, const char* link, const char* title, const char* description) {
    auto item = MakeItem(node, 0);
    item->link = link;
    item->title = title;
    item->description = description;
    items.push_back(std::move(item));
  };
  add(0, "http://a.test/x/", "", "Vexa <b>x</b>");
  add(1, "HTTP://A.test:80/x", "R&D x", "plain x");
  add(2, "http://a.test/x#part", "Third x", "");
  add(0, "http://a.test/x", "Same node again", "");  // never folded into its own node
  add(1, "http://b.test/", "Only b", "");
  add(2, "", "No link", "");
  add(0, "http://b.test/index.html", "", "From Vexa");

  EXPECT_EQ(MergeDuplicateItems(items, channels), 3u);
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0]->title, "R&amp;D x") << "plain text escaped for a node whose texts are HTML";
  EXPECT_EQ(items[0]->description, "Vexa <b>x</b>");
  EXPECT_EQ(items[0]->alsoFoundAt, 0b110u);
  EXPECT_EQ(items[1]->title, "Same node again");
  EXPECT_EQ(items[1]->alsoFoundAt, 0u);
  EXPECT_EQ(items[2]->title, "Only b");
  EXPECT_EQ(items[2]->description, "From Vexa") << "HTML of a Vexa node kept as plain text";
  EXPECT_EQ(items[2]->alsoFoundAt, 0b1u);
  EXPECT_EQ(items[3]->title, "No link");
}

TEST(ScaleOpenSearchScores, ByPlaceInTheNodesListAndInTheNodeList) {
  struct Case {
    const char* name;
    bool vexaSeen;
    int minScore, maxScore;
    int first, fourth, secondNodeFirst;
    int items = 4;       // returned by each OpenSearch node
    int startIndex = 0;  // their answers' startIndex (0: none given)
  } cases[] = {
      {"narrow range 5 to 60", true, 5, 60, 99, 76, 49},
      {"no Vexa items", false, 0, 0, 99, 76, 49},
      {"wide range 0 to 400", true, 0, 400, 400, 307, 200},
      // The same place scores the same however many items were asked for.
      {"20 items returned", true, 5, 60, 99, 76, 49, 20},
      {"60 items returned", true, 5, 60, 99, 76, 49, 60, 1},
      {"answer starting at index 11", true, 5, 60, 49, 43, 24, 4, 11},
  };
  for (const auto& c : cases) {
    Config config;
    config.nodeCount = 2;
    config.allVexaNodes = false;
    NodeResults results;
    AddNodeAnswer(results, 0, 1, true, c.items);
    AddNodeAnswer(results, 1, 1, true, c.items);
    results.channels[0].osStartIndex = results.channels[1].osStartIndex = c.startIndex;
    AddNodeAnswer(results, 2, 0, true, 1);  // beyond the node count: left alone
    results.channels[2].items[0]->vexaScore = 7;
    results.totals.vexaScoreSeen = c.vexaSeen;
    results.totals.minVexaScore = c.minScore;
    results.totals.maxVexaScore = c.maxScore;
    RecordingLog log;
    ScaleOpenSearchScores(config, results, log);
    EXPECT_EQ(results.channels[0].items[0]->vexaScore, c.first) << c.name;
    EXPECT_EQ(results.channels[0].items[3]->vexaScore, c.fourth) << c.name;
    EXPECT_EQ(results.channels[1].items[0]->vexaScore, c.secondNodeFirst) << c.name;
    EXPECT_EQ(results.channels[2].items[0]->vexaScore, 7) << c.name;
    EXPECT_TRUE(log.Has(kLogDetail, "Node #0, Item #3: vexaScore = " + std::to_string(c.fourth)))
        << c.name;
    const auto& items = results.channels[0].items;
    for (int j = 1; j < c.items; ++j) {
      // Strictly lower over a page of ten, never higher further down.
      if (j < 10) {
        EXPECT_LT(items[j]->vexaScore, items[j - 1]->vexaScore) << c.name << " " << j;
      }
      EXPECT_LE(items[j]->vexaScore, items[j - 1]->vexaScore) << c.name << " " << j;
    }
  }
}

TEST(ScaleOpenSearchScores, KeepsVexaScoresAndSkipsInvalidNodes) {
  Config config;
  config.nodeCount = 3;
  config.allVexaNodes = false;
  NodeResults results;
  AddNodeAnswer(results, 0, 0, true, 1);
  AddNodeAnswer(results, 1, 1, false, 1);
  AddNodeAnswer(results, 2, 1, true, 1);
  results.channels[0].items[0]->vexaScore = 42;
  results.channels[0].settings.Version = "a";
  results.channels[2].settings.Version = "b";
  RecordingLog log;
  ScaleOpenSearchScores(config, results, log);
  EXPECT_EQ(results.channels[0].items[0]->vexaScore, 42);
  EXPECT_EQ(results.channels[1].items[0]->vexaScore, 0);
  EXPECT_EQ(results.channels[2].items[0]->vexaScore, 33);  // 1/3 of 99
  EXPECT_TRUE(log.Has(kLogDetail, "Node #0, Item #0: vexaScore = 42"));
  EXPECT_FALSE(log.Contains("Node #1"));
}

}  // namespace
}  // namespace quorix
