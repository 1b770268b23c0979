// The search program's diagnostics log: lines go to the results page (as small
// coloured blocks, depending on the debug mode) and to the debug file.
#pragma once

#include <mutex>
#include <string>
#include <string_view>

#include "config/settings.h"
#include "platform/log.h"
#include "search/page/page.h"

namespace quorix {

class DiagLog : public LogSink {
 public:
  // `config` is read at every line (debugMode, debugLogging, debugFileName), so
  // lines logged after the settings are loaded follow the loaded values. Neither
  // is owned; both must outlive the log.
  DiagLog(PageOutput& page, const Config& config) : page_(page), config_(config) {}

  // Machine-readable answers carry no diagnostics: from now on lines go to the
  // debug file only.
  void KeepOffPage() { onPage_ = false; }

  // Writes one line: to the page when its level shows in the current debug
  // mode, and to the debug file when debug logging is on. Thread-safe.
  void Write(int level, std::string_view line) override;
  // The page shows `publicLine` at DEBUG 0 and `fullLine` in debug mode; the
  // debug file always gets `fullLine`.
  void WriteWithDetail(int level, std::string_view publicLine, std::string_view fullLine) override;
  // A line is kept when it shows on the page or a debug file is kept.
  bool Keeps(int level) const override;

  // Whether a line of `level` is shown on the page in `debugMode`; at 2 every
  // level is.
  static bool ShowsOnPage(int level, int debugMode);
  // The HTML that opens a page line of `level` (empty for levels never shown).
  static std::string_view OpeningTag(int level);
  // The page block for a line: its text HTML-escaped (line breaks inside it
  // become <br>) between the level's opening and closing tags.
  static std::string PageBlock(int level, std::string_view line);

 private:
  // Appends `line` and a line feed to the debug file with a single write, so
  // lines of concurrent requests never interleave. False when that fails.
  bool AppendToDebugFile(std::string_view line) const;
  void WriteLocked(int level, std::string_view pageLine, std::string_view fileLine);

  PageOutput& page_;
  const Config& config_;
  std::mutex mutex_;
  bool debugFileFailureShown_ = false;
  bool onPage_ = true;
};

}  // namespace quorix
