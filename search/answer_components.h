// The components of a request answered in a machine-readable format: no
// template, no search form, no diagnostics on the page (they go to the debug
// file only). The answer is one document, which the tail writes whole from the
// page the search produced, or from an empty page when it never ran.
#pragma once

#include <string>
#include <vector>

#include "search/answer_data.h"
#include "search/answer_format.h"
#include "search/request_components.h"

namespace quorix {

// The document of `format` (kRss or kJson) for `view`.
std::string AnswerDocument(AnswerFormat format, const AnswerView& view);

// A whole answer, header included, for a request that failed before its
// search: no result and `error`.
std::string FailedAnswer(AnswerFormat format, const VexaQuery& query, const Config& config,
                         const std::string& error);

// The components for `format` (kRss or kJson).
RequestComponents MakeAnswerComponents(RequestContext& context, AnswerFormat format);

}  // namespace quorix
