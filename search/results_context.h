// What every piece of the results page reads, passed as one bundle.
#pragma once

#include <string>
#include <string_view>

#include "config/lang_keys.h"
#include "config/settings.h"
#include "nodequery/records.h"
#include "platform/log.h"
#include "search/page_output.h"
#include "search/query.h"
#include "search/result_set.h"

namespace quorix {

struct ResultsContext {
  PageOutput& out;
  const Config& config;
  const VexaQuery& query;
  const TermList& terms;
  LogSink& log;

  const std::string& Lang(int key) const { return config.langStrings[key]; }
};

// Writes `text` of `channel`'s node through the highlighter: as it is for a
// trusted node, escaped otherwise (with tags removed first when `stripTags`).
void WriteNodeText(const ResultsContext& context, const Channel& channel, std::string_view text,
                   bool stripTags = false);

// `text` of `channel`'s node as the HTML the page shows, without highlighting:
// a trusted node's HTML (the content of a whole CDATA section, "]]>" written
// "]]&gt;"), an untrusted node's text escaped (with tags removed first when
// `stripTags`); either way only with characters that MarkupSafeText keeps.
std::string NodeHtml(const Channel& channel, std::string_view text, bool stripTags = false);

// NodeHtml for an attribute or plain spot.
inline std::string NodeAttribute(const Channel& channel, std::string_view text) {
  return NodeHtml(channel, text);
}

// "<a href=\"link\" target=\"...\">" or "<a href=\"link\">" (no target when the
// node's LinkTarget is empty).
std::string LinkAnchor(const Channel& channel, std::string_view link);

// True when `link` of `channel`'s node may become an href: any non-empty link of
// a trusted node, only http and https links of an untrusted one.
bool MayLink(const Channel& channel, std::string_view link);

}  // namespace quorix
