// The page resources of the search program's directory: the template head at
// the start of the page and the category names.
#pragma once

#include <string>

#include "config/page_template.h"
#include "config/settings.h"
#include "search/page/page_output.h"
#include "search/pipeline/pipeline.h"

namespace quorix {

// Where a template's title (or any text of its head) takes the query.
inline constexpr std::string_view kQueryTitleMarker = "<!--QUORIXQUERY-->";

class PageResourceFiles : public PageResources {
 public:
  // Reads from `programDir` and writes to `page` (not owned). The template
  // opened by WriteTemplateHead stays open in pageTemplate() for the tail.
  // `config` and `query` (not owned) are read when the head is written.
  PageResourceFiles(PageOutput& page, std::string programDir, const Config& config,
                    const VexaQuery& query);

  // Opens the template and writes its head; nothing without a template.
  // Under PageMarkup 1 each kQueryTitleMarker in the head becomes the query
  // and " - ", or nothing when there is no query.
  void WriteTemplateHead() override;

  // Loads the category names into `config` (see LoadCategoryNames in
  // config/category_names.h). On kCategoryNamesSeekFailed it writes
  // "Error seeking in file." first; the caller then ends with exit status 1.
  int LoadCategoryNames(Config& config) override;

  PageTemplate& pageTemplate() { return pageTemplate_; }

 private:
  PageOutput& page_;
  std::string programDir_;
  const Config& config_;
  const VexaQuery& query_;
  PageTemplate pageTemplate_;
};

}  // namespace quorix
