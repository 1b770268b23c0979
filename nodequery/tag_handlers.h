// The handlers of the response parser's tag rows and the helpers they share;
// private to the response parser. Each handler applies one kind of tag to the
// node's records; tag_table.cc decides which one runs.
#pragma once

#include <string>

#include "nodequery/parse_state.h"

namespace quorix {

using TagHandler = void (*)(const Token&, ParseState&);

inline constexpr size_t kAttributeUnits = 511;  // 512 including the terminator
// A node's answer keeps at most this many items and as many recommended
// links; later ones are dropped, so that an answer made of thousands of empty
// records cannot take memory out of all proportion to its size.
inline constexpr size_t kMaxStoredRecords = 10000;

// Stores the token's content in `field` (cut to the text field limit): an
// OpenSearch node's content loses its CDATA wrapper and has its character
// references decoded, a Vexa node's is kept as sent. False when there is no content.
bool StoreText(const Token& token, const ParseState& state, std::string& field);

// Stores the content unchanged (cut to the text field limit). False when empty.
bool StoreRawText(const Token& token, std::string& field);

// Logs an allocation failure of the tag processing; `record` picks the form of
// the line used for a record (with "<br>") rather than for a list.
void LogAllocationFailure(ParseState& state, int line);

// Channel and OpenSearch rows.
void OnXmlDeclaration(const Token& token, ParseState& state);
void OnRssStart(const Token& token, ParseState& state);
void OnRssEnd(const Token& token, ParseState& state);
void OnChannelStart(const Token& token, ParseState& state);
void OnChannelEnd(const Token& token, ParseState& state);
void OnOpenSearchLink(const Token& token, ParseState& state);
void OnTotalResults(const Token& token, ParseState& state);
void OnStartIndex(const Token& token, ParseState& state);
void OnItemsPerPage(const Token& token, ParseState& state);

// RSS text rows: the current item, else the current recommended link, else the channel.
void OnTitle(const Token& token, ParseState& state);
void OnDescription(const Token& token, ParseState& state);
void OnLink(const Token& token, ParseState& state);

// Vexa channel rows.
void OnVexaSetting(const Token& token, ParseState& state);
void OnSearchQuery(const Token& token, ParseState& state);
void OnSearchCategory(const Token& token, ParseState& state);
void OnCategoryName(const Token& token, ParseState& state);
void OnCategoryNameEnd(const Token& token, ParseState& state);
void OnSpelling(const Token& token, ParseState& state);
void OnSpellingEnd(const Token& token, ParseState& state);
void OnSearchTime(const Token& token, ParseState& state);
void OnPendingSource(const Token& token, ParseState& state);
void OnRecommendedStart(const Token& token, ParseState& state);
void OnRecommendedEnd(const Token& token, ParseState& state);

// Item rows.
void OnItemStart(const Token& token, ParseState& state);
void OnItemEnd(const Token& token, ParseState& state);
void OnPubDate(const Token& token, ParseState& state);
void OnItemCategory(const Token& token, ParseState& state);
void OnItemCategoryEnd(const Token& token, ParseState& state);
void OnContext(const Token& token, ParseState& state);
void OnScore(const Token& token, ParseState& state);
void OnTermsMatched(const Token& token, ParseState& state);
void OnFileSize(const Token& token, ParseState& state);
void OnImageUrl(const Token& token, ParseState& state);
void OnDateTime(const Token& token, ParseState& state);

}  // namespace quorix
