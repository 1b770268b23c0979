#include <string>

#include "nodequery/query_url.h"
#include "platform/text.h"

namespace quorix {

bool ReplaceAll(std::string_view placeholder, std::string_view value, std::string& text) {
  if (placeholder.empty() || placeholder == value) return false;
  std::string result;
  size_t from = 0;
  bool found = false;
  for (size_t at = text.find(placeholder); at != std::string::npos;
       at = text.find(placeholder, from)) {
    result.append(text, from, at - from);
    result.append(value);
    from = at + placeholder.size();
    found = true;
  }
  if (!found) return false;
  result.append(text, from, std::string::npos);
  text = std::move(result);
  return true;
}

namespace {

// Replaces the optional form of a placeholder, or else its required form.
bool ReplaceEither(std::string_view optional, std::string_view required, const std::string& value,
                   std::string& text) {
  return ReplaceAll(optional, value, text) || ReplaceAll(required, value, text);
}

std::string VexaParameters(const NodeQueryRequest& request, bool useCats, bool searchMultiCats) {
  std::string tail = Format("&quorix=1&vexa_xml=1&vexa_and=%d", request.wordMatchAll ? 1 : 0);
  if (useCats) {
    int32_t first = request.cat.empty() ? -1 : request.cat.front();
    if (searchMultiCats && !request.cat.empty()) {
      for (int32_t cat : request.cat) tail += Format("&vexa_cat%%5B%%5D=%d", cat);
    } else {
      tail += Format("&vexa_cat%%5B%%5D=%d", first);
    }
  }
  tail += Format("&vexa_sort=%d", request.sortDate ? 1 : 0);
  return tail;
}

}  // namespace

Status BuildQueryString(int n, const NodeRecord& node, NodeRun& run,
                        const NodeQueryRequest& request, int32_t requested, bool useCats,
                        bool searchMultiCats, LogSink& log) {
  run.countSupported = true;
  run.startPageSupported = true;
  std::string query = "?" + (run.osQuery.empty() ? std::string() : run.osQuery.substr(1));

  if (!ReplaceAll("{searchTerms}", request.escapedQuery, query)) {
    log.Logf(kLogError, "Node #%d does not support Core Open Search query parameter {searchTerms}.",
             n);
    return kQuerySyntaxUnsupported;
  }
  if (!ReplaceEither("{count?}", "{count}", std::to_string(requested), query)) {
    run.countSupported = false;
    std::string line =
        Format("Node #%d does not support Core Open Search query parameter {count}.", n);
    if (node.strictQuerySyntax) {
      log.Write(kLogError, line);
      return kQuerySyntaxUnsupported;
    }
    log.Write(kLogWarning, line);
  }
  int32_t startPage = n >= 0 && n < kMaxNodes ? request.nodeStartPage[n] : 1;
  if (!ReplaceEither("{startPage?}", "{startPage}", std::to_string(startPage), query)) {
    log.Logf(kLogWarning, "Node #%d does not support Core Open Search query parameter {startPage}.",
             n);
    run.startPageSupported = false;
  }
  // The built-in Vexa template pages by {startPage}: only an OpenSearch
  // node's own template is worth a word about a missing start index.
  if (!ReplaceEither("{startIndex?}", "{startIndex}", "1", query) && IsOpenSearchNode(node)) {
    log.Logf(kLogWarning,
             "Node #%d does not support Core Open Search query parameter {startIndex}.", n);
  }

  std::string path = run.osPath + query;
  if (!IsOpenSearchNode(node)) path += VexaParameters(request, useCats, searchMultiCats);
  const size_t units = Utf16Length(path);
  if (units > kRequestPathUnits) {
    log.Logf(kLogError, "Node #%d: the query URL would be %zu characters long, more than %zu", n,
             units, kRequestPathUnits);
    run.requestPath.clear();
    return kQueryUrlTooLong;
  }
  run.requestPath = std::move(path);
  return kOk;
}

}  // namespace quorix
