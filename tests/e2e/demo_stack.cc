#include "tests/e2e/demo_stack.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

namespace quorix::e2e {
namespace {

namespace fs = std::filesystem;

const char* const kLighttpdCandidates[] = {"/usr/sbin/lighttpd", "/usr/bin/lighttpd"};

std::string FindLighttpd() {
  for (const char* path : kLighttpdCandidates)
    if (fs::exists(path)) return path;
  return "";
}

// A node started with port 0 writes the port it got into `portFile`.
int WaitForPortFile(const std::string& portFile, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    std::ifstream file(portFile);
    int port = 0;
    std::string line;
    if (std::getline(file, line) && !line.empty()) port = std::atoi(line.c_str());
    if (port > 0) return port;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return 0;
}

bool RunToEnd(const std::vector<std::string>& argv, const std::string& logFile) {
  ChildProcess child;
  if (!child.Start(argv, logFile)) return false;
  return child.Wait() == 0;
}

}  // namespace

std::vector<StackNode> BothDemoNodes() {
  return {{StackNode::Kind::kVexa, 0, false, "", ""},
          {StackNode::Kind::kOpenSearch, 0, false, "", ""}};
}

DemoStack::~DemoStack() {
  lighttpd_.Stop();
  for (auto& node : nodes_) node->Stop();
}

bool DemoStack::Start(const std::string& name, const std::vector<StackNode>& nodes, int timeoutMs,
                      std::string* error) {
  std::string lighttpd = FindLighttpd();
  if (lighttpd.empty()) {
    *error = "lighttpd is not installed (scripts/install-deps.sh installs it)";
    return false;
  }
  folder_ = std::string(E2E_ARTEFACT_DIR) + "/" + name;
  std::error_code ignored;
  fs::remove_all(folder_, ignored);
  fs::create_directories(folder_ + "/run");
  std::string source = QUORIX_SOURCE_DIR;
  std::vector<std::string> siteArgs = {QUORIX_DEMO_SITE, "--dir",        folder_ + "/site",
                                       "--quorix",       QUORIX_BINARY,  "--source",
                                       source,           "--timeout-ms", std::to_string(timeoutMs)};
  webPort_ = FreePort();
  if (debugMode_ >= 0)
    siteArgs.insert(siteArgs.end(),
                    {"--debug", std::to_string(debugMode_), "--debug-file", debugLog()});
  for (size_t i = 0; i < nodes.size(); ++i) {
    const StackNode& spec = nodes[i];
    if (!spec.vexaUrl.empty()) {
      siteArgs.insert(siteArgs.end(),
                      {"--vexa-url", spec.vexaUrl == kSelf ? SearchUrl() : spec.vexaUrl});
      continue;
    }
    bool vexa = spec.kind == StackNode::Kind::kVexa;
    std::string prefix = folder_ + "/run/node" + std::to_string(i);
    std::vector<std::string> argv = {
        vexa ? DEMO_VEXA_NODE : DEMO_OPENSEARCH_NODE,
        "--corpus",
        source + (vexa ? "/tools/demo/data/riverton.tsv" : "/tools/demo/data/magazine.tsv"),
        "--port",
        "0",
        "--port-file",
        prefix + ".port",
        "--request-log",
        prefix + ".requests"};
    if (spec.delayMs > 0) argv.insert(argv.end(), {"--delay-ms", std::to_string(spec.delayMs)});
    if (spec.garbage) argv.push_back("--garbage");
    if (!spec.redirectToSearch.empty())
      argv.insert(argv.end(), {"--redirect-to", "http://localhost:" + std::to_string(webPort_) +
                                                    spec.redirectToSearch});
    nodes_.push_back(std::make_unique<ChildProcess>());
    if (!nodes_.back()->Start(argv, prefix + ".out")) {
      *error = "cannot start node " + std::to_string(i);
      return false;
    }
    int port = WaitForPortFile(prefix + ".port", 10000);
    if (port == 0) {
      *error = "node " + std::to_string(i) + " did not start; see " + prefix + ".out";
      return false;
    }
    siteArgs.insert(siteArgs.end(),
                    {vexa ? "--vexa-port" : "--opensearch-port", std::to_string(port)});
  }
  siteArgs.insert(siteArgs.end(), {"--web-port", std::to_string(webPort_)});
  if (fastCgi_) siteArgs.push_back("--fastcgi");
  siteArgs.insert(siteArgs.end(), {"--page-markup", std::to_string(pageMarkup_)});
  if (pageDeadlineMs_ > 0)
    siteArgs.insert(siteArgs.end(), {"--page-deadline-ms", std::to_string(pageDeadlineMs_)});
  if (!RunToEnd(siteArgs, folder_ + "/run/demo_site.out")) {
    *error = "quorix_demo_site failed; see " + folder_ + "/run/demo_site.out";
    return false;
  }
  if (!lighttpd_.Start({lighttpd, "-D", "-f", folder_ + "/site/lighttpd.conf"},
                       folder_ + "/run/lighttpd.out") ||
      !WaitForPort(webPort_, 10000)) {
    *error = "lighttpd did not start; see " + folder_ + "/run/lighttpd.out";
    return false;
  }
  return true;
}

std::string DemoStack::BaseUrl() const { return "http://127.0.0.1:" + std::to_string(webPort_); }

bool DemoStack::Get(const std::string& target, std::string* body, long* status) const {
  return HttpGet(webPort_, target, body, status);
}

std::vector<std::string> DemoStack::SearchLog() const {
  return ReadLines(folder_ + "/site/logs/searchwords.log");
}

std::string DemoStack::NodeUrl(size_t index) const {
  const std::string portFile = folder_ + "/run/node" + std::to_string(index) + ".port";
  return "http://127.0.0.1:" + std::to_string(WaitForPortFile(portFile, 1000)) + "/search.cgi";
}

std::vector<std::string> DemoStack::NodeRequests(size_t index) const {
  return ReadLines(folder_ + "/run/node" + std::to_string(index) + ".requests");
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream file(path);
  std::string line;
  while (std::getline(file, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::string TargetFromHref(const std::string& href) {
  std::string target = "/quorix.cgi" + href;
  for (size_t at = target.find("&amp;"); at != std::string::npos; at = target.find("&amp;", at))
    target.replace(at, 5, "&");
  return target;
}

std::vector<std::string> LinksWithText(const std::string& page, const std::string& text) {
  static const std::regex kLink("<a href=\"([^\"]*)\"[^>]*>([^<]*)</a>");
  std::vector<std::string> hrefs;
  for (auto it = std::sregex_iterator(page.begin(), page.end(), kLink);
       it != std::sregex_iterator(); ++it)
    if ((*it)[2] == text) hrefs.push_back((*it)[1]);
  return hrefs;
}

std::string TestName() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  std::replace(name.begin(), name.end(), '/', '_');
  return name;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

}  // namespace quorix::e2e
