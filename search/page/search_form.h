// The search form at the top of every search output.
#pragma once

#include "search/page/page_output.h"
#include "search/pipeline/pipeline.h"

namespace quorix {

class SearchForm : public SearchFormStep {
 public:
  // `out` must outlive this object.
  explicit SearchForm(PageOutput& out) : out_(out) {}

  // Writes no form (FormFormat 0 or less), the advanced form (2) or the basic
  // form (any other positive value), filled in with the request. Returns
  // kNothingToSearch for an empty query (writing STR_NO_QUERY when there is
  // no form) and for a page at or beyond the millionth result (writing
  // STR_MAX_RESULTS); otherwise kOk.
  Status DisplaySearchForm(const Config& config, const VexaQuery& query) override;

 private:
  void WriteResultsPerPage(const Config& config, const VexaQuery& query);
  void WriteCategories(const Config& config, const VexaQuery& query);
  void WriteMatchChoice(const Config& config, const VexaQuery& query);
  // The same parts under PageMarkup 1: every field with its label.
  void WriteLabelledQuery(const Config& config, const VexaQuery& query);
  void WriteLabelledPerPage(const Config& config, const VexaQuery& query);
  void WriteLabelledCategories(const Config& config, const VexaQuery& query);
  void WriteLabelledMatch(const Config& config, const VexaQuery& query);
  void WriteHiddenChoices(const VexaQuery& query);
  void WriteQueryBox(const Config& config, const VexaQuery& query);
  void WriteForm(const Config& config, const VexaQuery& query);
  PageOutput& out_;
};

}  // namespace quorix
