#include "search/request/check_command.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <mutex>

#include "config/category_names.h"
#include "config/lang_keys.h"
#include "config/page_template.h"
#include "config/settings_reader.h"
#include "config/store_settings.h"
#include "nodequery/dispatch.h"
#include "platform/ip_ranges.h"
#include "platform/text.h"
#include "search/answers/answers.h"
#include "search/page/page.h"
#include "search/pipeline/pipeline.h"

namespace quorix {
namespace {

constexpr const char* kSettingsFile = "settings.qxdat";

// Keeps the error and warning lines of what it is given to run.
class FindingLog : public LogSink {
 public:
  FindingLog(std::vector<CheckFinding>& findings, std::string file)
      : findings_(findings), file_(std::move(file)) {}
  void Write(int level, std::string_view line) override {
    if (level != kLogError && level != kLogWarning) return;
    std::lock_guard<std::mutex> lock(mutex_);
    findings_.push_back({level == kLogError, file_, std::string(line)});
  }
  bool Keeps(int level) const override { return level == kLogError || level == kLogWarning; }

 private:
  std::mutex mutex_;
  std::vector<CheckFinding>& findings_;
  std::string file_;
};

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// A folder the program writes into, or creates when its parent allows.
void CheckWritableFolder(const std::string& folder, const std::string& name,
                         std::vector<CheckFinding>& out) {
  const std::string path = folder + "/" + name;
  if (IsDirectory(path)) {
    if (access(path.c_str(), W_OK | X_OK) != 0)
      out.push_back({true, name + "/", "cannot be written by this user"});
  } else if (access(path.c_str(), F_OK) == 0) {
    out.push_back({true, name + "/", "is not a folder"});
  } else if (access(folder.c_str(), W_OK | X_OK) != 0) {
    out.push_back({true, name + "/", "is missing and the site folder cannot be written"});
  }
}

// A log file named by the settings: it is appended to, or created in its folder.
void CheckLogFile(const std::string& folder, const std::string& key, const std::string& name,
                  std::vector<CheckFinding>& out) {
  if (name.empty()) return;
  const std::string path = name.front() == '/' ? name : folder + "/" + name;
  const size_t slash = path.rfind('/');
  const std::string parent = slash == 0 ? "/" : path.substr(0, slash);
  const bool exists = access(path.c_str(), F_OK) == 0;
  if (exists ? access(path.c_str(), W_OK) != 0 : access(parent.c_str(), W_OK | X_OK) != 0)
    out.push_back({true, name, key + " cannot be written by this user"});
}

void CheckTemplate(const std::string& folder, std::vector<CheckFinding>& out) {
  std::ifstream in(folder + "/" + std::string(kTemplateFileName));
  if (!in) {
    out.push_back({true, std::string(kTemplateFileName), "cannot be read"});
    return;
  }
  for (std::string line; std::getline(in, line);)
    if (FindMarker(line)) return;
  out.push_back({false, std::string(kTemplateFileName),
                 "has no <!--VEXASEARCH--> line: the results follow the whole template"});
}

void CheckNodes(const Config& config, std::vector<CheckFinding>& out) {
  int enabled = 0;
  for (int i = 0; i < std::min(config.nodeCount, kMaxNodes); ++i) {
    const NodeRecord& node = config.nodes[i];
    if (node.disabled) continue;
    ++enabled;
    const std::string key = "NODE" + std::to_string(i);
    const std::string& host = IsOpenSearchNode(node) ? node.osDescHost : node.vexaHost;
    if (host.empty())
      out.push_back({true, kSettingsFile,
                     key + (IsOpenSearchNode(node) ? "_OS_DESC_URL" : "_VEXA_URL") +
                         " has no host: the node cannot be asked"});
    if (node.timeoutMs <= 0)
      out.push_back(
          {true, kSettingsFile, key + "_TIMEOUT_MS is not above 0: the node is never asked"});
  }
  if (enabled == 0)
    out.push_back({false, kSettingsFile, "no node is enabled: every search is empty"});
}

// Values the program would not use as written.
void CheckReplacedValues(const Config& config, std::vector<CheckFinding>& out) {
  auto warn = [&](const std::string& reason) { out.push_back({false, kSettingsFile, reason}); };
  if (config.nodeBackoffFailures < 1) warn("NodeBackoffFailures below 1 is taken as 1");
  if (config.debugMode < 0 || config.debugMode > 2)
    warn(Format("DEBUG %d is neither 0, 1 nor 2", config.debugMode));
  if (config.overRequestFactor < 1)
    warn(Format("INT_OVER_REQUEST_FACTOR %d asks the nodes for no item", config.overRequestFactor));
  if (config.cacheValidPeriodMins < 0)
    warn("INT_CACHE_VALID_PERIOD_MINS below 0: every cache file counts as expired");
  if (!config.publicBaseUrl.empty() && !UsablePublicBaseUrl(config.publicBaseUrl))
    warn("PublicBaseUrl is not an http or https address without a query: not used");
  for (int i = 0; i < kLangStringCount; ++i)
    if (i != kStrCatSummary && config.langStrings[i].empty() && DefaultPageText(i).empty())
      warn(std::string(kLangKeys[i]) + " is missing: the page shows nothing in its place");
}

// A page deadline that can never pass before the nodes are done.
void CheckPageDeadline(const Config& config, std::vector<CheckFinding>& out) {
  if (config.pageDeadlineMs <= 0) return;
  auto warn = [&](const std::string& reason) { out.push_back({false, kSettingsFile, reason}); };
  if (config.cacheValidPeriodMins == 0) {
    warn(
        "PageDeadlineMs has no effect with INT_CACHE_VALID_PERIOD_MINS = 0: late answers can "
        "only be kept in the cache, so every node is waited for");
    return;
  }
  int32_t longest = 0;
  for (int i = 0; i < std::min(config.nodeCount, kMaxNodes); ++i)
    if (!config.nodes[i].disabled) longest = std::max(longest, config.nodes[i].timeoutMs);
  if (longest > 0 && config.pageDeadlineMs >= longest)
    warn(
        Format("PageDeadlineMs %d is not below any node's time-out (at most %d ms): the page "
               "always waits for every node",
               config.pageDeadlineMs, longest));
}

void AskNodes(const Config& config, std::vector<CheckFinding>& out) {
  NodeQueryRequest request;
  request.escapedQuery = "test";
  NodeResults results;
  FindingLog log(out, kSettingsFile);
  PerformVexaQuery(config, request, 10, results, log);
  for (int i = 0; i < std::min(config.nodeCount, kMaxNodes); ++i) {
    std::string line;
    int level = kLogError;
    if (!config.nodes[i].disabled && NodeStatusLine(i, results.status[i], line, level))
      out.push_back({level == kLogError, kSettingsFile, line});
  }
}

// The shared store answers, and the visitor limit's settings can be used.
void CheckSharedStore(const std::string& folder, const Config& config,
                      std::vector<CheckFinding>& out) {
  std::string why;
  if (!ValidAddressRanges(config.trustedProxies, &why))
    out.push_back({true, kSettingsFile, "TrustedProxies: " + why});
  if (config.rateLimitPerMinute < 0)
    out.push_back({false, kSettingsFile, "RateLimitPerMinute below 0: no limit"});
  if (config.sharedStore.empty()) return;
  StoreSettings settings;
  if (!StoreSettingsOf(config, folder, &settings, &why)) {
    out.push_back({true, kSettingsFile, why});
    return;
  }
  StoreConnection connection;
  connection.BeginRequest(settings);
  if (!connection.Ping(&why))
    out.push_back({true, kSettingsFile, "SharedStore does not answer PING: " + why});
}

}  // namespace

std::vector<CheckFinding> CheckSite(const std::string& folder, bool askNodes) {
  std::vector<CheckFinding> findings;
  Config config;
  {
    FindingLog log(findings, kSettingsFile);
    if (!LoadConfig(folder + "/" + kSettingsFile, config, log, -1, QueryDump())) return findings;
  }
  CheckTemplate(folder, findings);
  if (config.useCats == 1) {
    if (LoadCategoryNames(folder, config) != 0)
      findings.push_back({true, "vexa_cats.qxdat", "cannot be read to its end"});
    else if (config.useCats != 1)
      findings.push_back({false, "vexa_cats.qxdat",
                          "cannot be read: UseCats = 1 is taken as 0, no categories are shown"});
  }
  CheckWritableFolder(folder, "cache", findings);
  if (config.logging) CheckLogFile(folder, "LogFileName", config.logFileName, findings);
  if (config.debugLogging) CheckLogFile(folder, "DebugFileName", config.debugFileName, findings);
  CheckNodes(config, findings);
  CheckReplacedValues(config, findings);
  CheckPageDeadline(config, findings);
  CheckSharedStore(folder, config, findings);
  if (askNodes) AskNodes(config, findings);
  return findings;
}

int RunCheckCommand(const std::string& folder, bool askNodes, std::FILE* out) {
  int errors = 0;
  const std::vector<CheckFinding> findings = CheckSite(folder, askNodes);
  for (const CheckFinding& finding : findings) {
    errors += finding.error ? 1 : 0;
    std::fprintf(out, "%s: %s/%s: %s\n", finding.error ? "error" : "warning", folder.c_str(),
                 finding.file.c_str(), finding.reason.c_str());
  }
  std::fprintf(out, "%d error(s), %d warning(s) in %s\n", errors,
               static_cast<int>(findings.size()) - errors, folder.c_str());
  return errors > 0 ? 1 : 0;
}

}  // namespace quorix
