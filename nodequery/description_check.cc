#include "nodequery/node_fetch.h"
#include "nodequery/query_url.h"
#include "nodequery/response_parser.h"
#include "nodequery/xml_scan.h"
#include "platform/text.h"

namespace quorix {
namespace {

constexpr const char* kDescriptionPath = "%s%T";

// The template of the description's first RSS Url element: its content when it
// holds a plain URL, else the template attribute of the first Url element
// whose start tag names an RSS type. False when there is none.
bool FindQueryTemplate(const std::string& document, std::string& templ) {
  FindResult found;
  if (FindElement(false, document, kDescriptionPath, {"OpenSearchDescription", "Url"}, 0, true,
                  found, 512, 4096) == kOk) {
    std::string content = found.content;
    TrimContent(content);
    // A Url element that is not self-closing usually carries its template as
    // an attribute and Param children as content; only plain text is a URL.
    if (!content.empty() && content.find('<') == std::string::npos) {
      templ = content;
      return true;
    }
  }
  return FindElementByAttribute(false, document, kDescriptionPath, {"OpenSearchDescription", "Url"},
                                "type=\"application/rss", "template=", templ, 4096) == kOk;
}

// Fetches the description document into run.responseBody. Returns 0,
// kDescConnectFailed..kDescNoResponse or kNodeLeadsToSelf.
Status FetchDescription(int n, const NodeRecord& node, NodeRun& run, const NodeQueryEnv& env) {
  FetchTarget target;
  target.scheme = node.osDescScheme;
  target.host = node.osDescHost;
  target.path = CutUtf16(node.osDescPath, kRequestPathUnits);
  target.timeoutMs = static_cast<uint32_t>(node.timeoutMs);
  target.reach = ReachFor(node, false, false);
  target.firstHopLocal = &run.descriptionHostLocal;
  return FetchNodeDocument(n, target, kDescriptionFetch, env, run.responseBody);
}

}  // namespace

Status CheckOpenSearchDescriptionFileURL(int n, const NodeRecord& node, NodeRun& run,
                                         const NodeQueryEnv& env) {
  Status status = FetchDescription(n, node, run, env);
  const std::string& document = run.responseBody;
  if (status != kOk || document.empty()) return status;

  std::string templ;
  if (!FindQueryTemplate(document, templ)) {
    env.log.WriteWithDetail(
        kLogError,
        Format("Node #%d: Open Search Description file did not return a recognised format", n),
        Format("Node #%d: Open Search Description file \"%s%s\" did not return a recognised "
               "format",
               n, node.osDescHost.c_str(), node.osDescPath.c_str()));
    return kDescNotRecognised;
  }
  if (templ.empty()) return kOk;
  DecodeCharacterReferences(templ);

  UrlParts base{node.osDescScheme, node.osDescHost, node.osDescPath, ""};
  UrlParts parts;
  switch (SplitQueryTemplate(templ, base, parts)) {
    case TemplateSplit::kOk:
      if (!TemplateHostAllowed(node, run.descriptionHostLocal, parts.host)) {
        LogRefusedAddress(env.log, n, kQueryFetch.connectFailure, parts.host);
        return kQueryConnectFailed;
      }
      if (LeadsToSelf(env.selfHost, env.selfPath, parts.scheme, parts.host, parts.path)) {
        LogLeadsToSelf(env.log, n, parts.host + parts.path);
        return kNodeLeadsToSelf;
      }
      run.osScheme = std::move(parts.scheme);
      run.osHost = std::move(parts.host);
      run.osPath = std::move(parts.path);
      run.osQuery = std::move(parts.query);
      run.descriptionResolved = true;
      return kOk;
    case TemplateSplit::kTooLong: {
      std::string line = Format(
          "Node #%d: Open Search Description query URL is too long (host over %zu, path over %zu "
          "or query over %zu characters)",
          n, kTemplateHostUnits, kTemplatePathUnits, kTemplateQueryUnits);
      env.log.WriteWithDetail(kLogError, line, line + " \"" + templ + "\"");
      return kQuerySyntaxUnsupported;
    }
    case TemplateSplit::kNoPathOrQuery:
    case TemplateSplit::kUnsupportedScheme:
      break;
  }
  std::string line = Format("Node #%d: Open Search Description query syntax not supported", n);
  env.log.WriteWithDetail(kLogError, line, line + " \"" + templ + "\"");
  return kQuerySyntaxUnsupported;
}

}  // namespace quorix
