// What one search request's components share, and the components themselves.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "config/settings.h"
#include "platform/log.h"
#include "search/answers/answers.h"
#include "search/page/page.h"
#include "search/pipeline/pipeline.h"
#include "search/store/site_store.h"

namespace quorix {

// The state of one request, created before the components and living until the
// request ends. Components keep references to what they need. The settings
// are read once the components exist and do not change during the search.
struct RequestContext {
  PageOutput& page;
  LogSink& log;
  const Config& config;
  const VexaQuery& query;
  const TermList& terms;
  const std::string& programDir;  // directory of the program and its data files
};

// The components that carry out a request's steps.
struct RequestComponents {
  std::unique_ptr<SiteStore> store;  // first: the cache and the node queries use it
  std::unique_ptr<PageResources> resources;
  std::unique_ptr<SearchFormStep> form;
  std::unique_ptr<ResultCacheStep> cache;
  std::unique_ptr<NodeQueryStep> nodes;
  std::unique_ptr<ResultsStep> results;
  std::unique_ptr<PageTailStep> tail;
  OutputRules rules;
};

using ComponentFactory = std::function<RequestComponents(RequestContext&)>;

// The program's components for a request answered with the results page.
RequestComponents MakeRequestComponents(RequestContext& context);

// The components for a machine-readable answer in `format` (kRss or kJson):
// the node queries and the cache of the results page, the answer's own output.
RequestComponents MakeAnswerComponents(RequestContext& context, AnswerFormat format);

}  // namespace quorix
