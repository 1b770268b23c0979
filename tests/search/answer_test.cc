// The machine-readable answers: which one a request asks for, the hop count,
// and the RSS and JSON documents, the RSS read back as a Vexa node's answer.
#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <vector>

#include "nodequery/response_parser.h"
#include "search/answers/json_answer.h"
#include "search/answers/rss_answer.h"
#include "search/page/results_context.h"
#include "search/request/answer_format.h"
#include "tests/support/recording_log.h"
#include "tests/support/xml_reader.h"

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
      {"", 0},   {"1", 1},  {" 3 ", 3}, {"4", 4}, {"99999999999999", kHopLimit},
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
    ChannelTable& channels = *channels_;
    channels[0].valid = channels[1].valid = true;
    channels[1].nodeType = 1;
    channels[0].settings.DisplayContext = true;
    channels[0].settings.LinkTarget = "_blank";
    page_.nodes[0].status = page_.nodes[1].status = kOk;
    page_.nodes[2].status = kNodeTimeoutExceeded;
    page_.nodes[0].elapsedMs = 12;
    config_.useCats = 1;
    config_.categoryNames = {"Food", "Drink &amp; more"};
    query_.cat = {1};
    page_.channels = channels_;
    page_.firstNumber = 11;
    page_.available = 42;
    Add(0, "<![CDATA[<b>Fish</b> & chips]]>", "Cod&nbsp;and ]]> chips & peas", "a &eacute; b",
        "http://a.example/1", 90, 1750000000);
    Add(1, "Salt & <vinegar>", "<p>Crisp</p> & hot", "", "javascript:alert(1)", 60, 0);
    Add(0, "Plain title", "Bell\x07 rings", "", "/relative", 30, 1);
    // Texts as the parser stores them: a Vexa node's as sent, an OpenSearch
    // node's decoded ("&lt;img ...&gt;" and "&#xFFFE;" were sent).
    Add(1, "<img src=x onerror=alert(1)>", "\xEF\xBF\xBE", "", "http://o.example/", 20, 0);
    Add(0, "Alpha &amp; Omega", "<![CDATA[a\x01\x1F<i>b</i>\x0B]]>", "&#x110000;&#x100000041;", "",
        10, 0);
    Add(1, "&#x100000041; \x1B[2J", "U+FFFF \xEF\xBF\xBF", "", "", 5, 0);
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
    page_.items.push_back(std::move(item));
  }

  AnswerView View() { return {query_, config_, page_, 0.25, {"Cache unreadable"}}; }

  VexaQuery query_;
  Config config_;
  std::shared_ptr<ChannelTable> channels_ = std::make_shared<ChannelTable>();
  ResultPage page_;
};

// Each item's title, description and context as the HTML the results page shows.
struct PageTexts {
  const char* title;
  const char* description;
  const char* context;
};
const PageTexts kPageTexts[] = {
    {"<b>Fish</b> & chips", "Cod&nbsp;and ]]&gt; chips & peas", "a &eacute; b"},
    {"Salt &amp; &lt;vinegar&gt;", "Crisp &amp; hot", ""},
    {"Plain title", "Bell rings", ""},
    {"&lt;img src=x onerror=alert(1)&gt;", "\xEF\xBF\xBD", ""},
    {"Alpha &amp; Omega", "a<i>b</i>", "&#x110000;&#x100000041;"},
    {"&amp;#x100000041; [2J", "U+FFFF \xEF\xBF\xBD", ""},
};

