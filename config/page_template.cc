#include "config/page_template.h"

#include <sys/stat.h>

#include <cstdlib>

#include "platform/text.h"

namespace quorix {

std::optional<size_t> FindMarker(std::string_view line) {
  size_t position = AsciiLower(line).find(AsciiLower(kTemplateMarker));
  if (position == std::string::npos) return std::nullopt;
  return position;
}

PageTemplate::~PageTemplate() {
  if (file_) std::fclose(file_);
}

bool PageTemplate::Open(const std::string& programDir) {
  if (file_) std::fclose(file_);
  std::string path = programDir + "/" + std::string(kTemplateFileName);
  file_ = std::fopen(path.c_str(), "rb");
  struct stat info;
  if (file_ && (::fstat(::fileno(file_), &info) != 0 || !S_ISREG(info.st_mode))) {
    std::fclose(file_);  // a directory of that name is no template
    file_ = nullptr;
  }
  return file_ != nullptr;
}

bool PageTemplate::ReadLine(std::string& line) {
  // A line is taken whole however long it is, so a marker is never missed
  // because it straddles a read; NUL bytes pass through like any other.
  char* buffer = nullptr;
  size_t capacity = 0;
  ssize_t length = ::getline(&buffer, &capacity, file_);
  if (length > 0) line.assign(buffer, static_cast<size_t>(length));
  std::free(buffer);
  return length > 0;
}

void PageTemplate::WriteHead(const PageSink& sink) {
  if (!file_) return;
  std::string line;
  while (ReadLine(line)) {
    if (FindMarker(line)) return;
    sink(line);
  }
}

void PageTemplate::WriteTail(const PageSink& sink) {
  if (!file_) return;
  char buffer[4096];
  size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, file_)) > 0)
    sink(std::string_view(buffer, count));
  std::fclose(file_);
  file_ = nullptr;
}

}  // namespace quorix
