#include "panel/core/options_dialog.h"

#include <algorithm>
#include <filesystem>

#include "panel/core/node_table.h"
#include "panel/core/os_name.h"
#include "platform/text.h"

namespace quorix::panel {
namespace {

constexpr char kNoLanguageFilesOpening[] =
    "Could not find expected language files (.vlang) in \"lang\" folder.\nYou may need to "
    "re-install Vexa to recover the required files.";
constexpr char kNoLanguageFilesAfterNew[] =
    "Could not find expected language files (.vlang) in \"lang\" folder.\nYou may need to "
    "re-install Quorix ControlPanel to recover the required files.";

bool EqualNoCase(std::string_view a, std::string_view b) { return AsciiLower(a) == AsciiLower(b); }

bool LessNoCase(const std::string& a, const std::string& b) {
  std::string lowerA = AsciiLower(a), lowerB = AsciiLower(b);
  return lowerA != lowerB ? lowerA < lowerB : a < b;
}

// Copies `source` to `target` (its folder made first); a file copied onto
// itself stays as it is.
bool CopyLanguageFile(const std::string& source, const std::string& target) {
  std::error_code error;
  if (std::filesystem::equivalent(source, target, error)) return true;
  std::filesystem::create_directories(std::filesystem::path(target).parent_path(), error);
  error.clear();
  std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing,
                             error);
  return !error && std::filesystem::is_regular_file(target, error);
}

}  // namespace

int ChoiceIndex(std::span<const Choice> choices, int32_t value) {
  for (size_t i = 0; i < choices.size(); ++i)
    if (choices[i].value == value) return static_cast<int>(i);
  return -1;
}

int32_t ChoiceValue(std::span<const Choice> choices, int index) {
  if (index < 0 || static_cast<size_t>(index) >= choices.size()) return -1;
  return choices[index].value;
}

std::vector<std::string> ListLanguageFiles(const std::string& directory) {
  std::vector<std::string> names;
  std::error_code error;
  for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end;
       it.increment(error)) {
    std::string name = it->path().filename().string();
    if (name.size() > 6 && EqualNoCase(std::string_view(name).substr(name.size() - 6), ".vlang") &&
        it->is_regular_file(error))
      names.push_back(name);
  }
  std::sort(names.begin(), names.end(), LessNoCase);
  return names;
}

std::string FileExtension(std::string_view name) {
  name = name.substr(0, name.find('?'));
  size_t dot = name.find_last_of('.');
  if (dot == std::string_view::npos) return "";
  std::string_view extension = name.substr(dot);
  if (extension.find_first_of("/\\") != std::string_view::npos) return "";
  return std::string(extension);
}

bool IsWordProcessor(const std::string& application) {
  std::string lower = AsciiLower(application);
  for (const char* name : {"msohtmed.exe", "libreoffice", "writer", "word"})
    if (lower.find(name) != std::string::npos) return true;
  return lower.empty();
}

OptionsDialog::OptionsDialog(PanelSession& session) : session_(session) {}

void OptionsDialog::Open() {
  BeginEdit(session_, EditScope::kBoth);
  const Config& work = session_.work;
  cacheExpiry = std::to_string(work.cacheValidPeriodMins);
  overRequestFactor = std::clamp(work.overRequestFactor, 1, 10);
  formFormatIndex = ChoiceIndex(kFormFormatChoices, work.formFormat);
  defaultToAnd = work.defaultToAnd != 0;
  timing = work.showSearchTime != 0;
  vexaInfo = work.showVexaInfo != 0;
  debugModeIndex = ChoiceIndex(kDebugModeChoices, work.debugMode);
  allowRequestDebug = work.allowRequestDebug == 1;  // the search program obeys 1 alone
  mergeDuplicates = work.mergeDuplicates == 1;
  showSources = work.showSources == 1;
  debugLogging = work.debugLogging != 0;
  debugFileName = work.debugFileName;
  logging = work.logging != 0;
  logFileName = work.logFileName;
  openSearchShortName = work.openSearchShortName;
  openSearchDescription = work.openSearchDescription;
  results.Load(work);
  FillLanguageList(work.languageFileName, kNoLanguageFilesOpening);
}

