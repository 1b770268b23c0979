// The visitor's request as the search program reads it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "config/settings.h"

namespace quorix {

inline constexpr size_t kRawQueryMaxBytes = 2084;
inline constexpr size_t kQueryMaxUnits = 255;
inline constexpr size_t kQueryOutMaxBytes = 2084;
inline constexpr size_t kTermMaxBytes = 2085;

// A request that arrives through this many Quorix instances or more asks no
// node: a node list that leads back to a search it came through would
// otherwise go round without end.
inline constexpr int32_t kHopLimit = 4;

// The most results a visitor's page shows; a larger vexa_per_page is taken as
// this. Machine answers allow up to the most a node is ever asked for, which
// is what a front end federating this search asks on its deeper pages.
inline constexpr int32_t kMaxItemsPerPage = 100;
inline constexpr int32_t kMaxAnswerItemsPerPage = 1000;

struct VexaQuery {
  bool queryPresent = false;  // the request carried vexa_query (maybe empty)
  std::string rawQuery;       // as received, at most kRawQueryMaxBytes
  std::string query;          // at most kQueryMaxUnits UTF-16 units
  std::string escapedQuery;   // URL-escaped query, at most kEscapedQueryMaxBytes; the cache key
  bool escapeFailed = false;  // the query could not be escaped: no node or cache is used
  std::string query_out;      // HTML-escaped query for the page
  int32_t itemsPerPage = 10;
  int32_t currentPageNum = 1;
  bool wordMatchAll = false;
  bool sortDate = false;
  std::vector<int32_t> cat;  // numCats == cat.size(); single -1 means all categories
  std::string linkBase;      // start of every link the program writes; stays empty
  std::array<int32_t, kMaxNodes> nodeStartPage;
  int32_t nodeFilter = -1;  // vexa_node: show only this node's results; -1 all

  // Not part of the query itself, but of the request it came with.
  std::string clientAddress;  // REMOTE_ADDR, empty when unset
  int32_t arrivedHops = 0;    // X-Quorix-Hops of a request sent by another Quorix, else 0
  std::string selfHost;       // HTTP_HOST: where this search is reached, empty when unset
  std::string selfPath;       // SCRIPT_NAME, empty when unset
  int64_t startTicks = 0;     // NowTicks() when the program started

  VexaQuery() { nodeStartPage.fill(1); }
};

class HighlightRegexes;

// The query split into terms, with one highlight pattern per term.
struct TermList {
  std::vector<std::string> terms;
  std::vector<std::string> termPatterns;
  // The expressions compiled from termPatterns, kept while the page is written.
  std::shared_ptr<HighlightRegexes> regexes;
};

}  // namespace quorix
