// What every piece of the results page reads, passed as one bundle.
#pragma once

#include <string>
#include <string_view>

#include "config/lang_keys.h"
#include "config/settings.h"
#include "nodequery/records.h"
#include "platform/log.h"
#include "search/page/page.h"
#include "search/page/page_output.h"
#include "search/pipeline/pipeline.h"

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

// "<a href=\"link\" target=\"...\">" or "<a href=\"link\">" (no target when the
// node's LinkTarget is empty).
std::string LinkAnchor(const Channel& channel, std::string_view link);

}  // namespace quorix