TEST_F(AnswerDocumentTest, RssReadsBackAsAVexaNodesAnswer) {
  NodeRecord node;
  node.disabled = false;
  NodeRun run;
  run.responseBody = RssAnswer(View());
  const std::string& rss = run.responseBody;
  Channel channel;
  NodeTotals totals;
  testing::RecordingLog log;
  const int32_t count = static_cast<int32_t>(page_.items.size());
  ASSERT_EQ(ParseResponse(0, count, node, run, channel, totals, log), kOk) << rss;
  for (const auto& line : log.Lines()) {
    EXPECT_NE(line.level, kLogWarning) << line.text;
    EXPECT_NE(line.level, kLogDetailWarning) << line.text;
    EXPECT_NE(line.level, kLogError) << line.text;
  }
  EXPECT_TRUE(channel.valid && channel.totalResults == 42 && channel.osStartIndex == 11);
  EXPECT_EQ(channel.vexaSearchQuery, "fish &amp; chips");
  EXPECT_TRUE(channel.settings.DisplayContext);
  EXPECT_EQ(channel.settings.LinkTarget, "_blank");
  EXPECT_EQ(channel.settings.NumCats, 2);
  EXPECT_EQ(channel.catNames[1], "Drink &amp; more");
  EXPECT_EQ(channel.vexaSearchCategory, "Drink &amp; more");
  ASSERT_EQ(channel.items.size(), page_.items.size());

  // An XML parser reads each text as the HTML the page shows, and a second
  // Quorix, taking this answer as a Vexa node's, shows the same HTML.
  std::vector<testing::XmlText> texts;
  std::string error;
  ASSERT_TRUE(testing::ReadXml(rss, texts, error)) << error << "\n" << rss;
  std::map<std::string, std::vector<std::string>> values;
  for (const auto& text : texts) values[text.element].push_back(text.value);
  std::vector<std::string> contexts;
  for (const PageTexts& expected : kPageTexts)
    if (*expected.context) contexts.push_back(expected.context);
  EXPECT_EQ(values["vexa:context"], contexts);
  ASSERT_EQ(std::size(kPageTexts), page_.items.size());
  const size_t firstItemTitle = values["title"].size() - page_.items.size();
  for (size_t i = 0; i < page_.items.size(); ++i) {
    const PageTexts& expected = kPageTexts[i];
    const Item& item = *channel.items[i];
    EXPECT_EQ(values["title"][firstItemTitle + i], expected.title) << i;
    EXPECT_EQ(values["description"][1 + i], expected.description) << i;
    EXPECT_EQ(NodeHtml(channel, item.title), expected.title) << i;
    EXPECT_EQ(NodeHtml(channel, item.description), expected.description) << i;
    EXPECT_EQ(NodeHtml(channel, item.vexaContext), expected.context) << i;
    EXPECT_EQ(item.vexaScore, page_.items[i].vexaScore) << i;
    EXPECT_EQ(item.vexaDateTime, page_.items[i].vexaDateTime) << i;
  }
  EXPECT_EQ(NodeHtml(channel, channel.items[0]->category[0]), "Food &amp; drink");
  for (const auto& [i, link] : {std::pair{0, "http://a.example/1"}, {1, ""}, {2, "/relative"}})
    EXPECT_EQ(channel.items[i]->link, link) << i;
  // Ordinary text is written as it stands; a Vexa node's CDATA section as it came.
  for (const char* written :
       {"<title>Plain title</title>", "<title><![CDATA[<b>Fish</b> & chips]]></title>",
        "<title><![CDATA[Quorix search: fish &amp; chips]]></title>",
        "<vexa:error node=\"2\" status=\"-5001\">Node #2 timeout exceeded</vexa:error>",
        "<vexa:error>Cache unreadable</vexa:error>"})
    EXPECT_NE(rss.find(written), std::string::npos) << written << "\n" << rss;
}

TEST_F(AnswerDocumentTest, JsonHoldsItemsAndEveryNodesStatus) {
  nlohmann::json answer = nlohmann::json::parse(JsonAnswer(View()));
  EXPECT_EQ(answer["query"], "fish & chips");
  EXPECT_EQ(answer["page"], 2);
  EXPECT_EQ(answer["per_page"], 10);
  EXPECT_EQ(answer["total"], 42);
  EXPECT_EQ(answer["sort"], "relevance");
  EXPECT_EQ(answer["errors"], nlohmann::json::array({"Cache unreadable"}));
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
  ASSERT_EQ(answer["items"].size(), std::size(kPageTexts));
  for (size_t i = 0; i < std::size(kPageTexts); ++i) {
    EXPECT_EQ(answer["items"][i]["title"], kPageTexts[i].title) << i;
    EXPECT_EQ(answer["items"][i]["description"], kPageTexts[i].description) << i;
    EXPECT_EQ(answer["items"][i]["context"], kPageTexts[i].context) << i;
  }
}

// A node still answering makes both answers partial, and a Quorix reading
// the RSS as a node's answer knows it for a partial one.
TEST_F(AnswerDocumentTest, ANodeStillAnsweringMakesTheAnswersPartial) {
  EXPECT_TRUE(nlohmann::json::parse(JsonAnswer(View()))["complete"].get<bool>());
  page_.nodes[2].status = kNodePending;
  nlohmann::json answer = nlohmann::json::parse(JsonAnswer(View()));
  EXPECT_FALSE(answer["complete"].get<bool>());
  EXPECT_EQ(answer["nodes"][2]["pending"], true);
  EXPECT_EQ(answer["nodes"][2]["message"], "") << "still answering is not a failure";
  EXPECT_EQ(answer["nodes"][0]["pending"], false);

  NodeRecord node;
  node.disabled = false;
  NodeRun run;
  run.responseBody = RssAnswer(View());
  EXPECT_NE(run.responseBody.find("<vexa:pending node=\"2\">"), std::string::npos);
  EXPECT_EQ(run.responseBody.find("<vexa:error node=\"2\""), std::string::npos);
  Channel channel;
  NodeTotals totals;
  testing::RecordingLog log;
  ASSERT_EQ(
      ParseResponse(0, static_cast<int32_t>(page_.items.size()), node, run, channel, totals, log),
      kOk);
  EXPECT_EQ(channel.pendingSources, 1);
}

}  // namespace
}  // namespace quorix
