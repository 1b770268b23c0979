// The search's answer as one JSON object, for scripts and apps.
#pragma once

#include <string>

#include "search/answers/answer_data.h"

namespace quorix {

// {"query", "page", "per_page", "total", "sort" ("relevance" or "date"),
//  "from_cache", "search_time", "items": [{"number", "title", "link",
//  "description", "context", "score", "date" (ISO 8601 UTC, or null),
//  "category": [...], "node"}], "nodes": [{"node", "status", "message",
//  "items", "time_ms"}], "errors": [...]}. Texts are HTML, as on the results page.
std::string JsonAnswer(const AnswerView& view);

// An ISO 8601 UTC time ("2025-06-03T10:00:00Z"); empty for 0 or a time that
// cannot be shown.
std::string IsoDate(int64_t epochSeconds);

}  // namespace quorix
