#include "search/request/cgi_main.h"

#include <algorithm>

#include "config/category_names.h"
#include "config/settings_reader.h"
#include "platform/clock.h"
#include "platform/program_dir.h"
#include "platform/text.h"
#include "search/pipeline/pipeline.h"
#include "search/request/answer_requests.h"
#include "search/request/cgi_form.h"
#include "search/request/diag_log.h"
#include "search/request/site_metrics.h"
#include "search/request/visitor_limit.h"

namespace quorix {
namespace {

constexpr const char* kSettingsFileName = "settings.qxdat";
constexpr const char* kCategoryParameter = "vexa_cat%5B%5D";

// An integer parameter, or `fallback` when it is absent or invalid.
int32_t IntParameter(FormList& form, const char* name, int32_t fallback) {
  int32_t value = 0;
  return form.GetIntValue(name, value) == kCgiOk ? value : fallback;
}

// The request values that come straight from the form.
struct RequestValues {
  int32_t matchAll = -1;  // -1: absent or invalid, the settings decide
  int32_t debugOverride = -1;
};

RequestValues ReadRequestValues(FormList& form, int32_t maxPerPage, VexaQuery& query) {
  RequestValues values;
  std::optional<std::string_view> raw = form.FindValue("vexa_query");
  query.queryPresent = raw.has_value();
  query.rawQuery = raw ? CutBytes(RepairUtf8(*raw), kRawQueryMaxBytes) : std::string();
  query.itemsPerPage = std::min(IntParameter(form, "vexa_per_page", 10), maxPerPage);
  query.currentPageNum = IntParameter(form, "vexa_page", 1);
  values.matchAll = IntParameter(form, "vexa_and", -1);
  query.sortDate = IntParameter(form, "vexa_sort", 0) != 0;
  query.nodeFilter = IntParameter(form, "vexa_node", -1);
  if (query.nodeFilter < 0 || query.nodeFilter >= kMaxNodes) query.nodeFilter = -1;
  return values;
}

QueryDump DumpOf(const VexaQuery& query) {
  QueryDump dump;
  dump.sortDate = query.sortDate;
  dump.currentPageNum = query.currentPageNum;
  dump.itemsPerPage = query.itemsPerPage;
  dump.wordMatchAll = query.wordMatchAll;
  dump.queryOut = query.rawQuery;  // plain: the log escapes its lines for the page
  dump.cat = query.cat;
  return dump;
}

void ReadSelectedCategories(FormList& form, const Config& config, VexaQuery& query) {
  size_t capacity = std::max<size_t>(1, config.categoryNames.size());
  if (form.GetIntValues(kCategoryParameter, query.cat, capacity) != kCgiOk) query.cat = {-1};
}

// Applies the settings to the request: AND/OR when the request left it open,
// and the selected categories when categories are in use.
// Returns false when the category names file could not be read back from its
// start, after which the request ends with exit status 1.
bool ApplySettingsToRequest(FormList& form, const RequestValues& values, Config& config,
                            PageResources& resources, VexaQuery& query) {
  if (values.matchAll == -1) query.wordMatchAll = config.defaultToAnd != 0;
  if (config.useCats == 1 && resources.LoadCategoryNames(config) == kCategoryNamesSeekFailed)
    return false;
  if (config.useCats == 1) ReadSelectedCategories(form, config, query);
  return true;
}

// The same for a copy of the query that only needs its cache name: the
// category names are read straight from their file.
void PrepareCachedQuery(FormList& form, const RequestValues& values, const std::string& programDir,
                        Config& config, VexaQuery& query) {
  if (values.matchAll == -1) query.wordMatchAll = config.defaultToAnd != 0;
  if (config.useCats == 1 && LoadCategoryNames(programDir, config) == 0 && config.useCats == 1)
    ReadSelectedCategories(form, config, query);
}

// Decodes the request's form from the environment and `input` (the POST body).
bool ReadRequestForm(const CgiEnvironment& environment, std::istream& input, FormList& form) {
  CgiRequest request{EnvironmentValue(environment, "REQUEST_METHOD"),
                     EnvironmentValue(environment, "CONTENT_TYPE"),
                     EnvironmentValue(environment, "CONTENT_LENGTH"),
                     EnvironmentValue(environment, "QUERY_STRING")};
  BodyReader readBody = [&input](char* buffer, size_t size) {
    input.read(buffer, static_cast<std::streamsize>(size));
    return static_cast<size_t>(input.gcount());
  };
  return ReadForm(request, readBody, form) == kCgiOk;
}

// The query record from the environment and the form.
RequestValues ReadRequest(const CgiEnvironment& environment, FormList& form, bool html,
                          VexaQuery& query) {
  query.startTicks = NowTicks();
  query.clientAddress = EnvironmentValue(environment, "REMOTE_ADDR");
  query.arrivedHops = ReadHopCount(EnvironmentValue(environment, "HTTP_X_QUORIX_HOPS"));
  query.selfHost = EnvironmentValue(environment, "HTTP_HOST");
  query.selfPath = EnvironmentValue(environment, "SCRIPT_NAME");
  return ReadRequestValues(form, html ? kMaxItemsPerPage : kMaxAnswerItemsPerPage, query);
}

// The query's terms, and its escaped forms in the query record.
TermList PrepareQuery(VexaQuery& query, const RequestValues& values, LogSink& log) {
  TermList terms = BuildTermList(query.rawQuery);
  FillQueryForms(query, log);
  query.wordMatchAll = values.matchAll != 0;
  query.nodeStartPage.fill(1);
  return terms;
}

// Answers a request over the visitor limit (true) before anything else is written.
bool AnsweredOverLimit(AnswerFormat format, const std::string& settingsPath,
                       const std::string& programDir, const CgiEnvironment& environment,
                       FormList& form, const RequestValues& values, const VexaQuery& query,
                       PageOutput& page) {
  auto prepare = [&](Config& settings, VexaQuery& copy) {
    NullLog quiet;
    PrepareQuery(copy, values, quiet);
    PrepareCachedQuery(form, values, programDir, settings, copy);
  };
  VisitorLimit limit =
      CheckVisitorLimit(settingsPath, programDir, environment, query, prepare, CalendarSeconds());
  if (!limit.over) return false;
  WriteOverLimitAnswer(format, settingsPath, programDir, query, limit, page);
  page.Flush();
  return true;
}

}  // namespace

std::string EnvironmentValue(const CgiEnvironment& environment, const char* name) {
  auto found = environment.find(name);
  return found == environment.end() ? std::string() : found->second;
}

CgiEnvironment ReadCgiEnvironment(const std::function<const char*(const char*)>& lookup) {
  CgiEnvironment environment;
  for (const char* name :
       {"REQUEST_METHOD", "CONTENT_TYPE", "CONTENT_LENGTH", "QUERY_STRING", "REMOTE_ADDR", "HTTPS",
        "HTTP_HOST", "SCRIPT_NAME", "HTTP_X_QUORIX_HOPS", "HTTP_X_FORWARDED_FOR"}) {
    if (const char* value = lookup(name)) environment[name] = value;
  }
  return environment;
}

int RunCgi(const char* argv0, const CgiEnvironment& environment, std::istream& input,
           PageOutput& page, const ComponentFactory& makeComponents,
           std::unique_ptr<LateCompletion>* late) {
  const std::string programDir = ProgramDir(argv0);
  FormList form;
  if (!ReadRequestForm(environment, input, form)) {
    page.Printf("Content-type: %s\n\n", "text/html");
    page.Printf("<H3>%s</H3>%c", CgiErrorText(form.status()), '\n');
    return 1;
  }
  std::string settingsPath = Format("%s/%s", programDir.c_str(), kSettingsFileName);
  const AnswerFormat format = RequestedAnswerFormat(form);
  const bool html = format == AnswerFormat::kHtml;
  if (format == AnswerFormat::kOpenSearch)
    return AnswerOpenSearchDescription(settingsPath, environment, page);
  if (format == AnswerFormat::kMetrics)
    return AnswerMetrics(settingsPath, programDir, environment, page);
  if (format == AnswerFormat::kHealth) return AnswerHealth(settingsPath, programDir, page);

  Config config;
  DiagLog log(page, config);
  if (!html) log.KeepOffPage();
  VexaQuery query;
  RequestValues values = ReadRequest(environment, form, html, query);
  if (AnsweredOverLimit(format, settingsPath, programDir, environment, form, values, query, page))
    return 0;
  WriteAnswerHeader(format, page);
  if (html) page.Printf("<!--Vexa Search Engine %s-->\n", "");
  TermList terms = PrepareQuery(query, values, log);
  values.debugOverride = IntParameter(form, "vexa_debug", -1);

  RequestContext context{page, log, config, query, terms, programDir};
  RequestComponents components =
      html ? makeComponents(context) : MakeAnswerComponents(context, format);

  if (!LoadConfig(settingsPath, config, log, values.debugOverride, DumpOf(query))) {
    page.Write(html ? std::string("settings.qxdat file not found!<br>")
                    : FailedAnswer(format, query, config, "settings.qxdat file not found!"));
    page.Flush();
    return 0;
  }
  components.resources->WriteTemplateHead();
  if (!ApplySettingsToRequest(form, values, config, *components.resources, query)) {
    if (!html) page.Write(FailedAnswer(format, query, config, "Error seeking in file."));
    page.Flush();
    return html ? 1 : 0;
  }
  CountSearchRequest(components, OpenSiteCounters(programDir, log), format);

  std::unique_ptr<LateCompletion> completion;
  auto handOff = [&](PendingSearch&& pending) {
    completion.reset(
        new LateCompletion{config, query, components.rules, programDir, std::move(pending)});
  };
  SearchSteps steps{*components.form, *components.cache, *components.nodes, *components.results,
                    *components.tail, nullptr,           components.rules,  handOff};
  PerformSearchRequest(query, config, steps, log);
  page.Flush();
  if (completion && late)
    *late = std::move(completion);
  else if (completion)
    RunLateCompletion(*completion);
  return 0;
}

}  // namespace quorix
