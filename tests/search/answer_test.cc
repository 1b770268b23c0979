// The machine-readable answers: which one a request asks for, the hop count,
// and the RSS and JSON documents, the RSS read back as a Vexa node's answer.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "nodequery/response_parser.h"
#include "search/answer_format.h"
#include "search/json_answer.h"
#include "search/rss_answer.h"
#include "tests/support/recording_log.h"

namespace quorix {
namespace {

TEST(AnswerFormat, ChosenByTheRequestAndHopsReadFromTheHeader) {
  const std::pair<const char*, AnswerFormat> kRequests[] = {
      {"vexa_query=a", AnswerFormat::kHtml},
      {"vexa_query=a&vexa_xml=1", AnswerFormat::kRss},
      {"vexa_query=a&vexa_xml=0", AnswerFormat::kHtml},
      {"vexa_query=a&vexa_format=rss", AnswerFormat::kRss},
      {"vexa_query=a&vexa_format=json&vexa_xml=1", AnswerFormat::kJson},
      {"vexa_format=opensearch", AnswerFormat::kOpenSearch},
      {"vexa_query=a&vexa_format=xls", AnswerFormat::kHtml},
  };
  for (const auto& [queryString, expected] : kRequests) {
    FormList form;
    ASSERT_EQ(ReadForm({"GET", "", "", queryString}, nullptr, form), kCgiOk) << queryString;
    EXPECT_EQ(RequestedAnswerFormat(form), expected) << queryString;
  }
  const std::pair<const char*, int32_t> kHeaders[] = {
      {"", 0}, {"1", 1}, {" 3 ", 3}, {"4", 4}, {"99999999999999", kHopLimit},
      {"-2", 0}, {"2x", 0}, {"x", 0},
  };
  for (const auto& [header, hops] : kHeaders) EXPECT_EQ(ReadHopCount(header), hops) << header;
}

// Node 0 a Vexa node, node 1 an OpenSearch node, node 2 a Vexa node that failed.
class AnswerDocumentTest : public ::testing::Test {
 protected:
  AnswerDocumentTest() {
    query_.query = "fish & chips";
    query_.query_out = "fish &amp; chips";
    query_.itemsPerPage = 10;
    query_.currentPageNum = 2;
    config_.nodeCount = 3;
    for (int n = 0; n < 3; ++n) config_.nodes[n].disabled = false;
    config_.nodes[1].type = 1;
    channels_[0].valid = channels_[1].valid = true;
    channels_[1].nodeType = 1;
    channels_[0].settings.DisplayContext = true;
    channels_[0].settings.LinkTarget = "_blank";
    results_.status = {};
    results_.status.fill(kNodeNotRun);
    results_.status[0] = results_.status[1] = kOk;
    results_.status[2] = kNodeTimeoutExceeded;
    results_.elapsedMs[0] = 12;
    config_.useCats = 1;
    config_.categoryNames = {"Food", "Drink &amp; more"};
    query_.cat = {1};
    data_.channels = &channels_;
    data_.firstNumber = 11;
    data_.total = 42;
    Add(0, "<![CDATA[<b>Fish</b> & chips]]>", "Cod&nbsp;and ]]> chips & peas", "a &eacute; b",
        "http://a.example/1", 90, 1750000000);
    Add(1, "Salt & <vinegar>", "<p>Crisp</p> & hot", "", "javascript:alert(1)", 60, 0);
    Add(0, "Plain title", "Bell\x07 rings", "", "/relative", 30, 1);
  }

  void Add(int node, std::string title, std::string description, std::string context,
           std::string link, int32_t score, int64_t time) {
    Item item;
    item.node = node;
    item.title = std::move(title);
    item.description = std::move(description);
    item.vexaContext = std::move(context);
    item.link = std::move(link);
    item.vexaScore = score;
    item.vexaDateTime = time;
    item.category[0] = node == 0 ? "Food &amp; drink" : "";
    data_.items.push_back(std::move(item));
  }

  AnswerView View() { return {query_, config_, data_, results_, 0.25, {"Cache unreadable"}}; }

