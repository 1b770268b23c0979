// The shipped results script in headless Chromium, on a page in the shipped
// template that a strict Content-Security-Policy guards: it asks the search's
// JSON answer until the result set is complete, then offers the results that
// arrived since without moving the page; with scripts off the page's own
// link still leads to every result.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/e2e/headless_browser.h"
#include "tests/support/test_http_server.h"

namespace quorix::e2e {
namespace {

using quorix::testing::HttpAnswer;
using quorix::testing::TestHttpServer;

constexpr char kSearch[] = "/quorix.cgi?vexa_query=garden";
constexpr char kAnswer[] = "/quorix.cgi?vexa_query=garden&vexa_format=json";
constexpr int kShown = 10;
constexpr int kOfferTimeoutMs = 10000;

std::string ShippedFile(const std::string& name) {
  std::ifstream file(std::string(QUORIX_SOURCE_DIR) + "/panel/resources/cgi files/" + name,
                     std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// The shipped template around a results page of `kShown` results; with
// `pending`, one source is still answering.
std::string ResultsPage(bool pending) {
  std::string results =
      "<h2 class=\"searchheading\">Search results for: garden</h2>\n"
      "<p class=\"summary\">10 results found.</p>\n";
  if (pending)
    results +=
        "<p class=\"sources_pending\" data-quorix-answer=\"quorix.cgi?vexa_query=garden&amp;"
        "vexa_format=json\" data-quorix-total=\"10\" data-quorix-more=\"%d more results arrived: "
        "show them\">Sources still answering: 1. <a class=\"show_all_results\" "
        "href=\"quorix.cgi?vexa_query=garden\">Show all results</a></p>\n";
  results += "<div class=\"sources\">Sources:\n<div class=\"source source_ok\">Town: 10</div>\n";
  if (pending) results += "<div class=\"source source_pending\">Magazine: still answering</div>\n";
  results += "</div>\n<ol class=\"result_list\">\n";
  for (int n = 1; n <= kShown; ++n)
    results +=
        "<li class=\"result_block\"><h3 class=\"result_title\"><a href=\"https://town."
        "example/" +
        std::to_string(n) + "\">Garden page " + std::to_string(n) +
        "</a></h3><div class=\"description\">Allotments, parks and the garden show, "
        "with the dates of the season and who to ask.</div></li>\n";
  std::string page = ShippedFile("search_template.html");
  return page.replace(page.find("<!--VEXASEARCH-->"), 17, results + "</ol>\n");
}

HttpAnswer JsonAnswer(bool complete, int total) {
  return HttpAnswer(std::string("{\"query\":\"garden\",\"total\":") + std::to_string(total) +
                    ",\"complete\":" + (complete ? "true" : "false") + ",\"items\":[]}\n")
      .Type("application/json");
}

class ResultsScript : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string chromium = FindChromium();
    if (chromium.empty()) GTEST_SKIP() << "chromium is not installed: no browser test";
    folder_ = std::string(E2E_ARTEFACT_DIR) + "/ResultsScript-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    std::string error;
    ASSERT_TRUE(browser_.Start(chromium, folder_ + "/chromium-profile", 1100, 700,
                               folder_ + "/chromium.out", &error))
        << error;
    server_.Answer("/quorix-results.js",
                   HttpAnswer(ShippedFile("quorix-results.js")).Type("text/javascript"));
  }

  void ServePage(const std::string& policy, bool pending) {
    server_.Answer(kSearch, HttpAnswer(ResultsPage(pending))
                                .Type("text/html; charset=utf-8")
                                .Header("Content-Security-Policy", policy));
  }

  size_t AnswerRequests() const {
    size_t count = 0;
    for (const std::string& target : server_.RequestTargets()) count += target == kAnswer;
    return count;
  }

  std::string Text(const std::string& expression) {
    std::string value;
    std::string error;
    EXPECT_TRUE(browser_.Eval(expression, &value, &error)) << error;
    return value;
  }

  std::string folder_;
  TestHttpServer server_;
  HeadlessBrowser browser_;
};

TEST_F(ResultsScript, OffersTheLateResultsWithoutMovingThePage) {
  struct Case {
    const char* name;
    const char* policy;
    bool pending;       // the page says a source is still answering
    int completeTotal;  // the complete set's count
    const char* offer;  // "" when nothing is to be offered
    bool styled;        // the template's style block applies under the policy
  } cases[] = {
      {"default-src self", "default-src 'self'", true, 12, "2 more results arrived: show them",
       false},
      {"script-src self", "script-src 'self'", true, 13, "3 more results arrived: show them", true},
      {"nothing new arrived", "script-src 'self'", true, kShown, "", true},
      {"no notice on the page", "default-src 'self'", false, 12, "", true},
  };
  const std::string firstResultTop =
      "Math.round(document.querySelector('.result_block').getBoundingClientRect().top)";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string error;
    ServePage(c.policy, c.pending);
    server_.Answer(kAnswer, JsonAnswer(false, kShown));
    size_t asked = AnswerRequests();
    ASSERT_TRUE(browser_.Open(server_.Url(kSearch), &error)) << error;
    ASSERT_EQ(Text("(window.scrollTo(0, 150), window.scrollY)"), "150");
    std::string topBefore = Text(firstResultTop);
    if (!c.pending) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2500));
      EXPECT_EQ(AnswerRequests(), asked) << "a page without the notice asks nothing";
      EXPECT_EQ(Text("document.querySelector('.quorix_more')"), "");
      continue;
    }
    // The set completes once the script has seen it incomplete.
    for (int i = 0; i < 50 && AnswerRequests() == asked; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_GT(AnswerRequests(), asked) << "the script never asked the JSON answer";
    server_.Answer(kAnswer, JsonAnswer(true, c.completeTotal));
    if (*c.offer) {
      PageElement offer;
      ASSERT_TRUE(browser_.WaitFor(".quorix_more a", kOfferTimeoutMs, &offer, &error)) << error;
      EXPECT_EQ(offer.text, c.offer);
      EXPECT_EQ(offer.href, server_.Url(kSearch));
      EXPECT_EQ(Text("document.querySelector('.quorix_more').getAttribute('role')"), "status");
      ASSERT_TRUE(browser_.Screenshot(
          folder_ + "/offer-" + std::to_string(c.completeTotal) + ".png", 900, &error))
          << error;
      if (c.styled) {
        EXPECT_EQ(Text("(() => { const r = document.querySelector('.quorix_more a')"
                       ".getBoundingClientRect(); return getComputedStyle(document.querySelector("
                       "'.quorix_more a')).position + ' ' + (r.bottom === innerHeight); })()"),
                  "fixed true")
            << "the offer sits at the bottom of the window";
      }
    } else {
      ASSERT_TRUE(browser_.WaitUntil("!document.querySelector('.sources_pending')", kOfferTimeoutMs,
                                     &error))
          << error;
      EXPECT_EQ(Text("document.querySelector('.quorix_more a')"), "");
    }
    // Taking the notice away above the reader keeps the results in place too:
    // the browser scrolls with them.
    EXPECT_EQ(Text(firstResultTop), topBefore) << "the results moved";
    size_t once = AnswerRequests();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(AnswerRequests(), once) << "the script goes on asking after the set is complete";
  }
}

TEST_F(ResultsScript, WithScriptsOffTheShowAllLinkIsAPlainLink) {
  std::string error;
  ServePage("default-src 'self'", true);
  server_.Answer(kAnswer, JsonAnswer(true, 12));
  ASSERT_TRUE(browser_.SetScriptsEnabled(false, &error)) << error;
  PageElement link;
  ASSERT_TRUE(
      browser_.OpenAndWaitFor(server_.Url(kSearch), "a.show_all_results", 5000, &link, &error))
      << error;
  EXPECT_EQ(link.text, "Show all results");
  EXPECT_EQ(link.href, server_.Url(kSearch));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_EQ(AnswerRequests(), 0u);
  EXPECT_EQ(Text("document.querySelector('.quorix_more')"), "");
  size_t pages = server_.RequestCount();
  ASSERT_TRUE(
      browser_.RunAndWaitForPage("document.querySelector('a.show_all_results').click()", &error))
      << error;
  EXPECT_GT(server_.RequestCount(), pages) << "the link did not lead anywhere";
  EXPECT_EQ(Text("location.href"), server_.Url(kSearch));
}

}  // namespace
}  // namespace quorix::e2e
