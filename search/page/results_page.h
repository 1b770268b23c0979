// The results part of the page: heading, summary, suggestions and recommended
// links, sort links, the requested page's items, page links and search time.
#pragma once

#include <cstdint>

#include "search/page/results_context.h"
#include "search/pipeline/pipeline.h"

namespace quorix {

class ResultsPage : public ResultsStep {
 public:
  // Keeps references to everything; all must outlive this object.
  ResultsPage(PageOutput& out, const Config& config, const VexaQuery& query, const TermList& terms,
              LogSink& log)
      : context_{out, config, query, terms, log} {}

  // Writes the results block when the page has results and nodes are
  // configured: heading, summary, sources, suggestions, recommended links,
  // sort links and the page's items (none when no result is available); then
  // the page links and, when results are available and ShowSearchTime is on,
  // the search time, which goes to outcome->searchSeconds. Returns kOk, or
  // kInvalidPage (after logging "You have requested an invalid page." as an
  // error, with no item) for an invalid page.
  Status WriteResults(const ResultPage& page, RequestOutcome* outcome) override;

  // Item `index` of the page, numbered from page.firstNumber. Items whose
  // node number is out of range are skipped.
  void DisplayResultItem(const ResultPage& page, size_t index);

  // Links to the other result pages: up to ten either side of the current one,
  // never beyond the millionth result. With `invalidPage` the last page is
  // taken as current and every number is linked.
  void DisplayPageLinks(int64_t availableItems, bool invalidPage);

  // The link to the other sort order, when UseDateTime is on and there are items.
  void DisplaySortLinks(int64_t itemCount);

 private:
  void WriteHeading(const DisplayValues& display);
  // The count of results; under PageMarkup 1 a zero count is a text with hints.
  void WriteSummary(const ResultPage& page);
  // The page's items; under PageMarkup 1 as an ordered list.
  void WriteItems(const ResultPage& page);
  // From the heading to the items, with the failed nodes' line under the
  // summary when `failuresLine`; returns whether the page is invalid.
  bool WriteResultsBlock(const ResultPage& page, bool failuresLine);
  ResultsContext context_;
};

}  // namespace quorix
