// Where a node's query URL comes from and how it is filled.
//
// A Vexa node is queried on its node URL with the built-in template, unless it
// names an OpenSearch description document; an OpenSearch node takes its
// template from its description document, unless the settings already hold the
// query URL. Every function reads one node's settings, keeps what the request
// finds out in the node's run, and logs through `log`.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "config/settings.h"
#include "nodequery/http_client.h"
#include "nodequery/node_query_options.h"
#include "nodequery/node_request.h"
#include "nodequery/records.h"
#include "platform/log.h"
#include "platform/status.h"

namespace quorix {

// The longest path and query sent to a node. It holds any query of 255
// characters, escaped, in the longest template a description may give, and
// stays within the 8 KB request line that web servers accept.
inline constexpr size_t kRequestPathUnits = 8000;
inline constexpr size_t kTemplateHostUnits = 255;   // osHost: 256 including the terminator
inline constexpr size_t kTemplatePathUnits = 2047;  // osPath
inline constexpr size_t kTemplateQueryUnits = 511;  // query template from a description

// What a node's query needs besides its record: where it logs, its options,
// the flag that cancels its transfers (may be null) and this search's own
// host and path (NodeQueryRequest::selfHost, selfPath; empty when unknown).
struct NodeQueryEnv {
  LogSink& log;
  const NodeQueryOptions& options;
  const std::atomic<bool>* cancel = nullptr;
  std::string_view selfHost = {};
  std::string_view selfPath = {};
};

// Copies the query URL of the settings into the run (empty when the node
// takes it from its description document or its node URL).
void UseConfiguredUrl(const NodeRecord& node, NodeRun& run);

// Fills the query URL of node `n`'s run (osScheme, osHost, osPath, osQuery)
// from its settings, fetching the description document where needed. Returns
// 0 or a node error code. A Vexa node whose description cannot be used falls
// back to its node URL and the built-in template but still returns the
// description's code (-2000 when the node URL is empty as well).
Status ResolveQueryUrl(int n, const NodeRecord& node, NodeRun& run, const NodeQueryEnv& env);

// Fetches node `n`'s description document and, when it holds a usable RSS
// template, stores it in the run split into osScheme, osHost, osPath and
// osQuery and sets descriptionResolved. Also stores the document's body and
// descriptionHostLocal in the run. Returns 0, -1001, -1002, -1003, -1004,
// -1005, -2001 for a template that leads to a local address the node may not
// reach, or kNodeLeadsToSelf when the template or a redirect leads back to this search.
Status CheckOpenSearchDescriptionFileURL(int n, const NodeRecord& node, NodeRun& run,
                                         const NodeQueryEnv& env);

// True when one of the node's hosts from the settings (node URL, description
// URL, query URL) is a local address (IsLocalAddressLiteral), or when
// `nameResolvedLocal`: a configured name was reached on a local address
// (NodeRun::descriptionHostLocal). Then the node's templates and redirects
// may lead to the local network too.
bool ConfiguredOnLocalNetwork(const NodeRecord& node, bool nameResolvedLocal);

// Whether a query template of the node may name `host`.
bool TemplateHostAllowed(const NodeRecord& node, bool nameResolvedLocal, std::string_view host);

// How far a transfer to the node may reach: `targetFromNode` when the host
// itself came from the node (a description's template).
AddressReach ReachFor(const NodeRecord& node, bool nameResolvedLocal, bool targetFromNode);

// Logs "Node #N: <failure> to \"host\"" at error level; visitors' pages get
// "Node #N: <failure>" alone.
void LogNodeHostFailure(LogSink& log, int n, const char* failure, const std::string& host);

// The lines of a connection to `host` refused by the local-address rule: the
// failure as LogNodeHostFailure writes it, and the reason for debug mode.
void LogRefusedAddress(LogSink& log, int n, const char* failure, const std::string& host);

// The line of a template or redirect refused because it leads back to this
// search: `where` (host and path) only in the debug lines.
void LogLeadsToSelf(LogSink& log, int n, const std::string& where);

// The lines of a failed send, with the transport's detail for debug mode. The
// control panel's form (detailedSendFailure) names the host alone and adds the
// transport's error line; the search program's names host and `path`.
void LogSendFailure(const NodeQueryEnv& env, int n, const std::string& host,
                    const std::string& path, int32_t error, const std::string& detail);

// Splits a query template into scheme, host (may carry ":port"), path and query
// (beginning with "?"). "http://" and "https://" templates give their own
// scheme; "//host/..." takes the scheme of `base`; other templates are resolved
// against the description URL `base` (scheme, host, path with query).
enum class TemplateSplit { kOk, kNoPathOrQuery, kTooLong, kUnsupportedScheme };
struct UrlParts {
  std::string scheme, host, path, query;
};
TemplateSplit SplitQueryTemplate(std::string_view templ, const UrlParts& base, UrlParts& out);

// Fills the template of node `n`'s run with the escaped query, the item count,
// the start page and start index, and stores the path and query to send in
// run.requestPath (Vexa nodes get their fixed parameters and categories
// appended). Sets run.countSupported and run.startPageSupported. Returns 0,
// -1004, or kQueryUrlTooLong (run.requestPath empty) when the filled path and
// query would exceed kRequestPathUnits.
Status BuildQueryString(int n, const NodeRecord& node, NodeRun& run,
                        const NodeQueryRequest& request, int32_t requested, bool useCats,
                        bool searchMultiCats, LogSink& log);

// Replaces every occurrence of `placeholder` in `text` by `value`. True when the
// placeholder occurs (a placeholder equal to its value counts as absent).
bool ReplaceAll(std::string_view placeholder, std::string_view value, std::string& text);

}  // namespace quorix
