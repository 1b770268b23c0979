#include "search/page/page_resources.h"

#include <utility>

#include "config/category_names.h"

namespace quorix {

PageResourceFiles::PageResourceFiles(PageOutput& page, std::string programDir,
                                     const Config& config, const VexaQuery& query)
    : page_(page), programDir_(std::move(programDir)), config_(config), query_(query) {}

void PageResourceFiles::WriteTemplateHead() {
  if (!pageTemplate_.Open(programDir_)) return;
  if (config_.pageMarkup != 1) {
    pageTemplate_.WriteHead([this](std::string_view text) { page_.Write(text); });
    return;
  }
  const std::string title = query_.query_out.empty() ? std::string() : query_.query_out + " - ";
  pageTemplate_.WriteHead([this, &title](std::string_view text) {
    std::string line(text);
    for (size_t at = line.find(kQueryTitleMarker); at != std::string::npos;
         at = line.find(kQueryTitleMarker, at + title.size()))
      line.replace(at, kQueryTitleMarker.size(), title);
    page_.Write(line);
  });
}

int PageResourceFiles::LoadCategoryNames(Config& config) {
  int result = quorix::LoadCategoryNames(programDir_, config);
  if (result == kCategoryNamesSeekFailed) page_.Write("Error seeking in file.");
  return result;
}

}  // namespace quorix
