#include "search/request/diag_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/html_escape.h"
#include "platform/text.h"

namespace quorix {
namespace {

constexpr std::string_view kClosingTag = "</i></font></div>";

}  // namespace

bool DiagLog::ShowsOnPage(int level, int debugMode) {
  switch (level) {
    case kLogFileOnly:
      return debugMode == 2;  // the verbose page shows all that the debug file gets
    case kLogError:
      return true;
    case kLogWarning:
    case kLogInfo:
    case kLogTiming:
      return debugMode != 0;
    case kLogDetail:
    case kLogDetailWarning:
      return debugMode == 2;
    default:
      return false;
  }
}

std::string_view DiagLog::OpeningTag(int level) {
  switch (level) {
    case kLogWarning:
    case kLogDetailWarning:
      return "<div><font size=\"2\" color=#FFAA00><i>";
    case kLogError:
      return "<div><font size=\"2\" color=\"red\"><i>";
    case kLogFileOnly:
    case kLogInfo:
    case kLogDetail:
      return "<div><font size=\"2\"><i>";
    case kLogTiming:
      return "<div><font size=\"2\" color=\"green\"><i>";
    default:
      return {};
  }
}

std::string DiagLog::PageBlock(int level, std::string_view line) {
  std::string escaped = EscapeHtmlText(line);
  while (!escaped.empty() && (escaped.back() == '\n' || escaped.back() == '\r')) escaped.pop_back();
  std::string block(OpeningTag(level));
  block.reserve(block.size() + escaped.size() + kClosingTag.size());
  for (char c : escaped) {
    if (c == '\n')
      block += "<br>";
    else if (c != '\r')
      block += c;
  }
  block += kClosingTag;
  return block;
}

bool DiagLog::Keeps(int level) const {
  return config_.debugLogging != 0 || ShowsOnPage(level, config_.debugMode);
}

void DiagLog::Write(int level, std::string_view line) {
  std::string text = CutBytes(line, kLogLineMaxBytes);
  std::lock_guard<std::mutex> lock(mutex_);
  WriteLocked(level, text, text);
}

void DiagLog::WriteWithDetail(int level, std::string_view publicLine, std::string_view fullLine) {
  std::string full = CutBytes(fullLine, kLogLineMaxBytes);
  std::string shown = config_.debugMode != 0 ? full : CutBytes(publicLine, kLogLineMaxBytes);
  std::lock_guard<std::mutex> lock(mutex_);
  WriteLocked(level, shown, full);
}

void DiagLog::WriteLocked(int level, std::string_view pageLine, std::string_view fileLine) {
  if (onPage_ && ShowsOnPage(level, config_.debugMode)) page_.Write(PageBlock(level, pageLine));
  if (config_.debugLogging == 0 || AppendToDebugFile(fileLine) || !onPage_) return;
  // Reported once per request, as a warning: visitors never see the path.
  if (debugFileFailureShown_ || !ShowsOnPage(kLogWarning, config_.debugMode)) return;
  debugFileFailureShown_ = true;
  page_.Write(
      PageBlock(kLogWarning, Format("Failed to log to file \"%s\".  Check that you have permission "
                                    "writing to file.",
                                    config_.debugFileName.c_str())));
}

bool DiagLog::AppendToDebugFile(std::string_view line) const {
  if (config_.debugFileName.empty()) return false;
  int fd = open(config_.debugFileName.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  std::string record(line);
  record += '\n';
  ssize_t written;
  do {
    written = ::write(fd, record.data(), record.size());
  } while (written < 0 && errno == EINTR);
  close(fd);
  return written == static_cast<ssize_t>(record.size());
}

}  // namespace quorix
