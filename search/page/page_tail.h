// The end of every results page: the powered-by footer, the rest of the
// site's template, and the line of this search in the search log.
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <string_view>

#include "config/page_template.h"
#include "config/settings.h"
#include "search/page/page.h"
#include "search/page/page_output.h"
#include "search/pipeline/pipeline.h"

namespace quorix {

inline constexpr std::string_view kProductHomePage = "https://quorix.example.org/";

// The footer: a line feed, the centred small "powered by" line with
// `poweredBy` and the product link (opening in a new window), a line feed.
// With `currentMarkup` (PageMarkup 1) a paragraph of class "poweredby"
// instead of the obsolete center element.
std::string PageFooter(std::string_view poweredBy, bool currentMarkup = false);

// The search log line of the request, ending with CR LF: date, time, client,
// quoted query (inner double quotes doubled, control characters written as
// \r, \n, \t or \xNN, so that one search is always one line), the outcome's
// match count, READCACHE or QUERY, AND or OR, per page, page number, the categories and the search
// time. The categories are "No cats" when categories are off, "Cat = All"
// when all are selected, else the selected names in request order (a number
// without a name is written as the number).
std::string SearchLogLine(const std::tm& localTime, const VexaQuery& query,
                          const RequestOutcome& outcome, const Config& config);

// Appends `line` to the file at `path` (created when missing) with a single
// write on a descriptor opened for appending, so that lines of searches
// running at the same time never mix. Returns 0, or the errno of the failed
// open or write.
int AppendSearchLogLine(const std::string& path, std::string_view line);

// The first words of the report of a search log that cannot be written, by errno.
std::string SearchLogErrorText(int errorNumber);

class PageTail : public PageTailStep {
 public:
  using LocalTimeSource = std::function<std::tm()>;

  // Keeps references to everything; `now` gives the search log's time.
  PageTail(PageOutput& page, const Config& config, const VexaQuery& query,
           PageTemplate& pageTemplate, LogSink& log, LocalTimeSource now = CurrentLocalTime);

  // Without an open template writes nothing at all. Otherwise writes the
  // footer and the template's rest, then, when logging is 1 and the request
  // had a query, appends the search log line; a log that cannot be written
  // is reported as a warning (debug file, and the page in debug mode only).
  // The page itself has been written by then.
  void WritePageTail(const ResultPage& page, const RequestOutcome& outcome) override;

 private:
  PageOutput& page_;
  const Config& config_;
  const VexaQuery& query_;
  PageTemplate& pageTemplate_;
  LogSink& log_;
  LocalTimeSource now_;
};

}  // namespace quorix
