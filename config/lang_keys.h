// The language string keys. The search program keeps them all (index =
// position here) in Config::langStrings, except STR_CAT_SUMMARY, the control
// panel's.
#pragma once

#include <array>
#include <string_view>

namespace quorix {

inline constexpr int kLangKeyCount = 61;

inline constexpr std::array<std::string_view, kLangKeyCount> kLangKeys = {
    "STR_FORM_SEARCHFOR",
    "STR_FORM_SUBMIT_BUTTON",
    "STR_FORM_RESULTS_PER_PAGE",
    "STR_FORM_CATEGORY",
    "STR_FORM_CATEGORY_ALL",
    "STR_FORM_MATCH",
    "STR_FORM_ANY_SEARCH_WORDS",
    "STR_FORM_ALL_SEARCH_WORDS",
    "STR_NO_QUERY",
    "STR_RESULTS_FOR",
    "STR_RESULTS_IN_ALL_CATEGORIES",
    "STR_RESULTS_IN_CATEGORY",
    "STR_POWEREDBY",
    "STR_NO_RESULTS",
    "STR_RESULT",
    "STR_RESULTS",
    "STR_PHRASE_CONTAINS_COMMON_WORDS",
    "STR_SKIPPED_FOLLOWING_WORDS",
    "STR_SKIPPED_PHRASE",
    "STR_SUMMARY_NO_RESULTS_FOUND",
    "STR_SUMMARY_FOUND_CONTAINING_ALL_TERMS",
    "STR_SUMMARY_FOUND_CONTAINING_SOME_TERMS",
    "STR_SUMMARY_FOUND",
    "STR_PAGES_OF_RESULTS",
    "STR_POSSIBLY_GET_MORE_RESULTS",
    "STR_ANY_OF_TERMS",
    "STR_ALL_CATS",
    "STR_SORTBY_RELEVANCE",
    "STR_SORTEDBY_DATE",
    "STR_SORTEDBY_RELEVANCE",
    "STR_SORTBY_DATE",
    "STR_RESULT_TERMS_MATCHED",
    "STR_RESULT_SCORE",
    "STR_RESULT_URL",
    "STR_RESULT_PAGES",
    "STR_RESULT_PAGES_PREVIOUS",
    "STR_RESULT_PAGES_NEXT",
    "STR_SEARCH_TOOK",
    "STR_SECONDS",
    "STR_DIDYOUMEAN",
    "STR_OR",
    "STR_RECOMMENDED",
    "STR_MAX_RESULTS",
    "STR_MORETHAN",
    "STR_CAT_SUMMARY",
    "STR_SOURCES",
    "STR_SOURCE_RESULTS",
    "STR_SOURCE_TIMEOUT",
    "STR_SOURCE_FAILED",
    "STR_SOURCE_SKIPPED",
    "STR_SOURCE_ALL",
    "STR_ALSO_FOUND_AT",
    "STR_SOURCE_FROM_CACHE",
    "STR_TOO_MANY_SEARCHES",
    "STR_NO_RESULTS_HINT_SPELLING",
    "STR_NO_RESULTS_HINT_WORDS",
    "STR_NO_RESULTS_HINT_ANY",
    "STR_SOURCES_PENDING",
    "STR_SHOW_ALL_RESULTS",
    "STR_MORE_RESULTS_ARRIVED",
    "STR_SOURCE_PENDING",
};

// Indexes of the keys the search program shows.
enum LangKey : int {
  kStrFormSearchFor = 0,
  kStrFormSubmitButton = 1,
  kStrFormResultsPerPage = 2,
  kStrFormCategory = 3,
  kStrFormCategoryAll = 4,
  kStrFormMatch = 5,
  kStrFormAnySearchWords = 6,
  kStrFormAllSearchWords = 7,
  kStrNoQuery = 8,
  kStrPoweredBy = 12,
  kStrSortByRelevance = 27,
  kStrSortedByDate = 28,
  kStrSortedByRelevance = 29,
  kStrSortByDate = 30,
  kStrNoResults = 13,
  kStrResultPages = 34,
  kStrResultPagesPrevious = 35,
  kStrResultPagesNext = 36,
  kStrDidYouMean = 39,
  kStrRecommended = 41,
  kStrMaxResults = 42,
  kStrCatSummary = 44,
  kStrSources = 45,
  kStrSourceResults = 46,
  kStrSourceTimeout = 47,
  kStrSourceFailed = 48,
  kStrSourceSkipped = 49,
  kStrSourceAll = 50,
  kStrAlsoFoundAt = 51,
  kStrSourceFromCache = 52,
  kStrTooManySearches = 53,
  kStrNoResultsHintSpelling = 54,
  kStrNoResultsHintWords = 55,
  kStrNoResultsHintAny = 56,
  kStrSourcesPending = 57,
  kStrShowAllResults = 58,
  kStrMoreResultsArrived = 59,
  kStrSourcePending = 60,
};

// Index of `key` in kLangKeys, or -1.
inline int LangKeyIndex(std::string_view key) {
  for (int i = 0; i < kLangKeyCount; ++i)
    if (kLangKeys[i] == key) return i;
  return -1;
}

}  // namespace quorix
