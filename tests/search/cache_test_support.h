// Helpers shared by the cache tests: a scratch program directory and items.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "search/pipeline/result_set.h"

namespace quorix::testing {

// A program directory that is removed with everything in it.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quorix-cache-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

inline std::string ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// `count` items of `node`, titled "item 1", "item 2", ... from `first`.
inline ItemList MakeItems(int count, int32_t node, int first = 1) {
  ItemList items;
  for (int i = 0; i < count; ++i) {
    auto item = std::make_unique<Item>();
    item->node = node;
    item->title = "item " + std::to_string(first + i);
    item->description = "about " + std::to_string(first + i);
    item->link = "http://example.test/" + std::to_string(first + i);
    item->pubDate = "Mon, 01 Jan 2024 00:00:00 GMT";
    item->category[0] = "news";
    item->vexaContext = "context";
    item->vexaScore = 1000 - i;
    item->vexaTermsMatched = 2;
    item->vexaItemSize = 1234;
    item->vexaImageURL = "http://example.test/i.png";
    item->vexaDateTime = int64_t{5000000000} + i;  // needs all 64 bits
    items.push_back(std::move(item));
  }
  return items;
}

}  // namespace quorix::testing
