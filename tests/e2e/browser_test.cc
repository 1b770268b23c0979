// A visitor in headless Chromium: opens the search page, searches through the
// form, goes to page 2 and sorts by date. Screenshots of every step are kept in
// the artefact directory.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "tests/e2e/demo_stack.h"
#include "tests/e2e/headless_browser.h"

namespace quorix::e2e {
namespace {

constexpr int kWidth = 1100;
constexpr int kHeight = 1400;

// What the visitor sees of the results page, gathered in the page.
struct Visible {
  std::string heading;
  std::string summary;
  std::string sorting;
  std::string searchBox;
  std::string firstNumber;  // the number before the first result's title
  std::string hosts;        // result link hosts, sorted and unique, space-separated
  int results = 0;
  int highlighted = 0;
  int redLines = 0;
};

class BrowserVisit : public ::testing::Test {
 protected:
  void SetUp() override {
    chromium_ = FindChromium();
    if (chromium_.empty()) GTEST_SKIP() << "chromium is not installed: no browser test";
    std::string error;
    // Each suite has its own folder, so that suites may run side by side.
    const char* suite = ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name();
    ASSERT_TRUE(stack_.Start(suite, BothDemoNodes(), 5000, &error)) << error;
    artefacts_ = stack_.folder();
    ASSERT_TRUE(browser_.Start(chromium_, artefacts_ + "/chromium-profile", kWidth, kHeight,
                               artefacts_ + "/run/chromium.out", &error))
        << error;
  }

  std::string Text(const std::string& expression) {
    std::string value;
    std::string error;
    EXPECT_TRUE(browser_.Eval(expression, &value, &error)) << error;
    return value;
  }

  Visible Look() {
    Visible seen;
    seen.heading = Text("document.querySelector('.searchheading')?.innerText");
    seen.summary = Text("document.querySelector('.summary')?.innerText");
    seen.sorting = Text("document.querySelector('.sorting')?.innerText");
    seen.searchBox = Text("document.querySelector('input[name=vexa_query]')?.value");
    seen.firstNumber = Text(
        "document.querySelector('ol.result_list') ? document.querySelector('ol.result_list').start"
        " + '.' : document.querySelector('.result_title b')?.innerText");
    seen.hosts = Text(
        "[...new Set([...document.querySelectorAll('.result_title a')]"
        ".map(a => new URL(a.href).host))].sort().join(' ')");
    seen.results = std::atoi(
        Text("document.querySelectorAll('.result_block, .result_altblock').length").c_str());
    seen.highlighted = std::atoi(
        Text("[...document.querySelectorAll('.highlight')].filter(e => e.offsetWidth > 0).length")
            .c_str());
    seen.redLines = std::atoi(Text("document.querySelectorAll('font[color=red]').length").c_str());
    return seen;
  }

  void Shoot(const std::string& name, int maxHeight = 20000) {
    std::string error;
    std::string path = artefacts_ + "/" + name + ".png";
    ASSERT_TRUE(browser_.Screenshot(path, maxHeight, &error)) << error;
    EXPECT_GT(std::filesystem::file_size(path), 10000u) << path << " looks empty";
  }

  void Follow(const std::string& script) {
    std::string error;
    ASSERT_TRUE(browser_.RunAndWaitForPage(script, &error)) << script << ": " << error;
  }

