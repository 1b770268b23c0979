#include "search/answers/answer_components.h"

#include <algorithm>

#include "config/category_names.h"
#include "platform/clock.h"
#include "search/answers/json_answer.h"
#include "search/answers/rss_answer.h"

namespace quorix {
namespace {

constexpr int64_t kMaxResultsReachable = 1000000;

// No template to write; category names read without a word on the page.
class AnswerResources : public PageResources {
 public:
  explicit AnswerResources(std::string programDir) : programDir_(std::move(programDir)) {}
  void WriteTemplateHead() override {}
  int LoadCategoryNames(Config& config) override {
    return quorix::LoadCategoryNames(programDir_, config);
  }

 private:
  std::string programDir_;
};

// Refuses what the results page refuses.
class AnswerForm : public SearchFormStep {
 public:
  Status DisplaySearchForm(const Config&, const VexaQuery& query) override {
    if (query.rawQuery.empty()) return kNothingToSearch;
    if (static_cast<int64_t>(query.currentPageNum) * query.itemsPerPage >= kMaxResultsReachable)
      return kNothingToSearch;
    return kOk;
  }
};

// Writes nothing: the tail writes the document from the same page.
class AnswerResults : public ResultsStep {
 public:
  Status WriteResults(const ResultPage& page, RequestOutcome*) override {
    return page.invalid ? kInvalidPage : kOk;
  }
};

class AnswerTail : public PageTailStep {
 public:
  AnswerTail(AnswerFormat format, PageOutput& page, const Config& config, const VexaQuery& query,
             LogSink& log)
      : format_(format), page_(page), config_(config), query_(query), log_(log) {}
  void WritePageTail(const ResultPage& page, const RequestOutcome& outcome) override {
    const double seconds = TicksToMs(NowTicks() - query_.startTicks) / 1000.0;
    AnswerView view{query_, config_, page, seconds, {}};
    if (query_.escapeFailed) view.errors.push_back("The query could not be escaped");
    page_.Write(AnswerDocument(format_, view));
    // The search log gives the time the answer states, as a page's line does.
    RequestOutcome logged = outcome;
    logged.searchSeconds = seconds;
    LogSearch(config_, query_, logged, CurrentLocalTime(), log_);
  }

 private:
  AnswerFormat format_;
  PageOutput& page_;
  const Config& config_;
  const VexaQuery& query_;
  LogSink& log_;
};

}  // namespace

std::string AnswerDocument(AnswerFormat format, const AnswerView& view) {
  return format == AnswerFormat::kJson ? JsonAnswer(view) : RssAnswer(view);
}

std::string FailedAnswer(AnswerFormat format, const VexaQuery& query, const Config& config,
                         const std::string& error) {
  ResultPage page;
  Config noNodes = config;
  noNodes.nodeCount = 0;
  AnswerView view{query, noNodes, page, 0, {error}};
  return AnswerDocument(format, view);
}

OutputSteps MakeAnswerSteps(AnswerFormat format, PageOutput& page, const Config& config,
                            const VexaQuery& query, LogSink& log, const std::string& programDir) {
  OutputSteps steps;
  steps.resources = std::make_unique<AnswerResources>(programDir);
  steps.form = std::make_unique<AnswerForm>();
  steps.results = std::make_unique<AnswerResults>();
  steps.tail = std::make_unique<AnswerTail>(format, page, config, query, log);
  steps.rules = {false, false};
  return steps;
}

}  // namespace quorix
