// Language files (*.vlang): the texts of the search page, one STR_ entry per
// line, in UTF-16LE. The control panel copies their entries into the settings
// file, where the search program reads them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorix {

// Longest key and value kept from a language file line, in UTF-16 units.
inline constexpr size_t kLangKeyMaxUnits = 49;
inline constexpr size_t kLangValueMaxUnits = 199;

struct LanguageEntry {
  std::string key;    // one of kLangKeys
  std::string value;  // UTF-8, not yet escaped for the settings file
};

enum class LanguageMessageKind {
  kOpenFailed,      // "Could not open language file: %s"
  kReadFailed,      // "Failed to read from language file: %s"
  kInvalidEntry,    // "Invalid text entry \"%s\" in language file (%s)"
  kMissingEntries,  // "Missing text in VLANG file selected (%s)"
};

// Where the language file reading reports to; the control panel decides how
// each message is shown.
class LanguageMessages {
 public:
  virtual ~LanguageMessages() = default;
  // One finished log line.
  virtual void Log(LanguageMessageKind kind, std::string_view line) = 0;
  // The warning for a file with fewer entries than keys (after the
  // kMissingEntries log line): shown with an exclamation icon and OK only.
  virtual void WarnMissingEntries(std::string_view title, std::string_view text) = 0;
};

// The folder for the language files a user makes when the installed "lang"
// folder is not theirs to write: $XDG_DATA_HOME/quorix/lang, or
// ~/.local/share/quorix/lang.
std::string UserLanguageDir();

// The path of language file `fileName`: the user's own copy in
// UserLanguageDir() when there is one, else the one in the "lang" folder of
// the control panel's directory `installDir`.
std::string LanguageFilePath(std::string_view installDir, std::string_view fileName);

// Splits the decoded text of a language file into its entries, in file order.
// A leading byte-order mark, comment lines (first character "#") and lines
// without "STR_" are skipped. Each entry runs from "STR_" to the first "=",
// the value from there to the line end; keys are cut to kLangKeyMaxUnits and
// values to kLangValueMaxUnits. Unknown keys are reported as kInvalidEntry
// with `fileName` and skipped; entries with an empty value are skipped
// silently. Duplicate keys are all returned.
std::vector<LanguageEntry> ParseLanguageText(std::u16string_view text, std::string_view fileName,
                                             LanguageMessages& messages);

// The settings file line of one entry: KEY = "escaped value" and CR LF.
std::string LanguageSettingsLine(const LanguageEntry& entry);

// Reads the language file at `path` and appends one settings line per accepted
// entry to `settingsOut`. Messages name the file by its name without folders.
// Returns false (after kOpenFailed or kReadFailed, with nothing appended) when
// the file cannot be read. Otherwise returns true; when fewer entries than
// keys were accepted (duplicates counted each time) it first logs
// kMissingEntries and shows the missing-entries warning.
bool CopyLanguageStrings(const std::string& path, std::string& settingsOut,
                         LanguageMessages& messages);

}  // namespace quorix
