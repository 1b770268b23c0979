// The parts of a request's life that differ when it asks for a
// machine-readable answer instead of the results page.
#pragma once

#include <string>

#include "search/answers/answers.h"
#include "search/page/page.h"
#include "search/request/answer_format.h"
#include "search/request/cgi_main.h"

namespace quorix {

// The CGI header of the answer: the results page's own for kHtml.
void WriteAnswerHeader(AnswerFormat format, PageOutput& page);

// Where the request says this program is reached.
SelfAddress SelfAddressOf(const CgiEnvironment& environment);

// Answers the OpenSearch description from the settings file at `settingsPath`
// (defaults when it cannot be read). Returns the exit status, 0.
int AnswerOpenSearchDescription(const std::string& settingsPath, const CgiEnvironment& environment,
                                PageOutput& page);

}  // namespace quorix
