// The tag scanner over a node's response and the checks that decide whether
// the answer is usable.
#include "nodequery/response_parser.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "nodequery/number_text.h"
#include "nodequery/parse_state.h"
#include "nodequery/xml_scan.h"
#include "nodequery/xml_scan_internal.h"
#include "platform/text.h"

namespace quorix {
namespace {

constexpr std::string_view kCdataOpen = "<![CDATA[";
constexpr std::string_view kCdataClose = "]]>";
constexpr size_t kTagLimitUnits = 512;            // a tag must be shorter
constexpr size_t kCdataContentLimitUnits = 4092;  // a whole CDATA section, wrapper included
constexpr size_t kUnrecognisedBodyBytes = 200;

// Finds a pattern at or after a position. The scan only moves forward, so the
// last answer is reused while it lies ahead: every byte is searched once even
// in a response made of thousands of "<" without a ">".
class ForwardFinder {
 public:
  ForwardFinder(std::string_view text, std::string_view pattern) : text_(text), pattern_(pattern) {}
  size_t From(size_t from) {
    bool reusable =
        known_ && from >= lastFrom_ && (found_ == std::string_view::npos || found_ >= from);
    if (!reusable) {
      found_ = text_.find(pattern_, from);
      known_ = true;
    }
    lastFrom_ = from;
    return found_;
  }

 private:
  std::string_view text_;
  std::string_view pattern_;
  size_t found_ = 0;
  size_t lastFrom_ = 0;
  bool known_ = false;
};

class TagScanner {
 public:
  explicit TagScanner(std::string_view body)
      : body_(body), lt_(body, "<"), gt_(body, ">"), cdataEnd_(body, kCdataClose) {}

  // Hands every tag to ProcessXmlTag. Returns 0, kResponseMalformed or kTooLong.
  Status Run(ParseState& state) {
    for (size_t pos = lt_.From(0); pos != std::string_view::npos;) {
      size_t close = gt_.From(pos + 1);
      if (close == std::string_view::npos) return kResponseMalformed;
      // Comments, DOCTYPE and stray CDATA are skipped one character at a time,
      // so tags inside a comment are still seen.
      if (pos + 1 < body_.size() && body_[pos + 1] == '!') {
        pos = lt_.From(pos + 1);
        continue;
      }
      Token token;
      token.tag = body_.substr(pos, close - pos + 1);
      if (Utf16DistanceAtLeast(token.tag, 0, token.tag.size(), kTagLimitUnits)) return kTooLong;
      token.selfClosing = body_[close - 1] == '/';
      size_t next = close + 1;
      if (!token.selfClosing) {
        Status status = ReadContent(close + 1, token.content, next);
        if (status != kOk) return status;
      }
      ProcessXmlTag(token, state);
      pos = lt_.From(next);
    }
    return kOk;
  }

 private:
  // The element text after a start tag: a whole CDATA section, or the trimmed
  // text up to the next "<". `next` is where the scan goes on.
  Status ReadContent(size_t from, std::string& content, size_t& next) {
    size_t lt = lt_.From(from);
    if (lt != std::string_view::npos && body_.substr(lt, kCdataOpen.size()) == kCdataOpen) {
      size_t end = cdataEnd_.From(lt + kCdataOpen.size());
      if (end == std::string_view::npos) return kResponseMalformed;
      next = end + kCdataClose.size();
      if (Utf16DistanceAtLeast(body_, lt, next, kCdataContentLimitUnits + 1)) return kTooLong;
      content.assign(body_.substr(lt, next - lt));
      return kOk;
    }
    next = lt == std::string_view::npos ? body_.size() : lt;
    if (next > from) {
      content = CutUtf16(body_.substr(from, next - from), kTextFieldUnits);
      TrimContent(content);
    }
    return kOk;
  }

  std::string_view body_;
  ForwardFinder lt_, gt_, cdataEnd_;
};

// The checks after the last tag. Returns 0, kFewerItemsThanRequested or
// kResponseNotRecognised, and marks the channel valid when it has a total.
Status CheckCompletion(ParseState& state, int32_t requested) {
  Channel& channel = state.channel;
  NodeTotals& totals = state.totals;
  LogSink& log = state.log;
  const int32_t queried = channel.osTotalQueriedItems;
  log.Logf(kLogInfo, "Node #%d: channel.osTotalQueriedItems = %d", state.node, queried);

  Status result = kOk;
  if (!channel.rssVersion.empty() && channel.totalResults != -1) {
    int32_t& total = channel.totalResults;
    if (queried < requested && queried < total) {
      result = kFewerItemsThanRequested;
    } else if (total == 0 && queried > 0) {
      log.Logf(kLogWarning,
               "Node #%d: Slave node did not indicate totalResults.  Setting to number of queried "
               "items.",
               state.node);
      total = queried;
      totals.availableItems = AddSaturated(totals.availableItems, queried);
    }
    if (total > queried && !state.run.countSupported) {
      totals.availableItems =
          AddSaturated(totals.availableItems, -(static_cast<int64_t>(total) - queried));
      total = queried;
    }
  } else {
    log.Logf(kLogError, "Node #%d: Slave node did not return the expected XML format", state.node);
    if (state.options.logUnrecognisedBody)
      log.Logf(kLogError, "Node #%d: Slave node returned: %s", state.node,
               CutBytes(state.run.responseBody, kUnrecognisedBodyBytes).c_str());
    result = kResponseNotRecognised;
  }

  log.Logf(kLogInfo, "Node #%d returned %d queried items", state.node, queried);
  if (channel.totalResults >= 0) {
    log.Logf(kLogFileOnly, "Node #%d \"http://%s%s%s\" is a valid query URL", state.node,
             state.run.osHost.c_str(), state.run.osPath.c_str(), state.run.osQuery.c_str());
    totals.valid = true;
    channel.valid = true;
  }
  return result;
}

}  // namespace

std::string CleanResponseBody(std::string raw) {
  if (raw.find('\0') != std::string::npos)
    raw.erase(std::remove(raw.begin(), raw.end(), '\0'), raw.end());
  RepairUtf8InPlace(raw);
  return raw;
}

Status ParseResponse(int nodeIndex, int32_t requested, const NodeRecord& node, const NodeRun& run,
                     Channel& channel, NodeTotals& totals, LogSink& log,
                     const ParseOptions& options) {
  if (run.responseBody.empty()) return kQueryNoResponse;
  channel.node = nodeIndex;
  channel.nodeType = node.type;
  const NodeTotals before = totals;
  ParseState state{nodeIndex, !IsOpenSearchNode(node), run, channel, totals, log, options};

  Status status = TagScanner(run.responseBody).Run(state);
  // A recommended link whose end tag never came is not kept.
  if (channel.recommended.size() > state.recommendedCount)
    channel.recommended.resize(state.recommendedCount);
  if (status == kOk) status = CheckCompletion(state, requested);

  // A node whose answer is not used adds nothing to the request: its items are
  // never merged, so counting them would leave blank results on the page.
  if (!channel.valid) totals = before;
  return status;
}

}  // namespace quorix
