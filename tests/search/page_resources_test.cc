#include "search/page/page_resources.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "config/category_names.h"
#include "config/lang_keys.h"
#include "search/page/page_tail.h"

namespace quorix {
namespace {

namespace fs = std::filesystem;

class PageResourcesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quorix_res_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string dir_;
  Config config_;
  VexaQuery query_;
};

TEST_F(PageResourcesTest, TemplateSurroundsTheSearchOutput) {
  std::ofstream(dir_ + "/search_template.html", std::ios::binary)
      << "<html><body>\n  <!--VexaSearch--> here\n</body></html>\n";
  PageOutput page;
  PageResourceFiles resources(page, dir_, config_, query_);
  resources.WriteTemplateHead();
  page.Write("[results]");
  Config config;
  config.langStrings[kStrPoweredBy] = "Powered by";
  VexaQuery query;
  NullLog log;
  PageTail tail(page, config, query, resources.pageTemplate(), log);
  tail.WritePageTail(ResultPage(), RequestOutcome());
  EXPECT_EQ(page.Captured(),
            "<html><body>\n[results]" + PageFooter("Powered by") + "</body></html>\n");
}

TEST_F(PageResourcesTest, TitleMarkerTakesTheQueryUnderTheCurrentMarkup) {
  std::ofstream(dir_ + "/search_template.html", std::ios::binary)
      << "<title><!--QUORIXQUERY-->Search</title>\n<!--VEXASEARCH-->\n";
  struct Case {
    int pageMarkup;
    const char* queryOut;
    const char* head;
  } cases[] = {
      {0, "a &amp; b", "<title><!--QUORIXQUERY-->Search</title>\n"},
      {1, "a &amp; b", "<title>a &amp; b - Search</title>\n"},
      {1, "", "<title>Search</title>\n"},
  };
  for (const Case& c : cases) {
    config_.pageMarkup = c.pageMarkup;
    query_.query_out = c.queryOut;
    PageOutput page;
    PageResourceFiles resources(page, dir_, config_, query_);
    resources.WriteTemplateHead();
    EXPECT_EQ(page.Captured(), c.head) << c.pageMarkup << " " << c.queryOut;
  }
}

TEST_F(PageResourcesTest, NoTemplateNoHead) {
  PageOutput page;
  PageResourceFiles resources(page, dir_, config_, query_);
  resources.WriteTemplateHead();
  EXPECT_EQ(page.Captured(), "");
  EXPECT_FALSE(resources.pageTemplate().isOpen());
}

TEST_F(PageResourcesTest, LoadsCategoryNames) {
  std::ofstream(dir_ + "/vexa_cats.qxdat", std::ios::binary) << "Books\nMusic\nFilms\n";
  PageOutput page;
  PageResourceFiles resources(page, dir_, config_, query_);
  Config config;
  EXPECT_EQ(resources.LoadCategoryNames(config), kOk);
  EXPECT_EQ(config.categoryNames, (std::vector<std::string>{"Books", "Music", "Films"}));
  EXPECT_EQ(page.Captured(), "");
}

// A names file that cannot be read twice (a pipe) stops the request with a
// plain message.
TEST_F(PageResourcesTest, UnseekableNamesFileReportsTheSeekFailure) {
  std::string path = dir_ + "/vexa_cats.qxdat";
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  std::thread writer([&] { std::ofstream(path, std::ios::binary) << "Books\nMusic"; });
  PageOutput page;
  PageResourceFiles resources(page, dir_, config_, query_);
  Config config;
  int result = resources.LoadCategoryNames(config);
  writer.join();
  EXPECT_EQ(result, kCategoryNamesSeekFailed);
  EXPECT_EQ(page.Captured(), "Error seeking in file.");
}

}  // namespace
}  // namespace quorix
