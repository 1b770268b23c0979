// The machine-readable answers a request can ask for instead of the results
// page, and the hop count that keeps searches between Quorix instances from
// going round in a loop.
#pragma once

#include <cstdint>
#include <string_view>

#include "search/answers/answers.h"
#include "search/pipeline/pipeline.h"
#include "search/request/cgi_form.h"

namespace quorix {

// vexa_format=rss, json, opensearch, metrics or health; otherwise vexa_xml=1 asks for RSS (what
// Quorix itself sends to a Vexa node). Anything else is the results page.
AnswerFormat RequestedAnswerFormat(FormList& form);

// The Content-type header value of a machine-readable answer.
const char* AnswerContentType(AnswerFormat format);

// The hop count of an X-Quorix-Hops header value: 0 when absent or not a
// decimal number, at most kHopLimit.
int32_t ReadHopCount(std::string_view header);

}  // namespace quorix
