#include "panel/core/predefined_list.h"

#include <gtest/gtest.h>

#include "panel_fixture.h"
#include "tests/support/recording_log.h"

namespace quorix::panel::testing {
namespace {

class PredefinedListTest : public PanelTest {
 protected:
  Status Load(const std::string& text) {
    WriteWholeFile(install + "/OpenSearchDescURLs.xml", text);
    return LoadPredefinedDescriptions(install, desktop, log, entries);
  }
  quorix::testing::RecordingLog log;
  std::vector<PredefinedEntry> entries;
};

TEST_F(PredefinedListTest, ReadsItemsWithPlaceholders) {
  ASSERT_EQ(Load("\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<rss version=\"2.0\"><channel>\n"
                 "<title>Known engines</title><link>http://list.example/</link>\n"
                 "<item>\n  <title>  Example search  </title>\n"
                 "  <link>http://a.example/os.xml?x=1&amp;y=2</link></item>\n"
                 "<item><link>http://b.example/os.xml</link></item>\n"
                 "<item><title><![CDATA[  Spaced <b>title</b> ]]></title></item>\n"
                 "<item/>\n"
                 "</channel></rss>\n"),
            kOk);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].title, "Example search");
  EXPECT_EQ(entries[0].url, "http://a.example/os.xml?x=1&y=2");
  EXPECT_EQ(entries[1].title, "Item title blank");
  EXPECT_EQ(entries[1].url, "http://b.example/os.xml");
  EXPECT_EQ(entries[2].title, "  Spaced <b>title</b> ");
  EXPECT_EQ(entries[2].url, "Item url blank");
  EXPECT_EQ(entries[3].title, "Item title blank");
  EXPECT_TRUE(log.Contains("Known engines"));
  EXPECT_TRUE(desktop.boxes.empty());
}

TEST_F(PredefinedListTest, ErrorsAreShown) {
  std::string path = install + "/OpenSearchDescURLs.xml";
  struct Case {
    std::string text;
    Status status;
    std::string message, title;
  } cases[] = {
      {"<rss><channel", kPredefinedInvalid, "Predefined OpenSearch URL file is not valid.",
       "Invalid predefined OpenSearch URL file"},
      {"<item><title><![CDATA[never closed</title></item>", kPredefinedInvalid,
       "Predefined OpenSearch URL file is not valid.", "Invalid predefined OpenSearch URL file"},
      {"<" + std::string(513, 'a') + ">", kPredefinedTooLong,
       "Insufficient buffer to hold XML element.", "Insuffficient buffer."},
      {"<title>" + std::string(4096, 'a') + "</title>", kPredefinedTooLong,
       "Insufficient buffer to hold XML element.", "Insuffficient buffer."},
      {"<item><title>" + std::string(600, 'a') + "</title></item>", kPredefinedTagError,
       "Error parsing tags in predefined OpenSearch URL file \"" + path + "\".\n",
       "Error parsing XML tag"},
  };
  for (const Case& c : cases) {
    desktop.boxes.clear();
    EXPECT_EQ(Load(c.text), c.status) << c.title;
    ASSERT_EQ(desktop.boxes.size(), 1u) << c.title;
    EXPECT_EQ(desktop.boxes[0].text, c.message);
    EXPECT_EQ(desktop.boxes[0].title, c.title);
    EXPECT_EQ(desktop.boxes[0].owner, BoxOwner::kNone);
    EXPECT_TRUE(entries.empty());
  }
}

TEST_F(PredefinedListTest, MissingFile) {
  EXPECT_EQ(LoadPredefinedDescriptions(install, desktop, log, entries), kPredefinedOpenFailed);
  ASSERT_EQ(desktop.boxes.size(), 1u);
  EXPECT_EQ(
      desktop.boxes[0].text,
      "Error opening predefined OpenSearch URL file \"OpenSearchDescURLs.xml\".\nReinstallation "
      "should fix this problem");
  EXPECT_EQ(desktop.boxes[0].title, "Cannot find predefined OpenSearch URL file");
}

}  // namespace
}  // namespace quorix::panel::testing