bool OptionsDialog::FillLanguageList(const std::string& wanted, const char* missingText) {
  languages = ListLanguageFiles(session_.LanguageDir());
  for (const std::string& own : ListLanguageFiles(UserLanguageDir()))
    if (std::find(languages.begin(), languages.end(), own) == languages.end())
      languages.insert(std::upper_bound(languages.begin(), languages.end(), own, LessNoCase), own);
  languageIndex = -1;
  if (languages.empty()) {
    session_.desktop.MessageBox(BoxOwner::kDialog, missingText, "Missing language files",
                                BoxIcon::kExclamation, BoxButtons::kOk);
    languageListEnabled = false;
    return false;
  }
  languageListEnabled = true;
  languageIndex = 0;
  for (size_t i = 0; i < languages.size(); ++i)
    if (EqualNoCase(languages[i], wanted)) {
      languageIndex = static_cast<int>(i);
      break;
    }
  return true;
}

std::string OptionsDialog::LanguagePath(const std::string& name) const {
  return LanguageFilePath(session_.installDir, name);
}

std::string OptionsDialog::SelectedLanguage() const {
  if (languageIndex < 0 || static_cast<size_t>(languageIndex) >= languages.size()) return "";
  return languages[languageIndex];
}

bool OptionsDialog::Ok() {
  int64_t expiry = LeadingInteger64(CutUtf16(cacheExpiry, 254));
  if (expiry > kMaxCacheExpiryMins || expiry < 0) {
    session_.desktop.MessageBox(BoxOwner::kDialog,
                                "You have entered an invalid value for \"Cache Expiry\".  The "
                                "maximum allowed is 100,000 minutes.",
                                "Cache expiry period too large", BoxIcon::kExclamation,
                                BoxButtons::kOk);
    return false;
  }
  if (std::string problem = results.Problem(); !problem.empty()) {
    session_.desktop.MessageBox(BoxOwner::kDialog, problem, "Invalid search option",
                                BoxIcon::kExclamation, BoxButtons::kOk);
    return false;
  }
  Config& work = session_.work;
  results.Store(work);
  work.cacheValidPeriodMins = static_cast<int32_t>(expiry);
  work.overRequestFactor = std::clamp(overRequestFactor, 1, 10);
  work.formFormat = ChoiceValue(kFormFormatChoices, formFormatIndex);
  work.defaultToAnd = defaultToAnd ? 1 : 0;
  work.showSearchTime = timing ? 1 : 0;
  work.showVexaInfo = vexaInfo ? 1 : 0;
  if (languageListEnabled && languageIndex >= 0) work.languageFileName = SelectedLanguage();
  work.debugMode = ChoiceValue(kDebugModeChoices, debugModeIndex);
  work.allowRequestDebug = allowRequestDebug ? 1 : 0;
  work.mergeDuplicates = mergeDuplicates ? 1 : 0;
  work.showSources = showSources ? 1 : 0;
  work.logging = logging ? 1 : 0;
  work.logFileName = CutUtf16(logFileName, 258);
  work.debugLogging = debugLogging ? 1 : 0;
  work.debugFileName = CutUtf16(debugFileName, 258);
  if (SettingsDiffer(work, session_.live)) {
    session_.flags.verified = false;
    session_.flags.unsaved = true;
  }
  work.openSearchShortName = CutUtf16(openSearchShortName, 258);
  work.openSearchDescription = CutUtf16(openSearchDescription, 258);
  // Not a matter for verification, but the file must be saved to take effect.
  if (work.allowRequestDebug != session_.live.allowRequestDebug ||
      work.mergeDuplicates != session_.live.mergeDuplicates ||
      work.showSources != session_.live.showSources || ResultOptionsDiffer(work, session_.live) ||
      work.openSearchShortName != session_.live.openSearchShortName ||
      work.openSearchDescription != session_.live.openSearchDescription)
    session_.flags.unsaved = true;
  CommitEdit(session_, EditScope::kBoth);
  return true;
}

void OptionsDialog::ModifyTemplate() {
  const std::string& outputDir = session_.panelWork.outputDir;
  std::string path = outputDir + "/" + session_.work.templateFilename;
  std::error_code error;
  if (outputDir.empty() || !std::filesystem::is_regular_file(path, error)) {
    session_.desktop.MessageBox(
        BoxOwner::kMainWindow,
        "Could not find template file:\n" + path +
            "\n\nThe template file is only created in your output directory after having "
            "successfully\ncreated the files for Quorix CGI. You must hit the \"Create CGI "
            "files\" first,\nbefore you can edit this file to change the appearance of your "
            "search page.",
        "Template file not found", BoxIcon::kInformation, BoxButtons::kOk);
    return;
  }
  std::string editor;
  bool editorKnown = session_.desktop.QueryHtmlEditor(editor);
  bool suspected = editorKnown && IsWordProcessor(editor);
  if (suspected && session_.panelWork.warnWord != 0)
    session_.panelWork.warnWord = session_.desktop.ShowWordProcessorWarning() ? 0 : 1;
  // Without an editor the user picks the program.
  bool chooseApplication = !editorKnown || (suspected && session_.panelWork.warnWord != 0);
  if (!session_.desktop.OpenInHtmlEditor(path, chooseApplication)) {
    session_.desktop.MessageBox(
        BoxOwner::kMainWindow,
        "The template file could not be opened with the default HTML editor.\n\nMake sure a "
        "default editor is selected in Windows for HTML files\nor open the following file "
        "manually:\n" +
            path,
        "Failed to open with HTML editor", BoxIcon::kExclamation, BoxButtons::kOk);
    return;
  }
  session_.flags.unsaved = true;
}

