// The components' include arrows point only downwards, and a folder of the
// search program is reached from another only through its public header.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>

namespace quorix {
namespace {

struct Layer {
  const char* folder;
  int rank;                  // a folder may include only folders of a lower rank
  const char* publicHeader;  // the one header other folders may include; null: any
};

constexpr Layer kLayers[] = {
    {"platform", 0, nullptr},           {"config", 1, nullptr},
    {"nodequery", 2, nullptr},          {"search/pipeline", 3, "pipeline.h"},
    {"search/cache", 4, "cache.h"},     {"search/page", 4, "page.h"},
    {"search/answers", 5, "answers.h"}, {"search/request", 6, "cgi_main.h"},
    {"search/metrics", 3, "metrics.h"}, {"search/store", 5, "site_store.h"},
    {"panel/core", 3, nullptr},         {"panel/ui", 4, nullptr},
};

const Layer* LayerOf(const std::string& path) {
  const Layer* found = nullptr;
  for (const Layer& layer : kLayers) {
    std::string folder = std::string(layer.folder) + "/";
    if (path.rfind(folder, 0) == 0 && (!found || folder.size() > std::strlen(found->folder) + 1))
      found = &layer;
  }
  return found;
}

TEST(Layers, IncludesPointDownwardsAndThroughPublicHeaders) {
  const std::filesystem::path root = QUORIX_SOURCE_DIR;
  const std::regex include(R"re(#include "([^"]+)")re");
  int checked = 0;
  for (const Layer& from : kLayers) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root / from.folder)) {
      std::string file = std::filesystem::relative(entry.path(), root).string();
      if (!entry.is_regular_file() || LayerOf(file) != &from) continue;
      std::ifstream in(entry.path());
      for (std::string line; std::getline(in, line);) {
        std::smatch match;
        if (!std::regex_search(line, match, include)) continue;
        const std::string target = match[1];
        const Layer* to = LayerOf(target);
        if (!to || to == &from) continue;
        ++checked;
        EXPECT_LT(to->rank, from.rank) << file << " includes " << target;
        if (to->publicHeader) {
          EXPECT_EQ(target, std::string(to->folder) + "/" + to->publicHeader)
              << file << " reaches past the public header of " << to->folder;
        }
      }
    }
  }
  EXPECT_GT(checked, 100);
}

}  // namespace
}  // namespace quorix
