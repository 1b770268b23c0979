#include <memory>

#include "nodequery/http_client.h"
#include "nodequery/query_url.h"
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

// Fetches the description document. Returns 0 with its body, or -1001..-1003.
Status FetchDescription(int n, NodeRecord& node, const NodeQueryEnv& env, std::string& body) {
  auto connection = std::make_shared<NodeConnection>(env.cancel);
  RegisterNodeHandles(n, connection);
  Endpoint endpoint = ChooseEndpoint(node.osDescScheme, node.osDescHost);
  if (!connection->Connect(endpoint.host, endpoint.port)) {
    env.log.Logf(kLogError, "Node #%d: Failed to connect to \"%s\"", n, node.osDescHost.c_str());
    return kDescConnectFailed;
  }
  std::string path = CutUtf16(node.osDescPath, kRequestPathUnits);
  int32_t error = 0;
  if (!connection->RequestGet(path, static_cast<uint32_t>(node.timeoutMs), endpoint.secure,
                              &error)) {
    if (env.options.detailedSendFailure) {
      env.log.Logf(kLogError, "Node #%d: Failed to send HTTP request to \"%s\"", n,
                   node.osDescHost.c_str());
      env.log.Logf(kLogError, "(Error: %s)", HttpErrorText(error).c_str());
    } else {
      env.log.Logf(kLogError, "Node #%d: Failed to send HTTP request to \"%s%s\"", n,
                   node.osDescHost.c_str(), path.c_str());
    }
    return kDescSendFailed;
  }
  uint32_t length = 0;
  int64_t announced = connection->GetHttpResponseContentSize(length) == 0 ? length : -1;
  std::string headers;
  if (!connection->ReadResponse(headers, kHttpHeaderBytes, body, BodyCapacity(announced))) {
    env.log.Logf(kLogError, "Node #%d: No response from \"%s%s\"", n, node.osDescHost.c_str(),
                 path.c_str());
    return kDescNoResponse;
  }
  node.responseHeaders = std::move(headers);
  node.responseBody = RepairUtf8(body);
  body = node.responseBody;
  return kOk;
}

}  // namespace

Status CheckOpenSearchDescriptionFileURL(int n, NodeRecord& node, const NodeQueryEnv& env) {
  std::string document;
  Status status = FetchDescription(n, node, env, document);
  if (status != kOk || document.empty()) return status;

  std::string templ;
  if (!FindQueryTemplate(document, templ)) {
    env.log.Logf(kLogError,
                 "Node #%d: Open Search Description file \"%s%s\" did not return a recognised "
                 "format",
                 n, node.osDescHost.c_str(), node.osDescPath.c_str());
    return kDescNotRecognised;
  }
  if (templ.empty()) return kOk;
  DecodeCharacterReferences(templ);

  UrlParts base{node.osDescScheme, node.osDescHost, node.osDescPath, ""};
  UrlParts parts;
  switch (SplitQueryTemplate(templ, base, parts)) {
    case TemplateSplit::kOk:
      node.osScheme = std::move(parts.scheme);
      node.osHost = std::move(parts.host);
      node.osPath = std::move(parts.path);
      node.osQuery = std::move(parts.query);
      node.descriptionResolved = true;
      return kOk;
    case TemplateSplit::kTooLong:
      env.log.Logf(kLogError,
                   "Node #%d: Open Search Description query URL is too long (host over %zu, path "
                   "over %zu or query over %zu characters) \"%s\"",
                   n, kTemplateHostUnits, kTemplatePathUnits, kTemplateQueryUnits, templ.c_str());
      return kQuerySyntaxUnsupported;
    case TemplateSplit::kNoPathOrQuery:
    case TemplateSplit::kUnsupportedScheme:
      break;
  }
  env.log.Logf(kLogError, "Node #%d: Open Search Description query syntax not supported \"%s\"", n,
               templ.c_str());
  return kQuerySyntaxUnsupported;
}

}  // namespace quorix
