#include "nodequery/query_url.h"

#include "platform/text.h"

namespace quorix {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && AsciiLower(text.substr(0, prefix.size())) == prefix;
}

// The directory part of a path that may carry a query: up to its last "/".
std::string_view BaseDirectory(std::string_view pathWithQuery) {
  std::string_view path = pathWithQuery.substr(0, pathWithQuery.find('?'));
  size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string_view("/") : path.substr(0, slash + 1);
}

// Copies the node URL and the built-in template into the run's query URL.
void UseNodeUrl(const NodeRecord& node, NodeRun& run, const NodeQueryOptions& options) {
  run.osScheme = node.vexaScheme;
  run.osHost = node.vexaHost;
  run.osPath = node.vexaPath;
  run.osQuery = options.vexaTemplate;
}

// Runs the description check, timed in the node's timer slot under `label`,
// and logs whether the description URL was usable.
Status TimedDescriptionCheck(int n, const NodeRecord& node, NodeRun& run, const NodeQueryEnv& env,
                             const char* label) {
  ScopedTimer timer(env.log, n, "Node [%d]: CheckOpenSearchDescriptionFileURL %s", n, label);
  return CheckOpenSearchDescriptionFileURL(n, node, run, env);
}

}  // namespace

void UseConfiguredUrl(const NodeRecord& node, NodeRun& run) {
  run.osScheme = node.osScheme;
  run.osHost = node.osHost;
  run.osPath = node.osPath;
  run.osQuery = node.osQuery;
  run.descriptionResolved = false;
}

bool ConfiguredOnLocalNetwork(const NodeRecord& node, bool nameResolvedLocal) {
  return nameResolvedLocal || IsLocalAddressLiteral(node.vexaHost) ||
         IsLocalAddressLiteral(node.osDescHost) || IsLocalAddressLiteral(node.osHost);
}

bool TemplateHostAllowed(const NodeRecord& node, bool nameResolvedLocal, std::string_view host) {
  return !IsLocalNetworkHost(host) || ConfiguredOnLocalNetwork(node, nameResolvedLocal);
}

AddressReach ReachFor(const NodeRecord& node, bool nameResolvedLocal, bool targetFromNode) {
  if (ConfiguredOnLocalNetwork(node, nameResolvedLocal)) return AddressReach::kAny;
  return targetFromNode ? AddressReach::kPublicOnly : AddressReach::kPublicAfterFirstHop;
}

void LogNodeHostFailure(LogSink& log, int n, const char* failure, const std::string& host) {
  log.WriteWithDetail(kLogError, Format("Node #%d: %s", n, failure),
                      Format("Node #%d: %s to \"%s\"", n, failure, host.c_str()));
}

void LogRefusedAddress(LogSink& log, int n, const char* failure, const std::string& host) {
  LogNodeHostFailure(log, n, failure, host);
  log.Logf(kLogInfo, "Node #%d: (%s)", n, HttpErrorText(kHttpAddressRefused).c_str());
}

void LogLeadsToSelf(LogSink& log, int n, const std::string& where) {
  std::string line = Format("Node #%d: %s", n, HttpErrorText(kHttpLeadsToSelf).c_str());
  log.WriteWithDetail(kLogError, line, line + " \"" + where + "\"");
}

void LogSendFailure(const NodeQueryEnv& env, int n, const std::string& host,
                    const std::string& path, int32_t error, const std::string& detail) {
  const bool detailed = env.options.detailedSendFailure;
  const std::string named = detailed ? std::string() : path;
  env.log.WriteWithDetail(
      kLogError, Format("Node #%d: Failed to send HTTP request", n),
      Format("Node #%d: Failed to send HTTP request to \"%s%s\"", n, host.c_str(), named.c_str()));
  if (detailed) env.log.Logf(kLogError, "(Error: %s)", HttpErrorText(error).c_str());
  if (!detail.empty()) env.log.Logf(kLogInfo, "Node #%d: (Transport: %s)", n, detail.c_str());
}

TemplateSplit SplitQueryTemplate(std::string_view templ, const UrlParts& base, UrlParts& out) {
  std::string rest;  // "host/path?query"
  std::string scheme;
  if (StartsWithNoCase(templ, "http://")) {
    scheme = "http";
    rest = templ.substr(7);
  } else if (StartsWithNoCase(templ, "https://")) {
    scheme = "https";
    rest = templ.substr(8);
  } else if (templ.substr(0, 2) == "//") {
    scheme = base.scheme;
    rest = templ.substr(2);
  } else {
    size_t colon = templ.find("://");
    if (colon != std::string_view::npos && colon < templ.find_first_of("/?")) {
      return TemplateSplit::kUnsupportedScheme;
    }
    scheme = base.scheme;
    if (templ.substr(0, 1) == "/") {
      rest = base.host + std::string(templ);
    } else if (templ.substr(0, 1) == "?") {
      rest = base.host + std::string(base.path.substr(0, base.path.find('?'))) + std::string(templ);
    } else {
      rest = base.host + std::string(BaseDirectory(base.path)) + std::string(templ);
    }
  }
  size_t slash = rest.find('/');
  if (slash == std::string::npos || slash == 0) return TemplateSplit::kNoPathOrQuery;
  size_t question = rest.find('?', slash);
  if (question == std::string::npos) return TemplateSplit::kNoPathOrQuery;
  std::string host = rest.substr(0, slash);
  std::string path = rest.substr(slash, question - slash);
  std::string query = rest.substr(question);
  if (Utf16Length(host) > kTemplateHostUnits || Utf16Length(path) > kTemplatePathUnits ||
      Utf16Length(query) > kTemplateQueryUnits)
    return TemplateSplit::kTooLong;
  out = UrlParts{std::move(scheme), std::move(host), std::move(path), std::move(query)};
  return TemplateSplit::kOk;
}

Status ResolveQueryUrl(int n, const NodeRecord& node, NodeRun& run, const NodeQueryEnv& env) {
  UseConfiguredUrl(node, run);
  if (IsOpenSearchNode(node)) {
    if (!node.osHost.empty()) return kOk;
    Status status = TimedDescriptionCheck(n, node, run, env, "OpenSearch Node");
    if (status == kOk) {
      env.log.WriteWithDetail(
          kLogInfo, Format("Node #%d is a valid OpenSearch Description URL", n),
          Format("Node #%d \"http://%s%s\" is a valid OpenSearch Description URL", n,
                 node.osDescHost.c_str(), node.osDescPath.c_str()));
    } else {
      env.log.WriteWithDetail(
          kLogError, Format("Node #%d is NOT valid OpenSearch Description URL", n),
          Format("Node #%d \"http://%s%s\" is NOT valid OpenSearch Description URL", n,
                 node.osDescHost.c_str(), node.osDescPath.c_str()));
    }
    return status;
  }
  if (node.osDescHost.empty() || node.osDescPath.empty()) {
    UseNodeUrl(node, run, env.options);
    return kOk;
  }
  if (!node.osHost.empty()) return kOk;
  Status status = TimedDescriptionCheck(n, node, run, env, "Vexa Node");
  if (status == kOk) return kOk;
  if (node.vexaHost.empty() || node.vexaPath.empty()) return kQueryUrlEmpty;
  UseNodeUrl(node, run, env.options);
  return status;
}

}  // namespace quorix
