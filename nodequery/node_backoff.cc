#include "nodequery/node_backoff.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <climits>
#include <cstring>
#include <sstream>

#include "platform/text.h"

namespace quorix {
namespace {

// Closes the descriptor (and so drops its flock) when it goes.
class LockedFile {
 public:
  explicit LockedFile(int fd) : fd_(fd) {}
  ~LockedFile() {
    if (fd_ >= 0) close(fd_);
  }
  LockedFile(const LockedFile&) = delete;
  LockedFile& operator=(const LockedFile&) = delete;

 private:
  int fd_;
};

bool ReadFileText(const std::string& path, std::string& text) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT;
  char buffer[4096];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
    if (n > 0) text.append(buffer, static_cast<size_t>(n));
  close(fd);
  return n == 0;
}

bool WriteFileText(const std::string& path, const std::string& text) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0640);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return close(fd) == 0 && done == text.size();
}

}  // namespace

std::string BackoffNodeUrl(const NodeRecord& node) {
  if (!node.osDescHost.empty()) return node.osDescScheme + "://" + node.osDescHost + node.osDescPath;
  return node.vexaScheme + "://" + node.vexaHost + node.vexaPath;
}

NodeBackoff::NodeBackoff(std::string directory, BackoffPolicy policy,
                         std::function<int64_t()> now)
    : directory_(std::move(directory)), policy_(policy), now_(std::move(now)) {}

Status NodeBackoff::Update(const std::function<bool(Table&)>& change, LogSink& log) {
  std::string lockPath = directory_ + "/" + kBackoffLockFile;
  std::string statePath = directory_ + "/" + kBackoffStateFile;
  int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0640);
  if (fd < 0 || flock(fd, LOCK_EX) != 0) {
    log.Logf(kLogWarning, "Node back-off is off for this request: %s: %s", lockPath.c_str(),
             std::strerror(errno));
    if (fd >= 0) close(fd);
    return kCacheAccessError;
  }
  LockedFile lock(fd);

  std::string text;
  if (!ReadFileText(statePath, text)) {
    log.Logf(kLogWarning, "Node back-off is off for this request: %s: %s", statePath.c_str(),
             std::strerror(errno));
    return kCacheAccessError;
  }
  Table table;
  std::istringstream lines(text);
  std::string line;
  bool damaged = false;
  while (std::getline(lines, line)) {
    if (line.empty()) continue;
    std::istringstream fields(line);
    int slot = -1;
    Entry entry;
    if (!(fields >> slot >> entry.failures >> entry.pauseSecs >> entry.pausedUntil)) slot = -1;
    std::getline(fields >> std::ws, entry.url);
    if (slot < 0 || slot >= kMaxNodes || entry.failures < 0 || entry.pauseSecs < 0 ||
        entry.pausedUntil < 0) {
      damaged = true;
      continue;
    }
    entry.present = true;
    entry.pauseSecs = std::min(entry.pauseSecs, kBackoffMaxPauseSecs);
    table[slot] = std::move(entry);
  }
  if (damaged)
    log.Logf(kLogWarning, "Node back-off state file %s had unreadable lines; they were dropped",
             statePath.c_str());

  if (!change(table) && !damaged) return kOk;
  std::string out;
  for (int slot = 0; slot < kMaxNodes; ++slot) {
    const Entry& entry = table[slot];
    if (!entry.present) continue;
    out += Format("%d %d %lld %lld %s\n", slot, entry.failures,
                  static_cast<long long>(entry.pauseSecs),
                  static_cast<long long>(entry.pausedUntil), entry.url.c_str());
  }
  std::string temporary = statePath + ".tmp";
  if (!WriteFileText(temporary, out) || std::rename(temporary.c_str(), statePath.c_str()) != 0) {
    log.Logf(kLogWarning, "Could not write the node back-off state file %s: %s",
             statePath.c_str(), std::strerror(errno));
    std::remove(temporary.c_str());
    return kCacheWriteFailed;
  }
  return kOk;
}

Status NodeBackoff::Decide(const Config& config, BackoffDecision& decision, LogSink& log) {
  decision = BackoffDecision();
  if (policy_.firstPauseSecs <= 0) return kOk;
  const int64_t now = now_();
  int count = std::clamp(config.nodeCount, 0, kMaxNodes);
  return Update(
      [&](Table& table) {
        bool changed = false;
        for (int n = 0; n < count; ++n) {
          Entry& entry = table[n];
          const NodeRecord& node = config.nodes[n];
          if (!entry.present || node.disabled || entry.pausedUntil == 0) continue;
          if (entry.url != BackoffNodeUrl(node)) continue;  // another node now: Record resets it
          // A pause longer than any the back-off sets (the clock went back, or the
          // file was edited) is cut to the node's own pause.
          int64_t longest = kBackoffMaxPauseSecs + node.timeoutMs / 1000 + 2;
          if (entry.pausedUntil - now > longest) {
            entry.pausedUntil = now + entry.pauseSecs;
            changed = true;
          }
          if (now < entry.pausedUntil) {
            decision.skip[n] = true;
            continue;
          }
          // The pause is over: this request tries the node, the others wait for its answer.
          decision.probe[n] = true;
          entry.pausedUntil = now + node.timeoutMs / 1000 + 2;
          changed = true;
        }
        return changed;
      },
      log);
}

Status NodeBackoff::Record(const Config& config, const std::array<Status, kMaxNodes>& status,
                           const BackoffDecision& decision, LogSink& log) {
  if (policy_.firstPauseSecs <= 0) return kOk;
  const int64_t now = now_();
  int count = std::clamp(config.nodeCount, 0, kMaxNodes);
  return Update(
      [&](Table& table) {
        bool changed = false;
        for (int n = 0; n < count; ++n) {
          Status result = status[n];
          if (!decision.asked[n]) continue;
          Entry& entry = table[n];
          std::string url = BackoffNodeUrl(config.nodes[n]);
          if (entry.present && entry.url != url) entry = Entry();
          if (result == kOk || result == kFewerItemsThanRequested) {
            changed |= entry.present;
            entry = Entry();
            continue;
          }
          entry.present = true;
          entry.url = url;
          if (entry.failures < INT32_MAX) ++entry.failures;
          if (decision.probe[n]) {
            entry.pauseSecs = std::min(entry.pauseSecs * 2, kBackoffMaxPauseSecs);
            entry.pausedUntil = now + entry.pauseSecs;
          } else if (entry.pausedUntil == 0 && entry.failures >= policy_.failures) {
            entry.pauseSecs = std::min(policy_.firstPauseSecs, kBackoffMaxPauseSecs);
            entry.pausedUntil = now + entry.pauseSecs;
          }
          changed = true;
        }
        return changed;
      },
      log);
}

}  // namespace quorix
