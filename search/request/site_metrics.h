// The site's request counters as a request sees them: counting a search's
// cache look-up, cache write and node queries, and the two answers for
// operators (metrics and health).
#pragma once

#include <memory>
#include <string>

#include "search/answers/answers.h"
#include "search/metrics/metrics.h"
#include "search/request/cgi_main.h"

namespace quorix {

// The counters file in the cache directory of the program in `programDir`;
// null, after a line in the debug file, when it cannot be used.
std::shared_ptr<SiteCounters> OpenSiteCounters(const std::string& programDir, LogSink& log);

// Counts the search in `format` and has the components' cache and node steps
// count what they find. Nothing is counted without `counters`.
void CountSearchRequest(RequestComponents& components, std::shared_ptr<SiteCounters> counters,
                        AnswerFormat format);

// Whether `address` is one of the space-separated addresses of `allowFrom`
// (127.0.0.1 and ::1 when it is empty).
bool MetricsAllowed(std::string_view allowFrom, std::string_view address);

// The metrics answer, or 404 for an address MetricsAllowFrom does not list.
// Returns the exit status, 0.
int AnswerMetrics(const std::string& settingsPath, const std::string& programDir,
                  const CgiEnvironment& environment, PageOutput& page);

// 200 with {"status":"ok"} when the settings can be read and the cache
// directory written; else 503 with the reason. Returns the exit status, 0.
int AnswerHealth(const std::string& settingsPath, const std::string& programDir, PageOutput& page);

}  // namespace quorix
