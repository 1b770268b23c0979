// The control panel's settings writer: `.cpdat` files and the search program's
// settings.qxdat share this format (one "KEY = value" line each, CR LF ends).
#pragma once

#include <functional>
#include <string>

#include "config/settings.h"

namespace quorix {

// What the writer needs from its caller. Every member may be left empty: an
// empty question counts as Yes, an empty report shows nothing, an empty sleep
// does not wait, and empty content sources add nothing.
struct SettingsWriteHooks {
  // Asks a Yes/No question (question icon); true for Yes.
  std::function<bool(const std::string& text, const std::string& title)> askYesNo;
  // Shows an error (exclamation icon, OK).
  std::function<void(const std::string& text, const std::string& title)> showError;
  // Waits before the second attempt to create the file.
  std::function<void(int milliseconds)> sleep;
  // Appends the language file's "STR_... = \"...\"" lines, each ending in CR LF.
  std::function<void(std::string& lines)> appendLanguageLines;
  // Writes the category names file into `directory`; called when `useCats` is
  // set and there is at least one category name.
  std::function<void(const std::string& directory, const Config& config)> writeCategoryNames;
  // True when node slot `slot` passed its last verification, so that its
  // OpenSearch query URL (NODE%d_OS_URL) is worth writing.
  std::function<bool(int slot)> nodeVerified;
  // When set, receives "FILE: reason" for a file that could not be written.
  std::string* failure = nullptr;
};

inline constexpr int kRetryDelayMs = 2000;

// The settings lines of `config` in file order, without the language lines.
// Node lines are numbered from 0 over the slots below `nodeCount` whose
// time-out is above 0, so the search program, which counts nodes by their
// DISABLED lines, queries every node written.
std::string FormatSettings(const Config& config, const std::function<bool(int)>& nodeVerified);

// Writes `config` to `path`, or to `path` + "/" + `fileName` when `fileName`
// is not empty. Asks before replacing an existing file. The file is written
// under a temporary name beside the target and renamed into place, so a failed
// save leaves the earlier file intact. Returns 0 when written, 1 when the user
// declined to overwrite, -1 on failure (an empty `path` fails silently; a file
// that cannot be written is reported through showError).
int SaveSettings(const std::string& path, const std::string& fileName, const Config& config,
                 const SettingsWriteHooks& hooks);

}  // namespace quorix
