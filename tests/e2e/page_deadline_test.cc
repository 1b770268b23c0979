// The page deadline under lighttpd: two quick demo nodes and a slow one. The
// page comes by the deadline, the slow node's answer completes the cache in
// the background, and later pages come from the complete set.
#include <gtest/gtest.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <thread>

#include "tests/e2e/demo_stack.h"
#include "tests/e2e/headless_browser.h"

namespace quorix::e2e {
namespace {

using Clock = std::chrono::steady_clock;
using Kind = StackNode::Kind;

constexpr int kDeadlineMs = 500;
constexpr int kSlowNodeMs = 3000;
// What a loaded test machine may add to the deadline: the program's start,
// the merge and the page.
constexpr int kMarginMs = 700;

class PageDeadline : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    std::string error;
    stack_.SetFastCgi(GetParam());
    stack_.SetPageDeadline(kDeadlineMs);
    std::vector<StackNode> nodes(3);
    nodes[1].kind = Kind::kOpenSearch;
    nodes[2].delayMs = kSlowNodeMs;
    ASSERT_TRUE(stack_.Start(TestName(), nodes, 5000, &error)) << error;
  }

  std::string Page(const std::string& target, long* ms = nullptr) {
    std::string body;
    long status = 0;
    Clock::time_point start = Clock::now();
    EXPECT_TRUE(stack_.Get(target, &body, &status)) << target;
    if (ms)
      *ms = static_cast<long>(
          std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    EXPECT_EQ(status, 200) << target;
    return body;
  }

  nlohmann::json Json(const std::string& target) {
    return nlohmann::json::parse(Page(target), nullptr, false);
  }

  std::vector<size_t> NodeRequestCounts() {
    return {stack_.NodeRequests(0).size(), stack_.NodeRequests(1).size(),
            stack_.NodeRequests(2).size()};
  }

  DemoStack stack_;
};

TEST_P(PageDeadline, QuickNodesFirstThenTheCompleteSetFromTheCache) {
  const std::string search = "/quorix.cgi?vexa_query=garden";
  const Clock::time_point start = Clock::now();
  long firstMs = 0;
  std::string first = Page(search, &firstMs);
  std::cout << "first page after " << firstMs << " ms (deadline " << kDeadlineMs << " ms)\n";
  EXPECT_LT(firstMs, kDeadlineMs + kMarginMs);
  EXPECT_TRUE(Contains(first, "http://www.riverton.example/"));
  EXPECT_TRUE(Contains(first, "http://magazine.example/"));
  EXPECT_TRUE(Contains(first, "Sources still answering: 1."));
  EXPECT_TRUE(Contains(first, "class=\"show_all_results\""));
  const std::vector<size_t> asked = NodeRequestCounts();

  // A second visitor during the completion: the partial set, no node asked.
  nlohmann::json partial = Json(search + "&vexa_format=json");
  ASSERT_TRUE(partial.is_object());
  EXPECT_FALSE(partial["complete"].get<bool>());
  EXPECT_TRUE(partial["nodes"][2]["pending"].get<bool>());
  EXPECT_FALSE(partial["nodes"][0]["pending"].get<bool>());
  std::string rss = Page(search + "&vexa_format=rss");
  EXPECT_TRUE(Contains(rss, "<vexa:pending node=\"2\">")) << rss.substr(0, 2000);
  EXPECT_EQ(NodeRequestCounts(), asked);

  std::this_thread::sleep_until(start + std::chrono::milliseconds(kSlowNodeMs + 500));
  long laterMs = 0;
  std::string second = Page(search + "&vexa_page=2", &laterMs);
  std::cout << "page 2 after the completion in " << laterMs << " ms\n";
  EXPECT_FALSE(Contains(second, "class=\"sources_pending\""));
  EXPECT_TRUE(Contains(second, "Search results for: garden"));
  nlohmann::json complete = Json(search + "&vexa_format=json");
  EXPECT_TRUE(complete["complete"].get<bool>());
  EXPECT_TRUE(complete["from_cache"].get<bool>());
  EXPECT_GT(complete["total"].get<int64_t>(), partial["total"].get<int64_t>());
  EXPECT_EQ(NodeRequestCounts(), asked) << "a node was asked again";
}

// In Chromium: the page's script offers the late results once they are in,
// and with scripts off the notice's link shows them.
TEST_P(PageDeadline, TheBrowserIsOfferedTheRestWithOrWithoutScripts) {
  const std::string chromium = FindChromium();
  if (chromium.empty()) GTEST_SKIP() << "chromium is not installed: no browser test";
  if (GetParam()) GTEST_SKIP() << "the page and its script are the same in both modes";
  HeadlessBrowser browser;
  std::string error;
  ASSERT_TRUE(browser.Start(chromium, stack_.folder() + "/chromium-profile", 1100, 700,
                            stack_.folder() + "/chromium.out", &error))
      << error;
  PageElement offer;
  ASSERT_TRUE(browser.OpenAndWaitFor(stack_.SearchUrl() + "?vexa_query=garden", ".quorix_more a",
                                     kSlowNodeMs + 4000, &offer, &error))
      << error;
  nlohmann::json complete = Json("/quorix.cgi?vexa_query=garden&vexa_format=json");
  std::string shown;
  ASSERT_TRUE(
      browser.Eval("document.querySelector('.sources_pending').getAttribute('data-quorix-total')",
                   &shown, &error));
  const int64_t more = complete["total"].get<int64_t>() - std::stoll(shown);
  EXPECT_GT(more, 0);
  EXPECT_EQ(offer.text, std::to_string(more) + " more results arrived: show them");
  ASSERT_TRUE(browser.RunAndWaitForPage("document.querySelector('.quorix_more a').click()", &error))
      << error;
  std::string notice;
  ASSERT_TRUE(browser.Eval("String(document.querySelector('.sources_pending'))", &notice, &error));
  EXPECT_EQ(notice, "null") << "the complete set still says sources are answering";

  ASSERT_TRUE(browser.SetScriptsEnabled(false, &error)) << error;
  PageElement link;
  const Clock::time_point asked = Clock::now();
  ASSERT_TRUE(browser.OpenAndWaitFor(stack_.SearchUrl() + "?vexa_query=school",
                                     "a.show_all_results", 5000, &link, &error))
      << error;
  std::this_thread::sleep_until(asked + std::chrono::milliseconds(kSlowNodeMs + 500));
  ASSERT_TRUE(
      browser.RunAndWaitForPage("document.querySelector('a.show_all_results').click()", &error))
      << error;
  ASSERT_TRUE(browser.Eval("String(document.querySelector('.sources_pending'))", &notice, &error));
  EXPECT_EQ(notice, "null");
  std::string results;
  ASSERT_TRUE(browser.Eval("String(document.querySelectorAll('.result_list > li').length)",
                           &results, &error));
  EXPECT_NE(results, "0");
}

INSTANTIATE_TEST_SUITE_P(Modes, PageDeadline, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "FastCgi" : "Cgi";
                         });

}  // namespace
}  // namespace quorix::e2e
