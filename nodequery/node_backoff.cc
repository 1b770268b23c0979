#include "nodequery/node_backoff.h"

#include <algorithm>
#include <climits>

#include "nodequery/backoff_state.h"
#include "platform/text.h"

namespace quorix {
namespace {

static_assert(kBackoffQueriesKept >= kBackoffDistinctQueries);

// 32-bit FNV-1a: a query's fingerprint in the state file.
uint32_t Fingerprint(std::string_view text) {
  uint32_t hash = 2166136261u;
  for (unsigned char c : text) hash = (hash ^ c) * 16777619u;
  return hash;
}

// Failures before the node has seen the query (its description document,
// its query template, an address it may not have): no visitor causes them.
bool BeforeTheQuery(Status status) {
  switch (status) {
    case kDescUrlEmpty:
    case kDescConnectFailed:
    case kDescSendFailed:
    case kDescNoResponse:
    case kDescNotRecognised:
    case kQuerySyntaxUnsupported:
    case kQueryUrlEmpty:
    case kQueryConnectFailed:
      return true;
    default:
      return false;
  }
}

void StartRun(BackoffEntry& entry, int64_t now) {
  entry.failures = 0;
  entry.since = now;
  entry.unreachable = 0;
  entry.queryCount = 0;
}

void CountFailure(BackoffEntry& entry, Status status, uint32_t query, int64_t now) {
  if (entry.since <= 0 || entry.since > now) entry.since = now;
  if (entry.failures < INT32_MAX) ++entry.failures;
  if (BeforeTheQuery(status) && entry.unreachable < INT32_MAX) ++entry.unreachable;
  const auto kept = entry.queries.begin() + entry.queryCount;
  if (entry.queryCount < kBackoffQueriesKept &&
      std::find(entry.queries.begin(), kept, query) == kept)
    entry.queries[entry.queryCount++] = query;
}

// The failures so far are enough to pause the node.
bool PauseIsDue(const BackoffEntry& entry, const BackoffPolicy& policy, int64_t now) {
  if (entry.failures < policy.failures) return false;
  return entry.unreachable >= policy.failures || (entry.queryCount >= kBackoffDistinctQueries &&
                                                  now - entry.since >= kBackoffFailureSpanSecs);
}

void Pause(BackoffEntry& entry, int64_t pauseSecs, int64_t now) {
  entry.pauseSecs = std::min(pauseSecs, kBackoffMaxPauseSecs);
  entry.pausedUntil = now + entry.pauseSecs;
}

}  // namespace

std::string BackoffNodeUrl(const NodeRecord& node) {
  std::string url = node.osDescHost.empty()
                        ? node.vexaScheme + "://" + node.vexaHost + node.vexaPath
                        : node.osDescScheme + "://" + node.osDescHost + node.osDescPath;
  std::string key;
  for (unsigned char c : url)
    key += c <= ' ' || c == 0x7f ? Format("%%%02X", c) : std::string(1, c);
  if (key.size() > kBackoffMaxUrlBytes)
    key = key.substr(0, kBackoffMaxUrlBytes - 9) + Format("#%08x", Fingerprint(key));
  return key;
}

NodeBackoff::NodeBackoff(SharedStore& store, BackoffPolicy policy, std::function<int64_t()> now)
    : store_(store), policy_(policy), now_(std::move(now)) {}

Status NodeBackoff::Update(const std::function<bool(BackoffTable&)>& change, LogSink& log) {
  return store_.UpdateRecord(
      kBackoffRecord,
      [&](std::string& text) {
        BackoffTable table;
        bool damaged = text.size() > kBackoffMaxStateBytes || !ParseBackoffState(text, table);
        if (damaged)
          log.Logf(kLogWarning, "The node back-off record had unreadable lines; they were dropped");
        if (!change(table) && !damaged) return false;
        text = FormatBackoffState(table);
        return true;
      },
      log);
}

Status NodeBackoff::Decide(const Config& config, BackoffDecision& decision, LogSink& log) {
  decision = BackoffDecision();
  if (policy_.firstPauseSecs <= 0) return kOk;
  const int64_t now = now_();
  int count = std::clamp(config.nodeCount, 0, kMaxNodes);
  return Update(
      [&](BackoffTable& table) {
        bool changed = false;
        for (int n = 0; n < count; ++n) {
          BackoffEntry& entry = table.entries[n];
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

Status NodeBackoff::Record(const Config& config, std::string_view query,
                           const std::array<Status, kMaxNodes>& status,
                           const BackoffDecision& decision, LogSink& log) {
  if (policy_.firstPauseSecs <= 0) return kOk;
  const int64_t now = now_();
  const uint32_t fingerprint = Fingerprint(query);
  int count = std::clamp(config.nodeCount, 0, kMaxNodes);
  return Update(
      [&](BackoffTable& table) {
        bool changed = false;
        for (int n = 0; n < count; ++n) {
          Status result = status[n];
          if (!decision.asked[n]) continue;
          BackoffEntry& entry = table.entries[n];
          std::string url = BackoffNodeUrl(config.nodes[n]);
          if (entry.present && entry.url != url) entry = BackoffEntry();
          if (result == kOk || result == kFewerItemsThanRequested) {
            changed |= entry.present;
            entry = BackoffEntry();
            continue;
          }
          changed = true;
          entry.present = true;
          entry.url = url;
          if (decision.probe[n] && !BeforeTheQuery(result)) {
            // This request's query may be what failed: the node is asked
            // again, and pauses once the failures meet the rule anew.
            entry.pausedUntil = 0;
            StartRun(entry, now);
          }
          CountFailure(entry, result, fingerprint, now);
          if (decision.probe[n] && entry.pausedUntil != 0)
            Pause(entry, entry.pauseSecs * 2, now);
          else if (entry.pausedUntil == 0 && PauseIsDue(entry, policy_, now))
            Pause(entry, entry.pauseSecs > 0 ? entry.pauseSecs * 2 : policy_.firstPauseSecs, now);
        }
        return changed;
      },
      log);
}

}  // namespace quorix
