#include "search/page/page_resources.h"

#include <utility>

#include "config/category_names.h"

namespace quorix {

PageResourceFiles::PageResourceFiles(PageOutput& page, std::string programDir)
    : page_(page), programDir_(std::move(programDir)) {}

void PageResourceFiles::WriteTemplateHead() {
  if (!pageTemplate_.Open(programDir_)) return;
  pageTemplate_.WriteHead([this](std::string_view text) { page_.Write(text); });
}

int PageResourceFiles::LoadCategoryNames(Config& config) {
  int result = quorix::LoadCategoryNames(programDir_, config);
  if (result == kCategoryNamesSeekFailed) page_.Write("Error seeking in file.");
  return result;
}

}  // namespace quorix
