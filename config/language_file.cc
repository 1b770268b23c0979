#include "config/language_file.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "config/lang_keys.h"
#include "config/settings_escape.h"
#include "platform/text.h"

namespace quorix {
namespace {

constexpr char16_t kByteOrderMark = 0xFEFF;
constexpr std::u16string_view kEntryStart = u"STR_";

// Cuts `text` to `maxUnits` UTF-16 units without splitting a surrogate pair.
std::u16string_view CutUnits(std::u16string_view text, size_t maxUnits) {
  if (text.size() <= maxUnits) return text;
  size_t length = maxUnits;
  if (length > 0 && text[length - 1] >= 0xD800 && text[length - 1] <= 0xDBFF) --length;
  return text.substr(0, length);
}

// Handles one line (without its line feed). Returns true and fills `entry`
// when the line holds an accepted entry.
bool ParseLine(std::u16string_view line, std::string_view fileName, LanguageMessages& messages,
               LanguageEntry& entry) {
  size_t lineEnd = line.find(u'\r');
  if (lineEnd != std::u16string_view::npos) line = line.substr(0, lineEnd);
  if (!line.empty() && line[0] == u'#') return false;
  size_t start = line.find(kEntryStart);
  if (start == std::u16string_view::npos) return false;
  std::u16string_view rest = line.substr(start);
  size_t equals = rest.find(u'=');
  std::u16string_view key = rest.substr(0, equals);
  std::u16string_view value =
      equals == std::u16string_view::npos ? std::u16string_view() : rest.substr(equals + 1);

  std::string keyText = Utf16ToUtf8(CutUnits(key, kLangKeyMaxUnits));
  if (LangKeyIndex(keyText) < 0) {
    messages.Log(LanguageMessageKind::kInvalidEntry,
                 Format("Invalid text entry \"%s\" in language file (%s)", keyText.c_str(),
                        std::string(fileName).c_str()));
    return false;
  }
  if (value.empty()) return false;
  entry.key = std::move(keyText);
  entry.value = Utf16ToUtf8(CutUnits(value, kLangValueMaxUnits));
  return true;
}

// Reads the whole file into `bytes`. Returns false on a read error.
bool ReadAll(std::FILE* file, std::string& bytes) {
  char buffer[4096];
  size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, count);
  return !std::ferror(file);
}

}  // namespace

std::string UserLanguageDir() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && *data == '/') return std::string(data) + "/quorix/lang";
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/.local/share/quorix/lang";
}

std::string LanguageFilePath(std::string_view installDir, std::string_view fileName) {
  std::string installed = Format("%s/%s/%s/%s", std::string(installDir).c_str(), "cgi files",
                                 "lang", std::string(fileName).c_str());
  std::string own = UserLanguageDir() + "/" + std::string(fileName);
  std::error_code error;
  return !fileName.empty() && std::filesystem::is_regular_file(own, error) ? own : installed;
}

std::vector<LanguageEntry> ParseLanguageText(std::u16string_view text, std::string_view fileName,
                                             LanguageMessages& messages) {
  if (!text.empty() && text[0] == kByteOrderMark) text.remove_prefix(1);
  std::vector<LanguageEntry> entries;
  while (!text.empty()) {
    size_t lineFeed = text.find(u'\n');
    std::u16string_view line = text.substr(0, lineFeed);
    text.remove_prefix(lineFeed == std::u16string_view::npos ? text.size() : lineFeed + 1);
    LanguageEntry entry;
    if (ParseLine(line, fileName, messages, entry)) entries.push_back(std::move(entry));
  }
  return entries;
}

std::string LanguageSettingsLine(const LanguageEntry& entry) {
  return entry.key + " = \"" + EscapeSettingsValue(entry.value) + "\"\r\n";
}

bool CopyLanguageStrings(const std::string& path, std::string& settingsOut,
                         LanguageMessages& messages) {
  std::string fileName = std::filesystem::path(path).filename().string();
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    messages.Log(LanguageMessageKind::kOpenFailed,
                 Format("Could not open language file: %s", fileName.c_str()));
    return false;
  }
  std::string bytes;
  bool readOk = ReadAll(file, bytes);
  std::fclose(file);
  if (!readOk) {
    messages.Log(LanguageMessageKind::kReadFailed,
                 Format("Failed to read from language file: %s", fileName.c_str()));
    return false;
  }

  std::vector<LanguageEntry> entries = ParseLanguageText(LeBytesToUtf16(bytes), fileName, messages);
  for (const auto& entry : entries) settingsOut += LanguageSettingsLine(entry);
  if (entries.size() < static_cast<size_t>(kLangKeyCount)) {
    messages.Log(LanguageMessageKind::kMissingEntries,
                 Format("Missing text in VLANG file selected (%s)", fileName.c_str()));
    messages.WarnMissingEntries(
        "Missing text in VLANG file",
        Format("Missing text entries in VLANG file selected (%s)\nCheck that the file contains "
               "all valid entries and is encoded in Unicode (UTF-16).\nContiuning with the current "
               "search files will result in some missing text on the search page.\nPlease correct "
               "the VLANG file used.",
               fileName.c_str()));
  }
  return true;
}

}  // namespace quorix
