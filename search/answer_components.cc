#include "search/answer_components.h"

#include <algorithm>

#include "config/category_names.h"
#include "platform/clock.h"
#include "search/cache.h"
#include "search/consolidate.h"
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
  int DisplaySearchForm(const Config&, const VexaQuery& query) override {
    if (query.rawQuery.empty()) return -1;
    if (static_cast<int64_t>(query.currentPageNum) * query.itemsPerPage >= kMaxResultsReachable)
      return -1;
    return 0;
  }
};

class AnswerTail : public PageTailStep {
 public:
  AnswerTail(RequestContext& context, AnswerFormat format, const AnswerResults& results)
      : context_(context), format_(format), results_(results) {}
  void WritePageTail() override {
    AnswerView view{context_.query,
                    context_.config,
                    results_.data(),
                    context_.results,
                    TicksToMs(NowTicks() - context_.query.startTicks) / 1000.0,
                    {}};
    if (context_.query.escapeFailed) view.errors.push_back("The query could not be escaped");
    context_.page.Write(AnswerDocument(format_, view));
    LogSearch(context_.config, context_.query, CurrentLocalTime(), context_.log);
  }

 private:
  RequestContext& context_;
  AnswerFormat format_;
  const AnswerResults& results_;
};

}  // namespace

int AnswerResults::ConsolidateResults(NodeResults& results, bool sortDate, ItemList& merged) {
  return quorix::ConsolidateResults(results, sortDate, merged, log_);
}

Status AnswerResults::DisplayResults(int32_t, const ChannelTable& channels, const ItemList& items,
                                     int64_t availableItems, int64_t itemCount, bool fromCache) {
  data_ = AnswerData();
  data_.fromCache = fromCache;
  data_.channels = &channels;
  data_.total = availableItems;
  const int64_t perPage = query_.itemsPerPage;
  const int64_t page = query_.currentPageNum;
  if (page < 1 || perPage < 1) return kInvalidPage;
  const int64_t first = (page - 1) * perPage;
  data_.firstNumber = first + 1;
  // A page from the cache holds only its own items; a fresh search the whole set.
  const int64_t offset = fromCache ? first : 0;
  const int64_t last =
      std::min({itemCount, first + perPage, offset + static_cast<int64_t>(items.size())});
  for (int64_t i = first; i < last; ++i)
    if (const auto& item = items[static_cast<size_t>(i - offset)]) data_.items.push_back(*item);
  return data_.items.empty() && page > 1 ? kInvalidPage : kOk;
}

std::string AnswerDocument(AnswerFormat format, const AnswerView& view) {
  return format == AnswerFormat::kJson ? JsonAnswer(view) : RssAnswer(view);
}

std::string FailedAnswer(AnswerFormat format, const VexaQuery& query, const Config& config,
                         const std::string& error) {
  AnswerData data;
  NodeResults results;
  Config noNodes = config;
  noNodes.nodeCount = 0;
  AnswerView view{query, noNodes, data, results, 0, {error}};
  return AnswerDocument(format, view);
}

RequestComponents MakeAnswerComponents(RequestContext& context, AnswerFormat format) {
  // The node queries and the cache are the results page's own; the cache
  // hands its pages to the answer's results step.
  RequestComponents components = MakeRequestComponents(context);
  auto results = std::make_unique<AnswerResults>(context.query, context.log);
  components.cache = std::make_unique<CCache>(context.programDir, context.config, context.query,
                                              context.log, context.results, *results);
  components.tail = std::make_unique<AnswerTail>(context, format, *results);
  components.form = std::make_unique<AnswerForm>();
  components.resources = std::make_unique<AnswerResources>(context.programDir);
  components.results = std::move(results);
  return components;
}

}  // namespace quorix
