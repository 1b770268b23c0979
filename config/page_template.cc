#include "config/page_template.h"

#include <sys/stat.h>

#include <cstdio>

#include "config/loaded_files.h"
#include "platform/text.h"

namespace quorix {

std::optional<size_t> FindMarker(std::string_view line) {
  size_t position = AsciiLower(line).find(AsciiLower(kTemplateMarker));
  if (position == std::string::npos) return std::nullopt;
  return position;
}

bool PageTemplate::ReadText(const std::string& path, Text& text) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  struct stat info;
  bool regular = ::fstat(::fileno(file), &info) == 0 && S_ISREG(info.st_mode);
  char buffer[65536];
  size_t count;
  while (regular && (count = std::fread(buffer, 1, sizeof buffer, file)) > 0)
    text.bytes.append(buffer, count);
  std::fclose(file);
  if (!regular) return false;  // a directory of that name is no template
  // The marker line goes from the line feed before the marker to the one after.
  text.headEnd = text.tailStart = text.bytes.size();
  if (std::optional<size_t> marker = FindMarker(text.bytes)) {
    size_t lineFeed = text.bytes.rfind('\n', *marker);
    text.headEnd = lineFeed == std::string::npos ? 0 : lineFeed + 1;
    size_t lineEnd = text.bytes.find('\n', *marker);
    text.tailStart = lineEnd == std::string::npos ? text.bytes.size() : lineEnd + 1;
  }
  return true;
}

bool PageTemplate::Open(const std::string& programDir) {
  static LoadedFile<Text> templateFile;
  text_ = templateFile.Get(programDir + "/" + std::string(kTemplateFileName), ReadText);
  return text_ != nullptr;
}

void PageTemplate::WriteHead(const PageSink& sink) {
  if (!text_) return;
  if (text_->headEnd > 0) sink(std::string_view(text_->bytes).substr(0, text_->headEnd));
}

void PageTemplate::WriteTail(const PageSink& sink) {
  if (!text_) return;
  if (text_->tailStart < text_->bytes.size())
    sink(std::string_view(text_->bytes).substr(text_->tailStart));
  text_.reset();
}

}  // namespace quorix
