// Which handler a tag gets: the rows are tried in order and the first whose
// pattern matches the start of the tag applies.
#include <array>
#include <string_view>

#include "nodequery/tag_handlers.h"

namespace quorix {
namespace {

// When a row is tried at all.
enum class Scope {
  kAlways,
  kVexaChannel,  // a Vexa node inside the channel
  kItem,         // inside an item
  kVexaItem,     // a Vexa node inside an item
};

struct TagRow {
  std::string_view pattern;  // compared with the start of the tag
  bool openSearchPrefixed;   // "<" + prefix + pattern, ignoring case
  Scope scope;
  TagHandler handler;
};

constexpr std::array<TagRow, 34> kRows = {{
    {"<?xml", false, Scope::kAlways, OnXmlDeclaration},
    {"<rss", false, Scope::kAlways, OnRssStart},
    {"</rss", false, Scope::kAlways, OnRssEnd},
    {"<channel", false, Scope::kAlways, OnChannelStart},
    {"</channel", false, Scope::kAlways, OnChannelEnd},
    {":link", true, Scope::kAlways, OnOpenSearchLink},
    {":totalResults", true, Scope::kAlways, OnTotalResults},
    {":startIndex", true, Scope::kAlways, OnStartIndex},
    {":itemsPerPage", true, Scope::kAlways, OnItemsPerPage},
    {"<title", false, Scope::kAlways, OnTitle},
    {"<description", false, Scope::kAlways, OnDescription},
    {"<link", false, Scope::kAlways, OnLink},
    {"<vexa:setting", false, Scope::kVexaChannel, OnVexaSetting},
    {"<vexa:searchquery", false, Scope::kVexaChannel, OnSearchQuery},
    {"<vexa:searchcategory", false, Scope::kVexaChannel, OnSearchCategory},
    {"<vexa:category", false, Scope::kVexaChannel, OnCategoryName},
    {"</vexa:category", false, Scope::kVexaChannel, OnCategoryNameEnd},
    {"<vexa:spelling", false, Scope::kVexaChannel, OnSpelling},
    {"</vexa:spelling", false, Scope::kVexaChannel, OnSpellingEnd},
    {"<vexa:searchtime", false, Scope::kVexaChannel, OnSearchTime},
    {"<vexa:pending", false, Scope::kVexaChannel, OnPendingSource},
    {"<vexa:recommended", false, Scope::kVexaChannel, OnRecommendedStart},
    {"</vexa:recommended", false, Scope::kVexaChannel, OnRecommendedEnd},
    {"<item", false, Scope::kAlways, OnItemStart},
    {"</item", false, Scope::kAlways, OnItemEnd},
    {"<pubDate", false, Scope::kItem, OnPubDate},
    {"<category", false, Scope::kVexaItem, OnItemCategory},
    {"</category", false, Scope::kVexaItem, OnItemCategoryEnd},
    {"<vexa:context", false, Scope::kVexaItem, OnContext},
    {"<vexa:score", false, Scope::kVexaItem, OnScore},
    {"<vexa:termsMatched", false, Scope::kVexaItem, OnTermsMatched},
    {"<vexa:fileSize", false, Scope::kVexaItem, OnFileSize},
    {"<vexa:imageURL", false, Scope::kVexaItem, OnImageUrl},
    {"<vexa:datetime", false, Scope::kVexaItem, OnDateTime},
}};

bool InScope(Scope scope, const ParseState& state) {
  switch (scope) {
    case Scope::kAlways:
      return true;
    case Scope::kVexaChannel:
      return state.isVexa && state.Has(kInChannel);
    case Scope::kItem:
      return state.Has(kInItem);
    case Scope::kVexaItem:
      return state.isVexa && state.Has(kInItem);
  }
  return false;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
    char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
    if (x != y) return false;
  }
  return true;
}

// What the rows look at in one tag, worked out once per tag.
struct TagKey {
  std::string_view tag;
  // "<" + the node's OpenSearch prefix + ":" (the prefix in any case): the rest
  // is compared with the prefixed rows' patterns, which begin with ":".
  bool prefixed = false;
  std::string_view afterPrefix;

  TagKey(std::string_view text, std::string_view prefix) : tag(text) {
    size_t colon = 1 + prefix.size();
    prefixed = tag.size() > colon && tag[0] == '<' && tag[colon] == ':' &&
               EqualIgnoringCase(tag.substr(1, prefix.size()), prefix);
    if (prefixed) afterPrefix = tag.substr(colon);
  }
};

// A quick test that rules out most rows before the full comparison: the
// characters after "<" and at the end of a plain pattern.
bool MayMatch(const TagRow& row, const TagKey& key) {
  if (row.openSearchPrefixed) return key.prefixed;
  std::string_view pattern = row.pattern;
  return key.tag.size() >= pattern.size() && key.tag[1] == pattern[1] &&
         key.tag[pattern.size() - 1] == pattern.back();
}

bool Matches(const TagRow& row, const TagKey& key) {
  if (!row.openSearchPrefixed) return key.tag.substr(0, row.pattern.size()) == row.pattern;
  return key.afterPrefix.size() >= row.pattern.size() &&
         EqualIgnoringCase(key.afterPrefix.substr(0, row.pattern.size()), row.pattern);
}

}  // namespace

void ProcessXmlTag(const Token& token, ParseState& state) {
  const TagKey key(token.tag, state.channel.osPrefix);
  for (const TagRow& row : kRows) {
    if (!MayMatch(row, key) || !InScope(row.scope, state) || !Matches(row, key)) continue;
    row.handler(token, state);
    return;
  }
}

}  // namespace quorix
