// A running demo deployment for one test: demo nodes, a site folder written by
// quorix_demo_site, and lighttpd serving it on 127.0.0.1. Everything stops when
// the object goes; the folder stays under the artefact directory for inspection.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/child_process.h"

namespace quorix::e2e {

struct StackNode {
  enum class Kind { kVexa, kOpenSearch };
  Kind kind = Kind::kVexa;
  int delayMs = 0;       // the node waits this long before answering
  bool garbage = false;  // the node answers an HTML error page instead of RSS
  // A Vexa node already running at this address (another Quorix, say) instead
  // of a demo node; kSelf is this stack's own search.
  std::string vexaUrl;
  // An OpenSearch node that answers every search with a redirect to this target
  // on the stack's own web server, reached as "localhost" rather than 127.0.0.1.
  std::string redirectToSearch;
};
inline constexpr const char* kSelf = "self";

// The usual pair: the town council Vexa node and the magazine OpenSearch node.
std::vector<StackNode> BothDemoNodes();

class DemoStack {
 public:
  DemoStack() = default;
  DemoStack(const DemoStack&) = delete;
  DemoStack& operator=(const DemoStack&) = delete;
  ~DemoStack();

  // Starts `nodes` (numbered in this order on the site), writes the site with
  // every node's time-out set to `timeoutMs`, and starts lighttpd. `name` names
  // the folder under the artefact directory (emptied first). False with `error`
  // set when any part does not come up.
  bool Start(const std::string& name, const std::vector<StackNode>& nodes, int timeoutMs,
             std::string* error);
  // Before Start: the settings' DEBUG, with every diagnostics line in debugLog().
  void SetDebug(int mode) { debugMode_ = mode; }
  std::string debugLog() const { return folder_ + "/site/logs/debug.log"; }
  // The address of the search itself.
  std::string SearchUrl() const { return BaseUrl() + "/quorix.cgi"; }

  // Before Start: lighttpd keeps one quorix FastCGI process instead of
  // running it as a CGI per request.
  void SetFastCgi(bool on) { fastCgi_ = on; }
  // Before Start: the settings' PageMarkup (the demo writes 1).
  void SetPageMarkup(int markup) { pageMarkup_ = markup; }
  // Before Start: the settings' PageDeadlineMs (0: left out).
  void SetPageDeadline(int ms) { pageDeadlineMs_ = ms; }

  int webPort() const { return webPort_; }
  std::string BaseUrl() const;
  const std::string& folder() const { return folder_; }

  // GET of `target` (for example "/quorix.cgi?vexa_query=x") from lighttpd.
  bool Get(const std::string& target, std::string* body, long* status = nullptr) const;
  // Lines of the search log, in order.
  std::vector<std::string> SearchLog() const;
  // The address of node `index`, a Vexa demo node this stack started.
  std::string NodeUrl(size_t index) const;
  // The request targets node `index` received, in order.
  std::vector<std::string> NodeRequests(size_t index) const;

 private:
  std::string folder_;
  int webPort_ = 0;
  bool fastCgi_ = false;
  int pageMarkup_ = 1;
  int pageDeadlineMs_ = 0;
  int debugMode_ = -1;
  std::vector<std::unique_ptr<ChildProcess>> nodes_;
  ChildProcess lighttpd_;
};

// Lines of a text file (none when it cannot be read).
std::vector<std::string> ReadLines(const std::string& path);

// Turns an href as written in the page ("?a=1&amp;b=2") into a request target
// on the CGI ("/quorix.cgi?a=1&b=2").
std::string TargetFromHref(const std::string& href);

// "Suite.Name" of the running test, usable as a folder name.
std::string TestName();
// True when `text` holds `part`.
bool Contains(const std::string& text, const std::string& part);

// The hrefs of the page links whose text is exactly `text`.
std::vector<std::string> LinksWithText(const std::string& page, const std::string& text);

}  // namespace quorix::e2e
