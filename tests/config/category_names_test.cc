#include "config/category_names.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace quorix {
namespace {

namespace fs = std::filesystem;

class CategoryNamesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quorix_cats_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  void WriteNames(const std::string& bytes) {
    std::ofstream(dir_ + "/vexa_cats.qxdat", std::ios::binary) << bytes;
  }
  std::string ReadNames() {
    std::ifstream in(dir_ + "/vexa_cats.qxdat", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::string dir_;
};

TEST_F(CategoryNamesTest, MissingFileSwitchesCategoriesOff) {
  Config config;
  config.useCats = 1;
  config.categoryNames = {"stale"};
  EXPECT_EQ(LoadCategoryNames(dir_, config), kOk);
  EXPECT_EQ(config.useCats, 0);
  EXPECT_TRUE(config.categoryNames.empty());

  fs::create_directory(dir_ + "/vexa_cats.qxdat");
  config.useCats = 1;
  EXPECT_EQ(LoadCategoryNames(dir_, config), kOk);
  EXPECT_EQ(config.useCats, 0) << "a directory holds no names";
}

TEST_F(CategoryNamesTest, OneNamePerLine) {
  struct Case {
    std::string bytes;
    std::vector<std::string> names;
  } cases[] = {
      {"Books\nMusic\nFilms\n", {"Books", "Music", "Films"}},
      {"Books\nMusic\nFilms", {"Books", "Music", "Films"}},
      {"Books\r\nMusic\r\n", {"Books", "Music"}},
      {"Books\n\nFilms", {"Books", "", "Films"}},
      {"\n", {""}},
      {"", {}},
      {"Caf\xC3\xA9\nbad \xFF byte", {"Caf\xC3\xA9", "bad \xEF\xBF\xBD byte"}},
  };
  for (const auto& c : cases) {
    WriteNames(c.bytes);
    Config config;
    EXPECT_EQ(LoadCategoryNames(dir_, config), kOk) << c.bytes;
    EXPECT_EQ(config.useCats, 1) << c.bytes;
    EXPECT_EQ(config.categoryNames, c.names) << "file: " << c.bytes;
  }
}

TEST_F(CategoryNamesTest, TableHoldsAtMost66NamesOf511Characters) {
  std::string bytes;
  for (int i = 0; i < 70; ++i) bytes += "cat" + std::to_string(i) + "\n";
  WriteNames(bytes);
  Config config;
  EXPECT_EQ(LoadCategoryNames(dir_, config), kOk);
  ASSERT_EQ(config.categoryNames.size(), static_cast<size_t>(kMaxWideCategoryNames));
  EXPECT_EQ(config.categoryNames.back(), "cat65");

  // 510 ASCII characters and a character of two UTF-16 units: the pair does not fit.
  WriteNames(std::string(510, 'n') + "\xF0\x9F\x98\x80tail\nshort");
  EXPECT_EQ(LoadCategoryNames(dir_, config), kOk);
  ASSERT_EQ(config.categoryNames.size(), 2u);
  EXPECT_EQ(config.categoryNames[0], std::string(510, 'n'));
  EXPECT_EQ(config.categoryNames[1], "short");
}

TEST_F(CategoryNamesTest, WrittenNamesReadBackInOrder) {
  std::vector<std::string> names = {"Books", "Music & Films", "Caf\xC3\xA9"};
  ASSERT_TRUE(WriteCategoryNames(dir_, names));
  EXPECT_EQ(ReadNames(), "Books\nMusic & Films\nCaf\xC3\xA9");
  Config config;
  EXPECT_EQ(LoadCategoryNames(dir_, config), kOk);
  EXPECT_EQ(config.categoryNames, names);

  ASSERT_TRUE(WriteCategoryNames(dir_, {"Only"}));
  EXPECT_EQ(ReadNames(), "Only") << "the file is replaced";
}

TEST_F(CategoryNamesTest, WriteIntoMissingFolderFailsAfterOneRetry) {
  EXPECT_FALSE(WriteCategoryNames(dir_ + "/missing", {"a"}, std::chrono::milliseconds(0)));
  EXPECT_FALSE(fs::exists(dir_ + "/missing"));
}

}  // namespace
}  // namespace quorix
