#include "search/request/visitor_limit.h"

#include "config/lang_keys.h"
#include "config/page_template.h"
#include "config/settings_reader.h"
#include "platform/ip_ranges.h"
#include "search/cache/cache.h"
#include "search/page/page.h"
#include "search/request/answer_requests.h"
#include "search/store/site_store.h"

namespace quorix {
namespace {

constexpr int32_t kWindowSecs = 60;

bool ReadQuietly(const std::string& settingsPath, Config* config) {
  NullLog quiet;
  return LoadConfig(settingsPath, *config, quiet, -1, QueryDump());
}

}  // namespace

VisitorLimit CheckVisitorLimit(const std::string& settingsPath, const std::string& programDir,
                               const CgiEnvironment& environment, const VexaQuery& query,
                               const QueryPreparation& prepare, int64_t now) {
  VisitorLimit limit;
  if (query.rawQuery.empty()) return limit;  // nothing is searched
  Config config;
  if (!ReadQuietly(settingsPath, &config) || config.rateLimitPerMinute <= 0) return limit;
  std::string visitor =
      VisitorKey(EnvironmentValue(environment, "REMOTE_ADDR"),
                 EnvironmentValue(environment, "HTTP_X_FORWARDED_FOR"), config.trustedProxies);
  if (visitor.empty()) return limit;
  NullLog quiet;  // the search reports a store that fails, once
  VexaQuery forms = query;
  prepare(config, forms);
  SiteStore site(programDir, config, quiet);
  CCache cache(programDir, config, forms, quiet, [&site] { return site.shared(); });
  // The cache answers, or a search being completed will: free. So the
  // page's script asking for the rest is not counted as more searches.
  if (cache.Holds(forms) || (config.pageDeadlineMs > 0 && cache.HoldsPartial(forms))) return limit;
  int64_t count = 0;
  if (site.store().CountInWindow("visitor:" + visitor, kWindowSecs, now, &count, quiet) != kOk)
    return limit;
  limit.over = count > config.rateLimitPerMinute;
  limit.retryAfterSecs = kWindowSecs - now % kWindowSecs;
  return limit;
}

void WriteOverLimitAnswer(AnswerFormat format, const std::string& settingsPath,
                          const std::string& programDir, const VexaQuery& query,
                          const VisitorLimit& limit, PageOutput& page) {
  Config config;
  ReadQuietly(settingsPath, &config);
  std::string text = config.langStrings[kStrTooManySearches];
  if (text.empty()) text = DefaultPageText(kStrTooManySearches);
  page.Printf("Status: 429 Too Many Requests\nRetry-After: %lld\n",
              static_cast<long long>(limit.retryAfterSecs));
  WriteAnswerHeader(format, page);
  if (format != AnswerFormat::kHtml) {
    page.Write(FailedAnswer(format, query, config, text));
    return;
  }
  PageTemplate pageTemplate;
  pageTemplate.Open(programDir);
  PageSink sink = [&page](std::string_view bytes) { page.Write(bytes); };
  pageTemplate.WriteHead(sink);
  page.Printf("<p class=\"too_many_searches\">%s</p>\n", text.c_str());
  pageTemplate.WriteTail(sink);
}

}  // namespace quorix
