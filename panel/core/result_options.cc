#include "panel/core/result_options.h"

#include <charconv>
#include <utility>

#include "platform/text.h"

namespace quorix::panel {
namespace {

int32_t NumberOf(const std::string& text) {
  int32_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

}  // namespace

std::string NumberProblem(const std::string& text, const NumberRule& rule) {
  int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
      value < rule.min || value > rule.max)
    return Format("\"%s\" takes a whole number from %d to %d.", rule.label, rule.min, rule.max);
  return "";
}

void ResultOptions::Load(const Config& config) {
  pageMarkup = config.pageMarkup == 1;
  useCats = config.useCats != 0;
  searchMultiCats = config.searchMultiCats != 0;
  spelling = config.spelling != 0;
  spellingWhenLessThan = std::to_string(config.spellingWhenLessThan);
  recommended = config.recommended != 0;
  recommendedMax = std::to_string(config.recommendedMax);
  useDateTime = config.useDateTime != 0;
  backoffFailures = std::to_string(config.nodeBackoffFailures);
  backoffSecs = std::to_string(config.nodeBackoffSecs);
  pageDeadlineMs = std::to_string(config.pageDeadlineMs);
}

std::string ResultOptions::Problem() const {
  if (spelling) {
    if (std::string problem = NumberProblem(spellingWhenLessThan, kSpellingThresholdRule);
        !problem.empty())
      return problem;
  }
  if (recommended) {
    if (std::string problem = NumberProblem(recommendedMax, kRecommendedMaxRule); !problem.empty())
      return problem;
  }
  for (const auto& [text, rule] : {std::pair{&backoffFailures, &kBackoffFailuresRule},
                                   {&backoffSecs, &kBackoffSecsRule},
                                   {&pageDeadlineMs, &kPageDeadlineRule}})
    if (std::string problem = NumberProblem(*text, *rule); !problem.empty()) return problem;
  return "";
}

void ResultOptions::Store(Config& config) const {
  config.pageMarkup = pageMarkup ? 1 : 0;
  config.useCats = useCats ? 1 : 0;
  config.searchMultiCats = searchMultiCats ? 1 : 0;
  config.spelling = spelling ? 1 : 0;
  // A switched-off feature keeps its number when it holds none that is usable.
  if (NumberProblem(spellingWhenLessThan, kSpellingThresholdRule).empty())
    config.spellingWhenLessThan = NumberOf(spellingWhenLessThan);
  config.recommended = recommended ? 1 : 0;
  if (NumberProblem(recommendedMax, kRecommendedMaxRule).empty())
    config.recommendedMax = NumberOf(recommendedMax);
  config.useDateTime = useDateTime ? 1 : 0;
  config.nodeBackoffFailures = NumberOf(backoffFailures);
  config.nodeBackoffSecs = NumberOf(backoffSecs);
  config.pageDeadlineMs = NumberOf(pageDeadlineMs);
}

bool ResultOptionsDiffer(const Config& a, const Config& b) {
  return a.pageMarkup != b.pageMarkup || a.useCats != b.useCats ||
         a.searchMultiCats != b.searchMultiCats || a.spelling != b.spelling ||
         a.spellingWhenLessThan != b.spellingWhenLessThan || a.recommended != b.recommended ||
         a.recommendedMax != b.recommendedMax || a.useDateTime != b.useDateTime ||
         a.nodeBackoffFailures != b.nodeBackoffFailures || a.nodeBackoffSecs != b.nodeBackoffSecs ||
         a.pageDeadlineMs != b.pageDeadlineMs;
}

}  // namespace quorix::panel
