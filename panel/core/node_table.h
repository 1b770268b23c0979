// Operations on the node table of a settings record: the node list's rows and
// compaction, removing, enabling and disabling nodes, checking what the user
// typed for a node, duplicates, and the test whether two records differ.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/settings.h"
#include "config/url_split.h"
#include "panel/core/session.h"

namespace quorix::panel {

inline constexpr int32_t kMaxTimeoutMs = 180000;
inline constexpr int32_t kNewNodeTimeoutMs = 10000;

// One row of the node list; row r is node slot r after FillNodeList.
struct NodeRow {
  std::string label;    // "0 (Vexa)", "1 (OpenSearch)"
  std::string url;      // description URL, or the node URL of a Vexa node without one
  std::string timeout;  // in decimal
  bool disabled;        // drawn grey
};

// "scheme://hostpath".
std::string JoinUrl(const std::string& scheme, const std::string& host, const std::string& path);

// Moves the nodes in use (time-out above 0) down to slots 0.. in order, resets
// the slots left over, sets the node count, and returns one row per node.
std::vector<NodeRow> FillNodeList(Config& config);

// Removes the nodes of list rows `rows`; the rest keep their order. Nothing
// happens without rows. Returns whether any row was given.
bool RemoveNodes(Config& config, const std::vector<int>& rows);

// Sets the disabled flag of the nodes of `rows`. Returns whether any row was given.
bool SetNodesDisabled(Config& config, const std::vector<int>& rows, bool disabled);

// The node list's Remove, Enable and Disable on the working copy: with at least
// one row selected they mark the settings unsaved and not verified, and forget
// the per-slot verification results.
void RemoveSelectedNodes(PanelSession& session, const std::vector<int>& rows);
void SetSelectedNodesDisabled(PanelSession& session, const std::vector<int>& rows, bool disabled);

enum class NodeUrlKind { kVexaNode, kDescription };

// Checks a typed URL: it must canonicalise and split, with scheme "http" or
// "https", a host of 3 characters or more, and a path whose part from its last
// "/" has 2 characters or more. A Vexa node's path must also end in ".cgi" or
// ".exe" (case-sensitive) after its last "/". On success `parts` holds the URL.
bool ValidateNodeUrl(std::string_view text, NodeUrlKind kind, SplitUrl& parts);

// Why ValidateNodeUrl refuses `text`, in a few words for the field's side;
// empty when it accepts it.
std::string NodeUrlProblem(std::string_view text, NodeUrlKind kind);

// The decimal integer at the start of `text` (optional blanks and sign),
// saturated to 64 bits; 0 when there is none.
int64_t LeadingInteger64(std::string_view text);

// Reads a typed time-out: valid from 1 to 180000 milliseconds.
bool ParseTimeout(std::string_view text, int32_t& timeoutMs);

// The first node below the node count, other than `slot`, with the same
// description host and path (OpenSearch) or node host and path (Vexa) as
// `slot`, starting at `from`; -1 when there is none.
int FindDuplicateNode(const Config& config, int slot, bool openSearch, int from = 0);

// True when the records differ in what the search program sees of the nodes
// (count; per node disabled, type, hosts, paths, time-out) or in the search
// options, templates and log settings. Schemes, ports, the strict query flag
// and the debug mode take no part.
bool SettingsDiffer(const Config& a, const Config& b);

}  // namespace quorix::panel
