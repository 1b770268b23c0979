// What one search request's components share, and the components themselves.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "config/settings.h"
#include "platform/log.h"
#include "search/page_output.h"
#include "search/query.h"
#include "search/search_steps.h"

namespace quorix {

// The page template's head and the category names, which the request's
// lifecycle handles before the search itself.
class PageResources {
 public:
  virtual ~PageResources() = default;
  // Writes the page template up to its marker line.
  virtual void WriteTemplateHead() = 0;
  // Loads the category names into config.categoryNames; switches categories off
  // (config.useCats = 0) when they cannot be loaded. Returns 0 or a failure code.
  virtual int LoadCategoryNames(Config& config) = 0;
};

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
  std::unique_ptr<PageResources> resources;
  std::unique_ptr<SearchFormStep> form;
  std::unique_ptr<ResultCacheStep> cache;
  std::unique_ptr<NodeQueryStep> nodes;
  std::unique_ptr<ResultsStep> results;
  std::unique_ptr<PageTailStep> tail;
  OutputRules rules;
};

using ComponentFactory = std::function<RequestComponents(RequestContext&)>;

// The program's components for a request.
RequestComponents MakeRequestComponents(RequestContext& context);

}  // namespace quorix
