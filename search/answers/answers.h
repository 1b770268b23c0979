// The machine-readable answers: what the rest of the program takes from
// search/answers. A request may ask for RSS or JSON instead of the results
// page, or for the search's OpenSearch description.
#pragma once

#include <string>

#include "config/settings.h"
#include "platform/log.h"
#include "search/page/page.h"
#include "search/pipeline/pipeline.h"

namespace quorix {

enum class AnswerFormat {
  kHtml,        // the results page
  kRss,         // RSS 2.0 in the shape a Vexa node answers in
  kJson,        // one JSON object
  kOpenSearch,  // the search's OpenSearch description document
  kMetrics,     // the site's request counters as OpenMetrics text
  kHealth,      // whether the settings can be read and the cache written
};

// The steps of an answer in `format` (kRss or kJson): no template, no search
// form, no diagnostics on the page (the log keeps them off it). The answer is
// one document, which the tail writes whole from the page the search
// produced, or from an empty page when the search never ran; its merged set
// is the nodes' own (OutputRules all off). References must outlive the steps.
OutputSteps MakeAnswerSteps(AnswerFormat format, PageOutput& page, const Config& config,
                            const VexaQuery& query, LogSink& log, const std::string& programDir);

// A whole answer, header included, for a request that failed before its
// search: no result and `error`.
std::string FailedAnswer(AnswerFormat format, const VexaQuery& query, const Config& config,
                         const std::string& error);

// Where this program is reached, from the request's HTTPS, HTTP_HOST and
// SCRIPT_NAME.
struct SelfAddress {
  bool https = false;  // HTTPS is "on" (any case) or "1"
  std::string host;    // HTTP_HOST, with its port
  std::string script;  // SCRIPT_NAME
};

// True when `url` can stand as the program's public address: http:// or
// https://, then a host, and no space, control character, quote, angle
// bracket, query or fragment.
bool UsablePublicBaseUrl(const std::string& url);

// The OpenSearch 1.1 description: ShortName and Description from the
// settings, and one Url template each for text/html, application/rss+xml and
// application/json pointing back at this program.
std::string OpenSearchDescriptionDocument(const Config& config, const SelfAddress& address);

}  // namespace quorix
