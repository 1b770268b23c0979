// The search's answer as RSS 2.0 in the shape a Vexa node answers in, so that
// another Quorix can use this one as a Vexa node.
#pragma once

#include <string>

#include "search/answers/answer_data.h"

namespace quorix {

// The whole document. Texts are HTML (as a Vexa node's are); every failed node
// gets a vexa:error element, and so does every request-wide error.
std::string RssAnswer(const AnswerView& view);

}  // namespace quorix
