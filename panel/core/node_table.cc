#include "panel/core/node_table.h"

#include <algorithm>

#include "platform/int_parse.h"
#include "platform/text.h"

namespace quorix::panel {

std::string JoinUrl(const std::string& scheme, const std::string& host, const std::string& path) {
  return scheme + "://" + host + path;
}

std::vector<NodeRow> FillNodeList(Config& config) {
  std::vector<NodeRow> rows;
  int kept = 0;
  for (int slot = 0; slot < kMaxNodes; ++slot) {
    if (config.nodes[slot].timeoutMs <= 0) continue;
    if (slot != kept) {
      config.nodes[kept] = std::move(config.nodes[slot]);
      config.nodes[slot] = NodeRecord{};
    }
    ++kept;
  }
  for (int slot = kept; slot < kMaxNodes; ++slot)
    if (config.nodes[slot].timeoutMs <= 0) config.nodes[slot] = NodeRecord{};
  config.nodeCount = kept;

  for (int slot = 0; slot < kept; ++slot) {
    const NodeRecord& node = config.nodes[slot];
    NodeRow row;
    row.label = std::to_string(slot) + (IsOpenSearchNode(node) ? " (OpenSearch)" : " (Vexa)");
    bool hasDescription = !node.osDescHost.empty() && !node.osDescPath.empty();
    if (IsOpenSearchNode(node) || hasDescription)
      row.url = JoinUrl(node.osDescScheme, node.osDescHost, node.osDescPath);
    else
      row.url = JoinUrl(node.vexaScheme, node.vexaHost, node.vexaPath);
    row.timeout = std::to_string(node.timeoutMs);
    row.disabled = node.disabled;
    rows.push_back(std::move(row));
  }
  return rows;
}

bool RemoveNodes(Config& config, const std::vector<int>& rows) {
  for (int row : rows)
    if (row >= 0 && row < kMaxNodes) config.nodes[row] = NodeRecord{};
  FillNodeList(config);
  return !rows.empty();
}

bool SetNodesDisabled(Config& config, const std::vector<int>& rows, bool disabled) {
  for (int row : rows)
    if (row >= 0 && row < config.nodeCount) config.nodes[row].disabled = disabled;
  return !rows.empty();
}

// The node table changed: the last verification no longer describes it. The
// per-slot results are dropped too, since removing nodes moves the others to
// other slots.
void ForgetVerification(PanelSession& session) {
  session.flags.unsaved = true;
  session.flags.verified = false;
  session.flags.verifyPassed = false;
  session.verifyStatus.fill(kNodeNotRun);
}

void RemoveSelectedNodes(PanelSession& session, const std::vector<int>& rows) {
  if (RemoveNodes(session.work, rows)) ForgetVerification(session);
}

void SetSelectedNodesDisabled(PanelSession& session, const std::vector<int>& rows, bool disabled) {
  if (SetNodesDisabled(session.work, rows, disabled)) ForgetVerification(session);
}

bool ValidateNodeUrl(std::string_view text, NodeUrlKind kind, SplitUrl& parts) {
  if (!CanonicaliseAndSplitUrl(CutUtf16(text, kUrlCanonicalMax), parts)) return false;
  if (parts.scheme != "http" && parts.scheme != "https") return false;
  if (parts.host.size() < 3) return false;
  size_t slash = parts.path.find_last_of('/');
  if (slash == std::string::npos) return false;
  std::string_view last = std::string_view(parts.path).substr(slash);
  if (last.size() < 2) return false;
  if (kind == NodeUrlKind::kDescription) return true;
  size_t dot = last.find_last_of('.');
  if (dot == std::string_view::npos) return false;
  std::string_view extension = last.substr(dot);
  return extension == ".cgi" || extension == ".exe";
}

std::string NodeUrlProblem(std::string_view text, NodeUrlKind kind) {
  SplitUrl parts;
  if (ValidateNodeUrl(text, kind, parts)) return "";
  if (text.empty()) return "Required";
  if (!CanonicaliseAndSplitUrl(CutUtf16(text, kUrlCanonicalMax), parts)) return "Not a URL";
  if (parts.scheme != "http" && parts.scheme != "https")
    return "Must start with http:// or https://";
  if (parts.host.size() < 3) return "Host name too short";
  size_t slash = parts.path.find_last_of('/');
  if (slash == std::string::npos || parts.path.size() - slash < 2) return "Path missing";
  return "Path must end in .cgi or .exe";
}

int64_t LeadingInteger64(std::string_view text) {
  int64_t value = 0;
  ParseLeadingInt64(text, value);
  return value;
}

bool ParseTimeout(std::string_view text, int32_t& timeoutMs) {
  int64_t value = LeadingInteger64(CutUtf16(text, 254));
  if (value < 1 || value > kMaxTimeoutMs) return false;
  timeoutMs = static_cast<int32_t>(value);
  return true;
}

int FindDuplicateNode(const Config& config, int slot, bool openSearch, int from) {
  const NodeRecord& edited = config.nodes[slot];
  for (int i = std::max(from, 0); i < config.nodeCount && i < kMaxNodes; ++i) {
    if (i == slot) continue;
    const NodeRecord& other = config.nodes[i];
    // Ports take no part, as schemes do not.
    bool same = openSearch
                    ? HostWithoutPort(other.osDescHost) == HostWithoutPort(edited.osDescHost) &&
                          other.osDescPath == edited.osDescPath
                    : HostWithoutPort(other.vexaHost) == HostWithoutPort(edited.vexaHost) &&
                          other.vexaPath == edited.vexaPath;
    if (same) return i;
  }
  return -1;
}

bool SettingsDiffer(const Config& a, const Config& b) {
  if (a.nodeCount != b.nodeCount) return true;
  for (int i = 0; i < a.nodeCount && i < kMaxNodes; ++i) {
    const NodeRecord& x = a.nodes[i];
    const NodeRecord& y = b.nodes[i];
    if (x.disabled != y.disabled || x.type != y.type || x.osDescHost != y.osDescHost ||
        x.osDescPath != y.osDescPath || x.vexaHost != y.vexaHost || x.vexaPath != y.vexaPath ||
        x.timeoutMs != y.timeoutMs)
      return true;
  }
  return a.overRequestFactor != b.overRequestFactor ||
         a.cacheValidPeriodMins != b.cacheValidPeriodMins || a.formFormat != b.formFormat ||
         a.defaultToAnd != b.defaultToAnd || a.showSearchTime != b.showSearchTime ||
         a.showVexaInfo != b.showVexaInfo || a.templateFilename != b.templateFilename ||
         a.languageFileName != b.languageFileName || a.logging != b.logging ||
         a.logFileName != b.logFileName || a.debugLogging != b.debugLogging ||
         a.debugFileName != b.debugFileName;
}

}  // namespace quorix::panel
