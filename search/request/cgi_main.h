// The life of one quorix process: read the request, prepare the query, load
// the settings, run the search and release everything.
#pragma once

#include <functional>
#include <istream>
#include <map>
#include <string>

#include "search/page/page.h"
#include "search/request/late_completion.h"
#include "search/request/request_components.h"

namespace quorix {

// The CGI variables the program reads; a missing entry reads as empty.
using CgiEnvironment = std::map<std::string, std::string>;

// The value of the CGI variable `name`, or empty.
std::string EnvironmentValue(const CgiEnvironment& environment, const char* name);

// The CGI variables the program reads, looked up by `lookup` (null: absent).
CgiEnvironment ReadCgiEnvironment(const std::function<const char*(const char*)>& lookup);

// Runs one request. `argv0` locates the program directory (settings.qxdat and
// the other data files); `input` is the POST body. Everything goes to `page`.
// Returns the exit status: 1 when the request could not be read, else 0.
// A search whose page went out at the page deadline is left in `late` to be
// completed once the answer has gone; without `late` it is completed before
// RunCgi returns.
int RunCgi(const char* argv0, const CgiEnvironment& environment, std::istream& input,
           PageOutput& page, const ComponentFactory& makeComponents = MakeRequestComponents,
           std::unique_ptr<LateCompletion>* late = nullptr);

}  // namespace quorix