  std::string chromium_;
  std::string artefacts_;
  DemoStack stack_;
  HeadlessBrowser browser_;
};

TEST_F(BrowserVisit, SearchPageTwoAndSortByDate) {
  std::string error;
  ASSERT_TRUE(browser_.Open(stack_.BaseUrl() + "/", &error)) << error;
  EXPECT_EQ(Text("location.pathname"), "/quorix.cgi") << "the site root leads to the search";
  EXPECT_EQ(Text("document.querySelectorAll('form input[name=vexa_query]').length"), "1");
  EXPECT_EQ(Text("document.querySelector('.summary')"), "") << "results before any search";
  Shoot("1-search-form");

  // The page offers the search to the browser: the description its link names,
  // and the RSS answer its template leads to, parse as XML in the browser.
  const std::string fetch =
      "const get = url => { const x = new XMLHttpRequest(); x.open('GET', url, false); x.send();"
      " return [x.getResponseHeader('Content-Type'),"
      " new DOMParser().parseFromString(x.responseText, 'application/xml')]; };"
      "const [type, description] = get(document.querySelector('link[rel=search]').href);";
  EXPECT_EQ(Text("(() => {" + fetch + " return type; })()"),
            "application/opensearchdescription+xml");
  EXPECT_EQ(Text("(() => {" + fetch +
                 " return description.querySelector('Url[type=\"text/html\"]')"
                 ".getAttribute('template'); })()"),
            stack_.SearchUrl() +
                "?vexa_query={searchTerms}&vexa_page={startPage?}"
                "&vexa_per_page={count?}");
  EXPECT_EQ(Text("(() => {" + fetch +
                 " const rss = description.querySelector('Url[type=\"application/rss+xml\"]')"
                 ".getAttribute('template').replace('{searchTerms}', 'garden')"
                 ".replace(/{[a-zA-Z]+\\?}/g, '');"
                 " const [rssType, answer] = get(rss);"
                 " return [rssType, answer.querySelector('parsererror') ? 'broken' : 'parsed',"
                 " answer.getElementsByTagName('item').length].join(' '); })()"),
            "application/rss+xml; charset=utf-8 parsed 10");

  // The visitor types a query and presses the button.
  Follow(
      "(() => { document.querySelector('input[name=vexa_query]').value = 'garden';"
      " document.querySelector('.vexa_button').click(); })()");
  Visible first = Look();
  EXPECT_EQ(first.heading, "Search results for: garden");
  EXPECT_EQ(first.searchBox, "garden");
  EXPECT_EQ(first.results, 10);
  EXPECT_EQ(first.firstNumber, "1.");
  EXPECT_EQ(first.hosts, "magazine.example www.riverton.example") << "results of both nodes";
  EXPECT_GT(first.highlighted, 0) << "no highlighted search word";
  EXPECT_EQ(first.redLines, 0);
  EXPECT_NE(first.summary.find("results found."), std::string::npos) << first.summary;
  EXPECT_NE(first.sorting.find("Sorted by relevance"), std::string::npos) << first.sorting;
  Shoot("2-results");
  Shoot("2-results-top", 1400);

  Follow("[...document.querySelectorAll('a')].find(a => a.textContent.trim() === '2').click()");
  Visible second = Look();
  EXPECT_EQ(second.firstNumber, "11.");
  EXPECT_EQ(second.results, 10);
  EXPECT_EQ(second.heading, "Search results for: garden");
  std::vector<std::string> log = stack_.SearchLog();
  ASSERT_FALSE(log.empty());
  EXPECT_NE(log.back().find("READCACHE"), std::string::npos) << log.back();
  Shoot("3-page-2");

  Follow("[...document.querySelectorAll('a')].find(a => a.textContent === 'Sort by date').click()");
  Visible sorted = Look();
  EXPECT_NE(sorted.sorting.find("Sorted by date"), std::string::npos) << sorted.sorting;
  EXPECT_NE(sorted.sorting.find("Sort by relevance"), std::string::npos) << sorted.sorting;
  EXPECT_EQ(sorted.firstNumber, "11.") << "the sort link keeps the page";
  EXPECT_EQ(sorted.results, 10);
  Shoot("4-sorted-by-date");
}

// axe-core's findings on one page: "id(impact) x nodes" per rule, and how
// many of them are critical or serious.
struct AxeFindings {
  std::string summary;
  int severe = 0;
};

class AccessibilityCheck : public BrowserVisit {
 protected:
  AxeFindings Check(const std::string& target) {
    std::string error;
    EXPECT_TRUE(browser_.Open(stack_.BaseUrl() + target, &error)) << error;
    std::ifstream file(AXE_CORE_SCRIPT, std::ios::binary);
    std::stringstream source;
    source << file.rdbuf();
    EXPECT_TRUE(browser_.RunScript(source.str(), &error)) << error;
    std::string found;
    EXPECT_TRUE(browser_.EvalAwait(
        "axe.run(document, {resultTypes: ['violations'], rules: {'target-size': {enabled: true}}}).then(r => r.violations"
        ".map(v => v.id + '(' + v.impact + ') x' + v.nodes.length).join(', '))",
        &found, &error))
        << error;
    AxeFindings findings{found, 0};
    for (const char* impact : {"(critical)", "(serious)"})
      for (size_t at = found.find(impact); at != std::string::npos; at = found.find(impact, at + 1))
        ++findings.severe;
    return findings;
  }
};

// The results page, a page without results and page 2, on a wide screen and on
// a phone: no critical or serious finding. With PageMarkup 0 the findings are
// only reported, for comparison.
TEST_F(AccessibilityCheck, NothingSeriousOnThePagesAVisitorSees) {
  ASSERT_TRUE(std::filesystem::exists(AXE_CORE_SCRIPT))
      << "axe-core is missing: npm install --prefix build/axe axe-core@4.14";
  const char* pages[][2] = {{"results", "/quorix.cgi?vexa_query=garden"},
                            {"no-results", "/quorix.cgi?vexa_query=zzqxv"},
                            {"page-2", "/quorix.cgi?vexa_query=garden&vexa_page=2"}};
  for (int width : {1280, 390}) {
    std::string error;
    ASSERT_TRUE(browser_.Resize(width, width > 600 ? 1000 : 844, width < 600, &error)) << error;
    for (const auto& page : pages) {
      AxeFindings findings = Check(page[1]);
      std::cout << "axe " << width << "px " << page[0] << ": "
                << (findings.summary.empty() ? "no violations" : findings.summary) << "\n";
      EXPECT_EQ(findings.severe, 0) << width << "px " << page[0] << ": " << findings.summary;
      Shoot(std::string("axe-") + page[0] + "-" + std::to_string(width), 3000);
    }
  }
}

}  // namespace
}  // namespace quorix::e2e
