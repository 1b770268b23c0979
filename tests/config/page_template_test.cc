#include "config/page_template.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace quorix {
namespace {

namespace fs = std::filesystem;

TEST(FindMarker, MatchesAnyCaseAnywhereInTheLine) {
  struct Case {
    std::string line;
    std::optional<size_t> position;
  } cases[] = {
      {"<!--VEXASEARCH-->", 0},
      {"<!--VexaSearch-->\n", 0},
      {"  <p>before <!--vexasearch--> after</p>", 12},
      {"<!-- VEXASEARCH -->", std::nullopt},
      {"<!--VEXASEARCH->", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(FindMarker(c.line), c.position) << "line: " << c.line;
}

class PageTemplateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quorix_tpl_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  void WriteTemplate(const std::string& bytes) {
    std::ofstream(dir_ + "/search_template.html", std::ios::binary) << bytes;
  }
  // Head and tail of the template as the page gets them.
  std::pair<std::string, std::string> Split(PageTemplate& pageTemplate) {
    std::string head, tail;
    pageTemplate.WriteHead([&](std::string_view text) { head += text; });
    pageTemplate.WriteTail([&](std::string_view text) { tail += text; });
    return {head, tail};
  }

  std::string dir_;
};

TEST_F(PageTemplateTest, SplitsAroundTheMarkerLine) {
  std::string longLine(1500, 'x');
  struct Case {
    std::string name, bytes, head, tail;
  } cases[] = {
      {"mixed case marker", "<html>\n<!--VexaSearch-->\n</html>\n", "<html>\n", "</html>\n"},
      {"text around the marker", "a\n<div><!--VEXASEARCH--></div>\nb\n", "a\n", "b\n"},
      {"marker on the first line", "<!--VEXASEARCH-->\nx\ny", "", "x\ny"},
      {"marker on the last line, no line end", "a\r\nb\r\n<!--VEXASEARCH-->", "a\r\nb\r\n", ""},
      {"no marker", "a\nb\n", "a\nb\n", ""},
      {"second marker stays in the tail", "a\n<!--VEXASEARCH-->\nb\n<!--VEXASEARCH-->\n", "a\n",
       "b\n<!--VEXASEARCH-->\n"},
      {"marker past the first 1023 bytes of a line",
       longLine + "<!--VEXASEARCH-->" + longLine + "\nend\n", "", "end\n"},
      {"NUL bytes pass", std::string("a\0b\n<!--VEXASEARCH-->\nc\0d", 25), std::string("a\0b\n", 4),
       std::string("c\0d", 3)},
      {"empty template", "", "", ""},
  };
  for (const auto& c : cases) {
    WriteTemplate(c.bytes);
    PageTemplate pageTemplate;
    ASSERT_TRUE(pageTemplate.Open(dir_)) << c.name;
    auto [head, tail] = Split(pageTemplate);
    EXPECT_EQ(head, c.head) << c.name;
    EXPECT_EQ(tail, c.tail) << c.name;
    EXPECT_FALSE(pageTemplate.isOpen()) << c.name << ": the tail closes the template";
  }
}

TEST_F(PageTemplateTest, NoTemplateWritesNothing) {
  PageTemplate pageTemplate;
  EXPECT_FALSE(pageTemplate.Open(dir_));
  auto [head, tail] = Split(pageTemplate);
  EXPECT_EQ(head + tail, "");

  fs::create_directory(dir_ + "/search_template.html");
  EXPECT_FALSE(pageTemplate.Open(dir_)) << "a directory is no template";
}

}  // namespace
}  // namespace quorix