  VexaQuery query_;
  Config config_;
  ChannelTable channels_;
  NodeResults results_;
  AnswerData data_;
};

TEST_F(AnswerDocumentTest, RssReadsBackAsAVexaNodesAnswer) {
  NodeRecord node;
  node.disabled = false;
  NodeRun run;
  run.responseBody = RssAnswer(View());
  Channel channel;
  NodeTotals totals;
  testing::RecordingLog log;
  ASSERT_EQ(ParseResponse(0, 3, node, run, channel, totals, log), kOk) << run.responseBody;
  for (const auto& line : log.Lines()) {
    EXPECT_NE(line.level, kLogWarning) << line.text;
    EXPECT_NE(line.level, kLogDetailWarning) << line.text;
    EXPECT_NE(line.level, kLogError) << line.text;
  }
  EXPECT_TRUE(channel.valid);
  EXPECT_EQ(channel.totalResults, 42);
  EXPECT_EQ(channel.osStartIndex, 11);
  EXPECT_EQ(channel.vexaSearchQuery, "fish &amp; chips");
  EXPECT_TRUE(channel.settings.DisplayContext);
  EXPECT_EQ(channel.settings.LinkTarget, "_blank");
  EXPECT_EQ(channel.settings.NumCats, 2);
  EXPECT_EQ(channel.catNames[1], "Drink &amp; more");
  EXPECT_EQ(channel.vexaSearchCategory, "Drink &amp; more");
  ASSERT_EQ(channel.items.size(), 3u);

  // The texts come back as the HTML the results page would have shown.
  struct Expected {
    const char* title;
    const char* description;
    const char* context;
    const char* link;
    int32_t score;
    int64_t time;
  };
  const Expected kItems[] = {
      {"<![CDATA[<b>Fish</b> & chips]]>", "Cod&#160;and ]]&gt; chips &amp; peas", "a &#233; b",
       "http://a.example/1", 90, 1750000000},
      {"Salt &amp; &lt;vinegar&gt;", "Crisp &amp; hot", "", "", 60, 0},
      {"Plain title", "Bell rings", "", "/relative", 30, 1},
  };
  for (size_t i = 0; i < 3; ++i) {
    const Item& item = *channel.items[i];
    const Expected& expected = kItems[i];
    EXPECT_EQ(item.title, expected.title) << i;
    EXPECT_EQ(item.description, expected.description) << i;
    EXPECT_EQ(item.vexaContext, expected.context) << i;
    EXPECT_EQ(item.link, expected.link) << i;
    EXPECT_EQ(item.vexaScore, expected.score) << i;
    EXPECT_EQ(item.vexaDateTime, expected.time) << i;
  }
  EXPECT_EQ(channel.items[0]->category[0], "Food &amp; drink");
  EXPECT_NE(run.responseBody.find(
                "<vexa:error node=\"2\" status=\"-5001\">Node #2 timeout exceeded</vexa:error>"),
            std::string::npos);
  EXPECT_NE(run.responseBody.find("<vexa:error>Cache unreadable</vexa:error>"),
            std::string::npos);
}

TEST_F(AnswerDocumentTest, JsonHoldsItemsAndEveryNodesStatus) {
  nlohmann::json answer = nlohmann::json::parse(JsonAnswer(View()));
  EXPECT_EQ(answer["query"], "fish & chips");
  EXPECT_EQ(answer["page"], 2);
  EXPECT_EQ(answer["per_page"], 10);
  EXPECT_EQ(answer["total"], 42);
  EXPECT_EQ(answer["sort"], "relevance");
  EXPECT_EQ(answer["errors"], nlohmann::json::array({"Cache unreadable"}));
  ASSERT_EQ(answer["items"].size(), 3u);
  const nlohmann::json& first = answer["items"][0];
  EXPECT_EQ(first["number"], 11);
  EXPECT_EQ(first["date"], "2025-06-15T15:06:40Z");
  EXPECT_EQ(first["category"], nlohmann::json::array({"Food &amp; drink"}));
  EXPECT_EQ(answer["items"][1]["title"], "Salt &amp; &lt;vinegar&gt;");
  EXPECT_EQ(answer["items"][1]["link"], "");
  EXPECT_TRUE(answer["items"][1]["date"].is_null());
  EXPECT_EQ(answer["items"][2]["number"], 13);
  ASSERT_EQ(answer["nodes"].size(), 3u);
  EXPECT_EQ(answer["nodes"][0]["time_ms"], 12);
  EXPECT_EQ(answer["nodes"][2]["status"], kNodeTimeoutExceeded);
  EXPECT_EQ(answer["nodes"][2]["message"], "Node #2 timeout exceeded");
  EXPECT_EQ(answer["nodes"][1]["message"], "");
}

}  // namespace
}  // namespace quorix
