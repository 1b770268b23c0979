// Full-text search over a demo corpus: terms, quoted phrases, excluded words,
// AND/OR, categories, relevance or date order, spelling suggestions.
#pragma once

#include <string>
#include <vector>

#include "tools/demo/corpus.h"

namespace quorix::demo {

struct SearchRequest {
  std::string query;
  bool matchAll = false;
  std::vector<int> categories;  // category numbers; empty or containing -1 means all
  bool sortByDate = false;
};

struct Hit {
  const Document* document = nullptr;
  int score = 0;
  int termsMatched = 0;
  std::string context;  // a snippet of the text around the first matched term
};

class SearchEngine {
 public:
  explicit SearchEngine(std::vector<Document> documents);

  std::vector<Hit> Search(const SearchRequest& request) const;
  // Category names in number order.
  const std::vector<std::string>& Categories() const { return categories_; }
  // Up to three whole-query alternatives with misspelt words replaced.
  std::vector<std::string> SuggestSpellings(const std::string& query) const;
  size_t size() const { return documents_.size(); }

 private:
  std::vector<Document> documents_;
  std::vector<std::string> categories_;
  std::vector<std::string> lowered_;  // title + text of each document, lower case
  std::vector<std::pair<std::string, int>> vocabulary_;  // word and document frequency
};

// Splits a query into lower-case words and quoted phrases; "-word" excludes.
struct ParsedQuery {
  std::vector<std::string> include;
  std::vector<std::string> exclude;
};
ParsedQuery ParseQuery(const std::string& query);

}  // namespace quorix::demo
