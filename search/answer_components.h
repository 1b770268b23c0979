// The components of a request answered in a machine-readable format: no
// template, no search form, no diagnostics on the page (they go to the debug
// file only). The results step keeps the requested page; the tail writes the
// whole document once the search is over, or an empty one when it never ran.
#pragma once

#include <string>
#include <vector>

#include "search/answer_data.h"
#include "search/answer_format.h"
#include "search/request_components.h"

namespace quorix {

class AnswerResults : public ResultsStep {
 public:
  AnswerResults(const VexaQuery& query, LogSink& log) : query_(query), log_(log) {}

  int ConsolidateResults(NodeResults& results, bool sortDate, ItemList& merged) override;
  // Keeps copies of the requested page's items. Returns 0, or kInvalidPage
  // (keeping no item) for a page that starts beyond the results.
  Status DisplayResults(int32_t nodeCount, const ChannelTable& channels, const ItemList& items,
                        int64_t availableItems, int64_t itemCount, bool fromCache) override;

  const AnswerData& data() const { return data_; }

 private:
  const VexaQuery& query_;
  LogSink& log_;
  AnswerData data_;
};

// The document of `format` (kRss or kJson) for `view`.
std::string AnswerDocument(AnswerFormat format, const AnswerView& view);

// A whole answer, header included, for a request that failed before its
// search: no result and `error`.
std::string FailedAnswer(AnswerFormat format, const VexaQuery& query, const Config& config,
                         const std::string& error);

// The components for `format` (kRss or kJson).
RequestComponents MakeAnswerComponents(RequestContext& context, AnswerFormat format);

}  // namespace quorix
