// The configuration record shared by the search program and the control panel,
// and the search program's settings reader.
//
// Text fields are UTF-8. Capacities from the file format are enforced by the
// readers (a value too long for its field leaves the field unchanged).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/log.h"

namespace quorix {

inline constexpr int kMaxNodes = 64;
inline constexpr int kLangStringCount = 61;  // STR_ keys (the search program ignores index 44)
inline constexpr int kMaxWideCategoryNames = 66;
inline constexpr size_t kNodeNameMaxUnits = 63;  // NODE%d_NAME

// A node as the settings describe it. Read-only while a request runs: what a
// request finds out about the node is kept in its NodeRun.
struct NodeRecord {
  bool disabled = true;  // an unconfigured slot is disabled
  int32_t type = 0;      // 0 Vexa node, any other value OpenSearch node
  std::string nodeUrl;   // control panel: the canonical URL as last read
  std::string vexaScheme, vexaHost, vexaPath;
  std::string osDescScheme, osDescHost, osDescPath;
  uint16_t port = 0;                              // control panel: port of nodeUrl
  std::string osScheme, osHost, osPath, osQuery;  // configured query URL; osQuery begins with "?"
  int32_t timeoutMs = 0;
  int32_t strictQuerySyntax = 0;
  std::string name;  // shown in the sources line; empty: the query host

  bool IsVexa() const { return type == 0; }
};

inline bool IsOpenSearchNode(const NodeRecord& node) { return !node.IsVexa(); }

struct Config {
  int32_t nodeCount = 0;     // number of NODE%d_DISABLED lines read
  bool allVexaNodes = true;  // false when any enabled node is an OpenSearch node
  std::array<NodeRecord, kMaxNodes> nodes;

  int32_t overRequestFactor = 2;
  int32_t cacheValidPeriodMins = 1440;  // 0 turns caching off
  int32_t spelling = 0;
  int32_t spellingWhenLessThan = 0;
  int32_t recommended = 0;
  int32_t recommendedMax = 0;
  int32_t useDateTime = 0;
  int32_t useCats = 0;
  int32_t searchMultiCats = 0;
  // Category names in number order (line n + 1 of vexa_cats.qxdat is number n).
  std::vector<std::string> categoryNames;
  int32_t formFormat = 0;
  int32_t defaultToAnd = 0;
  int32_t showSearchTime = 0;  // key Timing
  int32_t showVexaInfo = 0;    // key VexaInfo
  std::string languageFileName;
  int32_t logging = 0;
  std::string logFileName;
  int32_t debugLogging = 0;
  std::string debugFileName;
  int32_t debugMode = 0;            // 0 off, 1 on, 2 verbose
  int32_t allowRequestDebug = 0;    // 1 lets a request's vexa_debug replace debugMode
  int32_t mergeDuplicates = 0;      // 1 merges items of different nodes with the same link
  int32_t showSources = 0;          // 1 writes the sources line below the summary
  int32_t pageMarkup = 0;           // 1 writes the labelled, list-based page markup
  int32_t nodeBackoffFailures = 3;  // consecutive failures before a node is paused
  int32_t nodeBackoffSecs = 0;      // first pause in seconds; 0 turns the back-off off
  // Milliseconds after which the page is written from the nodes that have
  // answered, the others completing the cached set later; 0 waits for every node.
  int32_t pageDeadlineMs = 0;
  // The ShortName and Description of the search's own OpenSearch description.
  std::string openSearchShortName;
  std::string openSearchDescription;
  // The search program's public address ("https://www.example.org/search/quorix.cgi");
  // when empty, its own description is built from the request's Host header.
  std::string publicBaseUrl;
  // The client addresses (REMOTE_ADDR, space-separated) that may read the
  // metrics; empty: 127.0.0.1 and ::1.
  std::string metricsAllowFrom;
  // The store shared by several web servers: empty for the files beside the
  // program, "redis://HOST:PORT/DB" or "unix:/PATH" for a Redis-protocol store.
  std::string sharedStore;
  std::string sharedStorePrefix = "quorix:";  // the start of every key
  std::string sharedStorePasswordFile;        // a file only the search's user may read
  int32_t sharedStoreTimeoutMs = 100;         // per connection and command
  // Requests that ask nodes, per client address and minute; 0 turns the limit off.
  int32_t rateLimitPerMinute = 0;
  // Addresses and CIDR ranges (space-separated) whose X-Forwarded-For is believed.
  std::string trustedProxies;

  // Control panel only (ignored by the search program).
  std::string templateFilename;
  std::string controlPanelInstallDirectory;
  std::string controlPanelSiteFolder;  // where the search runs on the web server
  int32_t controlPanelLogging = 0;
  int32_t controlPanelDebugMode = 0;
  int32_t controlPanelWarnWord = 0;

  // The STR_ texts (HTML), indexed by the key order of config/lang_keys.h.
  std::array<std::string, kLangStringCount> langStrings;
};

}  // namespace quorix
