#include "panel/core/predefined_list.h"

#include <filesystem>
#include <fstream>

#include "platform/text.h"

namespace quorix::panel {
namespace {

constexpr size_t kTagMax = 512;           // UTF-16 units of a tag
constexpr size_t kElementTextMax = 4095;  // UTF-16 units of an element's text
constexpr size_t kTitleMax = 511;
constexpr size_t kUrlMax = 2083;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Replaces the five predefined XML entities.
std::string DecodeEntities(std::string_view text) {
  static constexpr std::pair<std::string_view, char> kEntities[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  std::string out;
  for (size_t at = 0; at < text.size();) {
    bool replaced = false;
    if (text[at] == '&')
      for (const auto& [entity, character] : kEntities)
        if (text.substr(at, entity.size()) == entity) {
          out += character;
          at += entity.size();
          replaced = true;
          break;
        }
    if (!replaced) out += text[at++];
  }
  return out;
}

// Builds the entries from the tags of the RSS channel layout.
class EntryCollector {
 public:
  EntryCollector(std::vector<PredefinedEntry>& entries, LogSink& log)
      : entries_(entries), log_(log) {}

  // False when the tag cannot be taken.
  bool Handle(std::string_view name, bool closing, const std::string& text) {
    if (name == "item") {
      inItem_ = !closing;
      if (!closing) entries_.push_back({"Item title blank", "Item url blank"});
      return true;
    }
    if (closing) return true;
    if (inItem_ && name == "title") return Take(entries_.back().title, text, kTitleMax);
    if (inItem_ && name == "link") return Take(entries_.back().url, text, kUrlMax);
    log_.Logf(kLogDetail, "Predefined OpenSearch URL file: <%.*s> %s",
              static_cast<int>(name.size()), name.data(), text.c_str());
    return true;
  }

 private:
  static bool Take(std::string& field, const std::string& text, size_t capacity) {
    if (Utf16Length(text) > capacity) return false;
    if (!text.empty()) field = text;
    return true;
  }

  std::vector<PredefinedEntry>& entries_;
  LogSink& log_;
  bool inItem_ = false;
};

void ShowError(Desktop& desktop, const std::string& text, const std::string& title) {
  desktop.MessageBox(BoxOwner::kNone, text, title, BoxIcon::kExclamation, BoxButtons::kOk);
}

}  // namespace

Status ParsePredefinedDescriptions(std::string_view text, std::vector<PredefinedEntry>& entries,
                                   LogSink& log) {
  EntryCollector collector(entries, log);
  size_t pos = 0;
  while (true) {
    size_t open = text.find('<', pos);
    if (open == std::string_view::npos) return kOk;
    size_t close = text.find('>', open);
    if (close == std::string_view::npos) return kPredefinedInvalid;
    std::string_view tag = text.substr(open + 1, close - open - 1);
    if (Utf16Length(tag) > kTagMax) return kPredefinedTooLong;
    pos = close + 1;

    bool closing = tag.starts_with("/");
    bool empty = tag.ends_with("/");
    if (closing) tag.remove_prefix(1);
    size_t nameEnd = 0;
    while (nameEnd < tag.size() && !IsBlank(tag[nameEnd]) && tag[nameEnd] != '/') ++nameEnd;
    std::string_view name = tag.substr(0, nameEnd);

    std::string content;
    if (!closing && !empty && !name.starts_with("?") && !name.starts_with("!")) {
      size_t start = pos;
      while (start < text.size() && IsBlank(text[start])) ++start;
      if (text.substr(start).starts_with("<![CDATA[")) {
        size_t end = text.find("]]>", start + 9);
        if (end == std::string_view::npos) return kPredefinedInvalid;
        content = std::string(text.substr(start + 9, end - start - 9));
        pos = end + 3;
      } else {
        size_t next = text.find('<', pos);
        content = DecodeEntities(
            Trim(text.substr(pos, next == std::string_view::npos ? text.npos : next - pos)));
      }
      if (Utf16Length(content) > kElementTextMax) return kPredefinedTooLong;
    }
    if (!name.empty() && !collector.Handle(name, closing, content)) return kPredefinedTagError;
  }
}

Status LoadPredefinedDescriptions(const std::string& installDir, Desktop& desktop, LogSink& log,
                                  std::vector<PredefinedEntry>& entries) {
  entries.clear();
  std::string path = installDir + "/" + kPredefinedFileName;
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    ShowError(desktop,
              Format("Error opening predefined OpenSearch URL file \"%s\".\nReinstallation should "
                     "fix this problem",
                     kPredefinedFileName),
              "Cannot find predefined OpenSearch URL file");
    return kPredefinedOpenFailed;
  }
  std::error_code error;
  uintmax_t size = std::filesystem::file_size(path, error);
  if (error) {
    ShowError(
        desktop,
        Format("Error getting file size of predefined OpenSearch URL file \"%s\".\n", path.c_str()),
        "Cannot get file size of predefined OpenSearch URL file");
    return kPredefinedSizeFailed;
  }
  std::string bytes(size, '\0');
  file.read(bytes.data(), static_cast<std::streamsize>(size));
  if (static_cast<uintmax_t>(file.gcount()) < size) {
    ShowError(desktop,
              Format("Error reading predefined OpenSearch URL file \"%s\".\n", path.c_str()),
              "Cannot read predefined OpenSearch URL file");
    return kPredefinedReadFailed;
  }
  std::string text = RepairUtf8(bytes);
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);

  Status status = ParsePredefinedDescriptions(text, entries, log);
  if (status == kPredefinedInvalid)
    ShowError(desktop, "Predefined OpenSearch URL file is not valid.",
              "Invalid predefined OpenSearch URL file");
  else if (status == kPredefinedTooLong)
    ShowError(desktop, "Insufficient buffer to hold XML element.", "Insuffficient buffer.");
  else if (status == kPredefinedTagError)
    ShowError(
        desktop,
        Format("Error parsing tags in predefined OpenSearch URL file \"%s\".\n", path.c_str()),
        "Error parsing XML tag");
  if (status != kOk) entries.clear();
  return status;
}

}  // namespace quorix::panel
