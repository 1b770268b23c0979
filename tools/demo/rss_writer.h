// The RSS answers of the demo nodes.
#pragma once

#include <string>
#include <vector>

#include "tools/demo/search_engine.h"

namespace quorix::demo {

// Escapes &, < and > (and " in attributes) for XML text.
std::string XmlEscape(const std::string& text);

struct RecommendedLink {
  std::string title;
  std::string link;
  std::string description;
};

struct AnswerPage {
  std::string query;    // as the visitor typed it
  std::string selfUrl;  // the node's own search address
  const std::vector<Hit>* hits = nullptr;
  int page = 1;  // 1-based
  int perPage = 10;
  double searchSeconds = 0;
};

// A Vexa-protocol answer: RSS 2.0 with OpenSearch and vexa: elements.
std::string VexaAnswer(const AnswerPage& page, const SearchEngine& engine,
                       const std::string& searchedCategory,
                       const std::vector<std::string>& spellings,
                       const std::vector<RecommendedLink>& recommended);

// A plain OpenSearch RSS answer. `startIndex` is 1-based.
std::string OpenSearchAnswer(const AnswerPage& page, int startIndex);

// The OpenSearch description document of a node whose search address is `searchUrl`.
std::string OpenSearchDescription(const std::string& searchUrl);

}  // namespace quorix::demo
