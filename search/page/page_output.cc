#include "search/page/page_output.h"

#include <cstdarg>

#include "platform/text.h"

namespace quorix {

void PageOutput::Write(std::string_view text) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (file_)
    std::fwrite(text.data(), 1, text.size(), file_);
  else if (write_)
    write_(text);
  else
    captured_.append(text);
}

void PageOutput::Printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatV(format, args);
  va_end(args);
  Write(text);
}

void PageOutput::Flush() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (file_) std::fflush(file_);
  if (flush_) flush_();
}

std::string PageOutput::Captured() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return captured_;
}

}  // namespace quorix
