// The per-visitor limit: requests that ask the nodes, counted per client
// address and minute in the shared store. A request the cache answers is not
// counted; a store that cannot be used lets every request through.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/log.h"
#include "search/answers/answers.h"
#include "search/page/page.h"
#include "search/pipeline/pipeline.h"
#include "search/request/cgi_main.h"

namespace quorix {

struct VisitorLimit {
  bool over = false;
  int64_t retryAfterSecs = 0;  // until the current minute ends
};

// Completes a copy of the request's query with the settings, as the request
// itself will, so that its cache name is the one the search looks up.
using QueryPreparation = std::function<void(Config&, VexaQuery&)>;

// Decides whether the request for `query` (with its form values read) is over
// the limit of the settings at `settingsPath`, counting it when it would ask
// the nodes. The settings are read quietly: the request reads them again.
VisitorLimit CheckVisitorLimit(const std::string& settingsPath, const std::string& programDir,
                               const CgiEnvironment& environment, const VexaQuery& query,
                               const QueryPreparation& prepare, int64_t now);

// The whole answer to a request over the limit: status 429 with Retry-After,
// the page template around a short text, or an empty RSS or JSON answer.
void WriteOverLimitAnswer(AnswerFormat format, const std::string& settingsPath,
                          const std::string& programDir, const VexaQuery& query,
                          const VisitorLimit& limit, PageOutput& page);

}  // namespace quorix
