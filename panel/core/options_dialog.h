// The search options dialog's logic: the values it shows and stores, the
// language file list and its commands, and opening the page template.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "panel/core/result_options.h"
#include "panel/core/session.h"

namespace quorix::panel {

inline constexpr int64_t kMaxCacheExpiryMins = 100000;

// An entry of a drop-down list and the value it stores.
struct Choice {
  const char* text;
  int32_t value;
};
// Sorted by text, as the lists show them.
inline constexpr Choice kFormFormatChoices[] = {
    {"Advanced", 2}, {"Basic", 1}, {"Do not generate", 0}};
inline constexpr Choice kDebugModeChoices[] = {{"Detailed", 2}, {"Normal", 1}, {"Off", 0}};

// The list index showing `value`, or -1 when no entry has it.
int ChoiceIndex(std::span<const Choice> choices, int32_t value);
// The value of list index `index`; -1 when nothing is selected.
int32_t ChoiceValue(std::span<const Choice> choices, int index);

// The "*.vlang" files of `directory` (extension in any case), sorted without
// regard to case. Empty when there are none or the folder cannot be read.
std::vector<std::string> ListLanguageFiles(const std::string& directory);

// The extension of `name`: the part from its last "." on, looking only at the
// text before the first "?". Empty when there is no "." or a "/" or "\" follows it.
std::string FileExtension(std::string_view name);

// True when `application` (the HTML editor the desktop names) looks like a word
// processor: empty, or naming msohtmed.exe, LibreOffice, Writer or Word.
bool IsWordProcessor(const std::string& application);

class OptionsDialog {
 public:
  explicit OptionsDialog(PanelSession& session);

  // Starts editing (working copies of the settings and the panel state) and
  // fills the fields; tells the user when the "lang" folder has no language files.
  void Open();

  // The fields the window shows and edits.
  std::string cacheExpiry;
  int overRequestFactor = 2;  // slider, 1 to 10
  int formFormatIndex = -1;   // in kFormFormatChoices
  bool defaultToAnd = false;
  bool timing = false;
  bool vexaInfo = false;
  std::vector<std::string> languages;
  int languageIndex = -1;
  bool languageListEnabled = true;
  int debugModeIndex = -1;         // in kDebugModeChoices
  bool allowRequestDebug = false;  // a visitor's vexa_debug may replace the debug mode
  bool mergeDuplicates = false;    // one result for a page that several nodes found
  bool showSources = false;        // the sources line below the summary
  bool debugLogging = false;
  std::string debugFileName;
  bool logging = false;
  std::string logFileName;
  std::string openSearchShortName;  // what browsers list the search as
  std::string openSearchDescription;
  ResultOptions results;  // the results page's features and the node back-off

  // OK: refuses a cache expiry above 100000 minutes and a result option out
  // of its range (the dialog stays open, false); otherwise stores the fields, marks changed settings unsaved and
  // unverified (the visitors' debug switch only unsaved), commits the working
  // copies and returns true.
  bool Ok();

  // "Modify Template": opens the generated template in the HTML editor.
  void ModifyTemplate();
  // "New file": creates a language file from the selected one and opens it.
  void NewLanguageFile();
  // "Edit file": opens the selected language file in the text editor.
  void EditLanguageFile();

 private:
  bool FillLanguageList(const std::string& wanted, const char* missingText);
  std::string SelectedLanguage() const;
  // Where the listed language file `name` lies: the shipped folder or the user's.
  std::string LanguagePath(const std::string& name) const;
  bool AcceptNewName(const std::string& name);
  bool RefuseOn9x(const std::string& text);
  bool OpenTextEditor(const std::string& path);

  PanelSession& session_;
};

}  // namespace quorix::panel
