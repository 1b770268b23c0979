// The results page's steps for one request.
#include <memory>

#include "search/page/page.h"
#include "search/page/page_resources.h"
#include "search/page/page_tail.h"
#include "search/page/results_page.h"
#include "search/page/search_form.h"

namespace quorix {

OutputSteps MakePageSteps(PageOutput& page, const Config& config, const VexaQuery& query,
                          const TermList& terms, LogSink& log, const std::string& programDir) {
  OutputSteps steps;
  auto resources = std::make_unique<PageResourceFiles>(page, programDir, config, query);
  steps.tail = std::make_unique<PageTail>(page, config, query, resources->pageTemplate(), log);
  steps.resources = std::move(resources);
  steps.form = std::make_unique<SearchForm>(page);
  steps.results = std::make_unique<ResultsPage>(page, config, query, terms, log);
  return steps;
}

}  // namespace quorix
