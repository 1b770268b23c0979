// The components of a request answered in a machine-readable format: no
// template, no search form, no diagnostics on the page (they go to the debug
// file only). The answer is one document, which the tail writes whole from the
// page the search produced, or from an empty page when it never ran.
#pragma once

#include <string>
#include <vector>

#include "search/answers/answer_data.h"
#include "search/answers/answers.h"

namespace quorix {

// The document of `format` (kRss or kJson) for `view`.
std::string AnswerDocument(AnswerFormat format, const AnswerView& view);

}  // namespace quorix
