#include "search/answer_components.h"

#include <algorithm>

#include "config/category_names.h"
#include "platform/clock.h"
#include "search/json_answer.h"
#include "search/page_tail.h"
#include "search/rss_answer.h"

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
  AnswerTail(RequestContext& context, AnswerFormat format) : context_(context), format_(format) {}
  void WritePageTail(const ResultPage& page, const RequestOutcome& outcome) override {
    AnswerView view{context_.query,
                    context_.config,
                    page,
                    TicksToMs(NowTicks() - context_.query.startTicks) / 1000.0,
                    {}};
    if (context_.query.escapeFailed) view.errors.push_back("The query could not be escaped");
    context_.page.Write(AnswerDocument(format_, view));
    LogSearch(context_.config, context_.query, outcome, CurrentLocalTime(), context_.log);
  }

 private:
  RequestContext& context_;
  AnswerFormat format_;
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

RequestComponents MakeAnswerComponents(RequestContext& context, AnswerFormat format) {
  // The node queries and the cache are the results page's own.
  RequestComponents components = MakeRequestComponents(context);
  components.tail = std::make_unique<AnswerTail>(context, format);
  components.form = std::make_unique<AnswerForm>();
  components.resources = std::make_unique<AnswerResources>(context.programDir);
  components.results = std::make_unique<AnswerResults>();
  components.rules = {false, false};  // the set whole, as the nodes sent it
  return components;
}

}  // namespace quorix
