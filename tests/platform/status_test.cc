#include "platform/status.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

namespace quorix {
namespace {

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A code that means two things cannot be told apart by whoever receives it,
// so every status code is defined in platform/status.h with a value of its own.
TEST(StatusCodes, DefinedInOneHeaderWithValuesOfTheirOwn) {
  const std::filesystem::path root = QUORIX_SOURCE_DIR;
  const std::regex definition(R"(constexpr Status (k\w+) = (-?\d+);)");
  std::map<long, std::string> byValue;
  std::string header = ReadText(root / "platform/status.h");
  for (std::sregex_iterator it(header.begin(), header.end(), definition), end; it != end; ++it) {
    long value = std::stol((*it)[2]);
    auto [where, added] = byValue.emplace(value, (*it)[1]);
    EXPECT_TRUE(added) << (*it)[1] << " has the value of " << where->second;
  }
  EXPECT_GT(byValue.size(), 40u);

  for (const char* folder : {"platform", "config", "nodequery", "search", "panel"}) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root / folder)) {
      if (entry.path().filename() == "status.h" || !entry.is_regular_file()) continue;
      std::string text = ReadText(entry.path());
      EXPECT_FALSE(std::regex_search(text, definition)) << entry.path();
    }
  }
}

}  // namespace
}  // namespace quorix