bool OptionsDialog::RefuseOn9x(const std::string& text) {
  bool isWin9x = false;
  OsName(session_.os, isWin9x);
  if (!isWin9x) return false;
  session_.desktop.MessageBox(BoxOwner::kDialog, text, "Cannot edit Unicode files in Win98/ME",
                              BoxIcon::kExclamation, BoxButtons::kOk);
  return true;
}

bool OptionsDialog::OpenTextEditor(const std::string& path) {
  if (session_.desktop.OpenInTextEditor(path)) return true;
  session_.desktop.MessageBox(
      BoxOwner::kMainWindow,
      "Could not open text editor to edit VLANG file.\nYou can edit the following file "
      "manually:\n" +
          path,
      "Failed to open text editor", BoxIcon::kExclamation, BoxButtons::kOk);
  return false;
}

bool OptionsDialog::AcceptNewName(const std::string& name) {
  auto refuse = [this](const char* text, const char* title) {
    session_.desktop.MessageBox(BoxOwner::kDialog, text, title, BoxIcon::kExclamation,
                                BoxButtons::kOk);
    return false;
  };
  if (name.empty())
    return refuse("You must specify a filename for the new language file\n",
                  "No filename specified");
  if (!EqualNoCase(FileExtension(name), ".vlang"))
    return refuse("The filename must end in \".vlang\"\n", "Filename does not end with .vlang");
  // The file goes into the "lang" folder and nowhere else.
  if (name.substr(0, name.find('?')).find_first_of("/\\") != std::string::npos)
    return refuse("The filename must not contain a folder name.\n", "Invalid filename");
  return true;
}

void OptionsDialog::NewLanguageFile() {
  if (RefuseOn9x(
          "You can not edit language files in Windows 98/ME.\n\nLanguage (.vlang) files are saved "
          "in Unicode format, which is not\ndirectly supported in Windows 95, 98 and ME.\n\nIf you "
          "still wish to edit these files on this computer, you will\nneed to obtain a text editor "
          "which provides Unicode support in 98\nand create a new vlang file in the \"lang\" "
          "folder where Quorix ControlPanel\nis installed."))
    return;
  if (languages.empty()) {
    session_.flags.unsaved = true;
    return;
  }
  std::string source = LanguagePath(SelectedLanguage());
  std::string name = "custom.vlang";
  if (!session_.desktop.AskNewLanguageFileName(
          name, [this](const std::string& typed) { return AcceptNewName(typed); }))
    return;
  // What follows a "?" is not part of the name.
  name = name.substr(0, name.find('?'));
  std::string target = session_.NewLanguageDir() + "/" + name;
  if (!CopyLanguageFile(source, target)) {
    session_.desktop.MessageBox(BoxOwner::kDialog,
                                "Could not create the new language file:\n" + target +
                                    "\n\nCheck that you have permission writing to that folder.",
                                "Failed to create language file", BoxIcon::kExclamation,
                                BoxButtons::kOk);
    return;
  }
  if (!OpenTextEditor(target)) return;
  if (!FillLanguageList(name, kNoLanguageFilesAfterNew)) return;
  session_.flags.unsaved = true;
}

void OptionsDialog::EditLanguageFile() {
  if (languages.empty()) {
    session_.flags.unsaved = true;
    return;
  }
  std::string path = LanguagePath(SelectedLanguage());
  if (RefuseOn9x(
          "You can not edit language files in Windows 98/ME.\n\nLanguage (.vlang) files are saved "
          "in Unicode format, which is\nnot directly supported in Windows 95, 98 and ME.\n\nIf you "
          "still wish to edit these files on this computer, you will\nneed to obtain a text editor "
          "which provides Unicode support in 98\nand edit the following file with it:\n\n" +
          path))
    return;
  if (!OpenTextEditor(path)) return;
  session_.flags.unsaved = true;
}

}  // namespace quorix::panel
