// quorix --check: reads a site's files as a request would and says, one line a
// finding, what would go wrong or be silently replaced, before a web server
// runs the search with them.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace quorix {

struct CheckFinding {
  bool error = false;  // false: a warning
  std::string file;    // the file or folder the finding is about
  std::string reason;
};

// The findings for the site in `folder`; with `askNodes`, every enabled node
// is also asked once for a test word.
std::vector<CheckFinding> CheckSite(const std::string& folder, bool askNodes);

// Prints CheckSite's findings to `out` ("error: FILE: REASON" or "warning:
// ...", then a summary line). Returns the exit status: 0 when no finding is an
// error, 1 otherwise.
int RunCheckCommand(const std::string& folder, bool askNodes, std::FILE* out);

}  // namespace quorix
