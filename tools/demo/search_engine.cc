#include "tools/demo/search_engine.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

namespace quorix::demo {
namespace {

std::string Lower(const std::string& text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '\''; }

std::vector<std::string> Words(const std::string& lowered) {
  std::vector<std::string> words;
  std::string word;
  for (char c : lowered + " ") {
    if (IsWordChar(c)) {
      word += c;
    } else if (!word.empty()) {
      words.push_back(word);
      word.clear();
    }
  }
  return words;
}

int CountOccurrences(const std::string& haystack, const std::string& needle) {
  if (needle.empty()) return 0;
  int count = 0;
  for (size_t at = haystack.find(needle); at != std::string::npos;
       at = haystack.find(needle, at + needle.size()))
    ++count;
  return count;
}

size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string Snippet(const Document& document, const std::string& term) {
  std::string lowered = Lower(document.text);
  size_t at = term.empty() ? std::string::npos : lowered.find(term);
  size_t start = at == std::string::npos || at < 60 ? 0 : at - 60;
  while (start > 0 && document.text[start - 1] != ' ') --start;
  std::string snippet = document.text.substr(start, 160);
  if (start > 0) snippet = "..." + snippet;
  if (start + 160 < document.text.size()) snippet += "...";
  return snippet;
}

}  // namespace

ParsedQuery ParseQuery(const std::string& query) {
  ParsedQuery parsed;
  std::string lowered = Lower(query);
  size_t i = 0;
  while (i < lowered.size()) {
    if (lowered[i] == ' ') {
      ++i;
      continue;
    }
    bool exclude = lowered[i] == '-';
    if (exclude) ++i;
    std::string term;
    if (i < lowered.size() && lowered[i] == '"') {
      size_t close = lowered.find('"', i + 1);
      term = lowered.substr(i + 1, close == std::string::npos ? std::string::npos : close - i - 1);
      i = close == std::string::npos ? lowered.size() : close + 1;
    } else {
      size_t space = lowered.find(' ', i);
      term = lowered.substr(i, space == std::string::npos ? std::string::npos : space - i);
      i = space == std::string::npos ? lowered.size() : space;
    }
    term.erase(std::remove(term.begin(), term.end(), '*'), term.end());
    if (term.empty()) continue;
    (exclude ? parsed.exclude : parsed.include).push_back(term);
  }
  return parsed;
}

SearchEngine::SearchEngine(std::vector<Document> documents) : documents_(std::move(documents)) {
  std::map<std::string, int> frequency;
  for (const Document& document : documents_) {
    if (std::find(categories_.begin(), categories_.end(), document.category) == categories_.end())
      categories_.push_back(document.category);
    lowered_.push_back(Lower(document.title + " " + document.text));
    std::vector<std::string> words = Words(lowered_.back());
    for (const std::string& word : std::set<std::string>(words.begin(), words.end()))
      ++frequency[word];
  }
  vocabulary_.assign(frequency.begin(), frequency.end());
}

std::vector<Hit> SearchEngine::Search(const SearchRequest& request) const {
  ParsedQuery parsed = ParseQuery(request.query);
  std::set<std::string> wanted;
  for (int number : request.categories) {
    if (number < 0) {
      wanted.clear();
      break;
    }
    if (number < static_cast<int>(categories_.size())) wanted.insert(categories_[number]);
  }
  std::vector<Hit> hits;
  for (size_t i = 0; i < documents_.size() && !parsed.include.empty(); ++i) {
    const Document& document = documents_[i];
    if (!wanted.empty() && !wanted.count(document.category)) continue;
    bool excluded = false;
    for (const std::string& term : parsed.exclude)
      excluded |= lowered_[i].find(term) != std::string::npos;
    if (excluded) continue;
    Hit hit;
    hit.document = &document;
    std::string lowerTitle = Lower(document.title);
    for (const std::string& term : parsed.include) {
      int inText = CountOccurrences(lowered_[i], term);
      if (inText == 0) continue;
      ++hit.termsMatched;
      hit.score += 10 * inText + 40 * CountOccurrences(lowerTitle, term);
    }
    size_t needed = request.matchAll ? parsed.include.size() : 1;
    if (hit.termsMatched < static_cast<int>(needed)) continue;
    hit.context = Snippet(document, parsed.include.front());
    hits.push_back(std::move(hit));
  }
  std::stable_sort(hits.begin(), hits.end(), [&](const Hit& a, const Hit& b) {
    return request.sortByDate ? a.document->date > b.document->date : a.score > b.score;
  });
  return hits;
}

std::vector<std::string> SearchEngine::SuggestSpellings(const std::string& query) const {
  std::vector<std::string> words = Words(Lower(query));
  // For each unknown word, the closest known words (distance 1, then 2), most frequent first.
  std::vector<std::vector<std::string>> options(words.size());
  bool anyUnknown = false;
  for (size_t w = 0; w < words.size(); ++w) {
    const std::string& word = words[w];
    bool known = std::any_of(vocabulary_.begin(), vocabulary_.end(),
                             [&](const auto& entry) { return entry.first == word; });
    if (known || word.size() < 3) {
      options[w] = {word};
      continue;
    }
    anyUnknown = true;
    std::vector<std::pair<size_t, int>> scored;  // distance, -frequency, as a ranking
    std::vector<std::string> candidates;
    for (const auto& [candidate, frequency] : vocabulary_) {
      size_t distance = EditDistance(word, candidate);
      if (distance <= 2) {
        scored.push_back({distance, -frequency});
        candidates.push_back(candidate);
      }
    }
    std::vector<size_t> order(candidates.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return scored[a] < scored[b]; });
    for (size_t i = 0; i < order.size() && i < 3; ++i) options[w].push_back(candidates[order[i]]);
    if (options[w].empty()) options[w] = {word};
  }
  std::vector<std::string> suggestions;
  if (!anyUnknown) return suggestions;
  for (size_t choice = 0; choice < 3; ++choice) {
    std::string text;
    bool changed = false;
    for (size_t w = 0; w < words.size(); ++w) {
      const auto& list = options[w];
      const std::string& pick = list[std::min(choice, list.size() - 1)];
      changed |= choice < list.size() && pick != words[w];
      text += (w ? " " : "") + pick;
    }
    if (changed && std::find(suggestions.begin(), suggestions.end(), text) == suggestions.end())
      suggestions.push_back(text);
  }
  return suggestions;
}

}  // namespace quorix::demo
