// What a node answered: the CHANNEL record of each node slot and its ITEM
// records, and the request-wide totals that parsing keeps.
//
// Text fields are UTF-8. The specification's capacity of 4096 characters per
// text field is a limit enforced when a value is stored (CutUtf16), not a size
// reserved in memory.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "config/settings.h"
#include "platform/status.h"

namespace quorix {

inline constexpr size_t kTextFieldUnits = 4095;  // 4096 including the terminator
inline constexpr int kItemCategories = 8;
inline constexpr int kChannelCategoryNames = 64;
inline constexpr int kSpellingSuggestions = 3;

// One search result; also the layout of a recommended link (title, description, link only).
struct Item {
  int32_t node = 0;
  std::string title;
  std::string description;
  std::string link;
  std::array<std::string, kItemCategories> category;
  std::string pubDate;
  std::string vexaContext;
  int32_t vexaScore = 0;
  int32_t vexaTermsMatched = 0;
  int32_t vexaItemSize = 0;
  std::string vexaImageURL;
  int64_t vexaDateTime = 0;  // seconds since 1970-01-01 UTC; 0 when the node gave none
  uint64_t alsoFoundAt = 0;  // bit n: node n had the same link (duplicate merging)
};

// The values a Vexa node reports in its vexa:setting elements, in comparison order.
struct SettingsBlock {
  std::string Version;
  bool UseUTF8 = false;
  int32_t MinWordLen = 0;
  bool Highlighting = false;
  int32_t HighlightLimit = 0;
  bool GotoHighlight = false;
  bool PdfHighlight = false;
  bool DisplayMetaDesc = false;
  bool UseDateTime = false;
  bool DisplayDate = false;
  bool DisplayContext = false;
  bool DisplayTitle = false;
  bool DisplayTerms = false;
  bool DisplayScore = false;
  bool DisplayURL = false;
  bool DisplayFilesize = false;
  bool UseVexaImage = false;
  bool WordSplit = false;
  bool SearchAsSubstring = false;
  bool ToLowerSearchWords = false;
  int32_t ContextSize = 0;
  int32_t MaxContextKeywords = 0;
  std::string WordJoinChars;
  bool Spelling = false;
  int32_t SpellingWhenLessThan = 0;
  bool Recommended = false;
  int32_t RecommendedMax = 0;
  bool UseCats = false;
  bool SearchMultiCats = false;
  int32_t NumCats = 0;
  bool MapAccents = false;
  std::string AccentChars;
  std::string NormalChars;
  std::string LinkTarget;
};

// What one node answered.
struct Channel {
  int32_t node = -1;  // -1 until the node's response has been parsed
  int32_t nodeType = 0;
  bool valid = false;
  double searchTime = 0;
  std::string osPrefix;
  SettingsBlock settings;
  int32_t osTotalQueriedItems = 0;
  std::string xmlVersion, encoding, rssVersion, osXMLNS;
  std::string title, link, description;
  std::array<std::string, kChannelCategoryNames> catNames;
  std::string vexaSearchQuery, vexaSearchCategory;
  std::array<std::string, kSpellingSuggestions> vexaSpellingSuggestions;
  int32_t totalResults = -1;
  int32_t osStartIndex = 0;
  int32_t osItemsPerPage = 0;
  std::string osLink;
  std::vector<Item> recommended;  // recommendedCount == recommended.size()
  // Sources of the node's own that were still answering (a partial answer).
  int32_t pendingSources = 0;
  std::vector<std::unique_ptr<Item>> items;
};

// What one node's parse adds to the request-wide totals. A worker fills its own
// NodeTotals; the dispatch merges it into RequestTotals only when the worker
// finished within its time-out, so an abandoned worker never reaches the totals.
struct NodeTotals {
  int32_t queriedItems = 0;
  int32_t availableItems = 0;
  bool valid = false;
  bool vexaScoreSeen = false;
  int32_t maxVexaScore = 0;
  int32_t minVexaScore = 0;
};

struct RequestTotals {
  int32_t queriedItems = 0;    // items received from all nodes
  int32_t availableItems = 0;  // sum of the nodes' totalResults
  bool resultsValid = false;   // at least one node was valid (or the cache had results)
  int32_t validNodes = 0;
  bool vexaScoreSeen = false;
  int32_t maxVexaScore = 0;
  int32_t minVexaScore = 0;

  // Adds one node's totals; thread-safe.
  void Merge(const NodeTotals& node);

 private:
  std::mutex mutex_;
};

// Whether the node an answer came from is an OpenSearch node (IsOpenSearchNode).
inline bool IsOpenSearchNode(const Channel& channel) { return channel.nodeType != 0; }

// One node's part in one request: the query URL it was asked on (from the
// settings, or from its description document), what it answered, and which
// template parameters that URL supports. Starts afresh at every request.
struct NodeRun {
  std::string osScheme, osHost, osPath, osQuery;  // osQuery begins with "?"
  bool descriptionResolved = false;  // the query URL came from the description document
  // The first hop of the description's fetch went straight to a local address.
  bool descriptionHostLocal = false;
  std::string requestPath;   // path and query sent
  std::string responseBody;  // UTF-8 (repaired); emptied once a usable answer is parsed
  bool countSupported = true;
  bool startPageSupported = true;
};

// Everything node querying produces for one request.
struct NodeResults {
  std::array<Channel, kMaxNodes> channels;
  std::array<NodeRun, kMaxNodes> runs;
  std::array<Status, kMaxNodes> status;
  // Milliseconds from a node's start until it answered or was given up; 0 for
  // a node that was not asked.
  std::array<int32_t, kMaxNodes> elapsedMs{};
  RequestTotals totals;
  int32_t startedWorkers = 0;

  NodeResults() { status.fill(kNodeNotRun); }
};

}  // namespace quorix
