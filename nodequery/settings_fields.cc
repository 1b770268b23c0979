#include "nodequery/settings_fields.h"

namespace quorix {
namespace {

constexpr SettingField Text(const char* name, std::string SettingsBlock::*member) {
  return {name, SettingKind::kText, member, nullptr, nullptr};
}
constexpr SettingField Flag(const char* name, bool SettingsBlock::*member) {
  return {name, SettingKind::kFlag, nullptr, member, nullptr};
}
constexpr SettingField Number(const char* name, int32_t SettingsBlock::*member) {
  return {name, SettingKind::kNumber, nullptr, nullptr, member};
}

using S = SettingsBlock;
const std::array<SettingField, kSettingCount> kFields = {{
    Text("Version", &S::Version),
    Flag("UseUTF8", &S::UseUTF8),
    Number("MinWordLen", &S::MinWordLen),
    Flag("Highlighting", &S::Highlighting),
    Number("HighlightLimit", &S::HighlightLimit),
    Flag("GotoHighlight", &S::GotoHighlight),
    Flag("PdfHighlight", &S::PdfHighlight),
    Flag("DisplayMetaDesc", &S::DisplayMetaDesc),
    Flag("UseDateTime", &S::UseDateTime),
    Flag("DisplayDate", &S::DisplayDate),
    Flag("DisplayContext", &S::DisplayContext),
    Flag("DisplayTitle", &S::DisplayTitle),
    Flag("DisplayTerms", &S::DisplayTerms),
    Flag("DisplayScore", &S::DisplayScore),
    Flag("DisplayURL", &S::DisplayURL),
    Flag("DisplayFilesize", &S::DisplayFilesize),
    Flag("UseVexaImage", &S::UseVexaImage),
    Flag("WordSplit", &S::WordSplit),
    Flag("SearchAsSubstring", &S::SearchAsSubstring),
    Flag("ToLowerSearchWords", &S::ToLowerSearchWords),
    Number("ContextSize", &S::ContextSize),
    Number("MaxContextKeywords", &S::MaxContextKeywords),
    Text("WordJoinChars", &S::WordJoinChars),
    Flag("Spelling", &S::Spelling),
    Number("SpellingWhenLessThan", &S::SpellingWhenLessThan),
    Flag("Recommended", &S::Recommended),
    Number("RecommendedMax", &S::RecommendedMax),
    Flag("UseCats", &S::UseCats),
    Flag("SearchMultiCats", &S::SearchMultiCats),
    Number("NumCats", &S::NumCats),
    Flag("MapAccents", &S::MapAccents),
    Text("AccentChars", &S::AccentChars),
    Text("NormalChars", &S::NormalChars),
    Text("LinkTarget", &S::LinkTarget),
}};

}  // namespace

const std::array<SettingField, kSettingCount>& SettingFields() { return kFields; }

bool SameSetting(const SettingField& field, const SettingsBlock& a, const SettingsBlock& b) {
  switch (field.kind) {
    case SettingKind::kText:
      return a.*field.text == b.*field.text;
    case SettingKind::kFlag:
      return a.*field.flag == b.*field.flag;
    case SettingKind::kNumber:
      return a.*field.number == b.*field.number;
  }
  return true;
}

}  // namespace quorix
