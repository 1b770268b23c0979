#include "nodequery/dispatch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "nodequery/gated_log.h"
#include "nodequery/node_backoff.h"
#include "nodequery/node_worker.h"

namespace quorix {
namespace {

using Clock = std::chrono::steady_clock;

NodeJob MakeJob(const Config& config, int n, const NodeQueryRequest& request, int32_t requested,
                const DispatchOptions& options) {
  NodeJob job;
  job.node = n;
  job.requested = requested;
  job.useCats = config.useCats != 0;
  job.searchMultiCats = config.searchMultiCats != 0;
  job.request = request;
  job.options = options;
  return job;
}

// Where workers report that they have ended. Shared with the workers, so an
// abandoned worker can still report after the dispatch has returned.
struct WorkerSignal {
  std::mutex mutex;
  std::condition_variable ended;
};

// A worker's private state: it reads its own copy of the node's settings,
// works on its own run, channel and totals, and the dispatch publishes them
// only when the worker finished in time.
struct Worker {
  Worker(NodeJob jobIn, const NodeRecord& record, LogSink& target)
      : job(std::move(jobIn)), node(record), log(target) {}

  NodeJob job;
  const NodeRecord node;
  NodeRun run;
  Channel channel;
  NodeTotals totals;
  GatedLog log;
  std::atomic<bool> cancel{false};
  Status result = -1;
  Clock::time_point startedAt = Clock::now();
  // Guarded by WorkerSignal::mutex.
  Clock::time_point deadline;
  bool finished = false;
  Clock::time_point finishedAt;
};

struct RunningWorker {
  std::shared_ptr<Worker> worker;
  std::thread thread;
};

// Workers given up at their time-out, kept so that they can be joined once
// they end: a persistent process must not collect threads without bound.
// Never destroyed, so a program may exit while some are still running.
struct AbandonedWorker {
  RunningWorker running;
  std::shared_ptr<WorkerSignal> signal;
};
struct AbandonedList {
  std::mutex mutex;
  std::vector<AbandonedWorker> workers;
};
AbandonedList& Abandoned() {
  static AbandonedList* list = new AbandonedList;
  return *list;
}

void Abandon(RunningWorker running, const std::shared_ptr<WorkerSignal>& signal) {
  AbandonedList& list = Abandoned();
  std::lock_guard<std::mutex> lock(list.mutex);
  list.workers.push_back({std::move(running), signal});
}

bool EndedBy(AbandonedWorker& abandoned, Clock::time_point limit) {
  std::unique_lock<std::mutex> lock(abandoned.signal->mutex);
  const Worker& worker = *abandoned.running.worker;
  return abandoned.signal->ended.wait_until(lock, limit, [&] { return worker.finished; });
}

void RunWorker(const std::shared_ptr<Worker>& worker, const std::shared_ptr<WorkerSignal>& signal) {
  Status result = QuerySlaves(worker->job, worker->node, worker->run, worker->channel,
                              worker->totals, worker->log, &worker->cancel);
  {
    std::lock_guard<std::mutex> lock(signal->mutex);
    worker->result = result;
    worker->finished = true;
    worker->finishedAt = Clock::now();
  }
  signal->ended.notify_all();
}

// The checks made before a node gets a worker. True when it gets one.
bool NodeIsUsable(int n, const NodeRecord& node, NodeResults& results, LogSink& log) {
  if (node.disabled) {
    log.Logf(kLogFileOnly, "Node #%d is disabled", n);
    results.status[n] = kNodeNotRun;
    return false;
  }
  results.status[n] = kOk;
  if (node.osDescHost.empty() && node.osDescPath.empty()) {
    if (IsOpenSearchNode(node)) {
      log.Logf(kLogError, "Node #%d's OpenSearch Description URL is empty", n);
      results.status[n] = kDescUrlEmpty;
      return false;
    }
    if (node.vexaHost.empty() && node.vexaPath.empty()) {
      log.Logf(kLogError, "Node #%d's Node URL is empty", n);
      results.status[n] = kQueryUrlEmpty;
      return false;
    }
  }
  if (node.timeoutMs <= 0) {
    log.Logf(kLogFileOnly, "Node #%d's time-out is zero", n);
    results.status[n] = kNodeTimeoutZero;
    return false;
  }
  return true;
}

int32_t MillisecondsSince(Clock::time_point start, Clock::time_point end) {
  return static_cast<int32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(end - start).count());
}

void Publish(Worker& worker, NodeResults& results) {
  int n = worker.job.node;
  results.elapsedMs[n] = MillisecondsSince(worker.startedAt, worker.finishedAt);
  results.runs[n] = std::move(worker.run);
  results.channels[n] = std::move(worker.channel);
  results.status[n] = worker.result;
  results.totals.Merge(worker.totals);
}

// Sleeps until every worker has ended or passed its deadline, or until
// `pageDeadline`, publishing the ones that ended in time and abandoning the
// others. Workers still within their time-outs at `pageDeadline` stay in
// `running`.
void WaitForWorkers(std::vector<RunningWorker>& running,
                    const std::shared_ptr<WorkerSignal>& sharedSignal, NodeResults& results,
                    LogSink& log, Clock::time_point pageDeadline = Clock::time_point::max()) {
  WorkerSignal& signal = *sharedSignal;
  std::unique_lock<std::mutex> lock(signal.mutex);
  while (!running.empty()) {
    Clock::time_point now = Clock::now();
    Clock::time_point next = Clock::time_point::max();
    for (auto it = running.begin(); it != running.end();) {
      Worker& worker = *it->worker;
      bool inTime = worker.finished && worker.finishedAt < worker.deadline;
      if (!inTime && now < worker.deadline) {
        next = std::min(next, worker.deadline);
        ++it;
        continue;
      }
      worker.log.Close();
      if (inTime) {
        Publish(worker, results);
      } else {
        int n = worker.job.node;
        worker.cancel.store(true);
        results.status[n] = kNodeTimeoutExceeded;
        results.elapsedMs[n] = MillisecondsSince(worker.startedAt, now);
        log.Logf(kLogError, "Node #%d: timeout waiting for response.  Timeout period = %d ms", n,
                 worker.node.timeoutMs);
      }
      // A finished worker is about to return; one past its time-out is left to end alone.
      if (worker.finished)
        it->thread.join();
      else
        Abandon(std::move(*it), sharedSignal);
      it = running.erase(it);
    }
    if (running.empty() || now >= pageDeadline) return;
    signal.ended.wait_until(lock, std::min(next, pageDeadline));
  }
}

// What a dispatch started: the workers and the back-off's decision.
struct StartedWorkers {
  std::shared_ptr<WorkerSignal> signal = std::make_shared<WorkerSignal>();
  std::vector<RunningWorker> running;
  BackoffDecision backoff;
};

void StartWorkers(const Config& config, const NodeQueryRequest& request, int32_t requested,
                  NodeResults& results, LogSink& log, const DispatchOptions& options,
                  StartedWorkers& started) {
  requested = std::min(requested, kMaxRequestedItems);
  const std::shared_ptr<WorkerSignal>& signal = started.signal;
  BackoffDecision& backoff = started.backoff;
  int nodeCount = std::clamp(config.nodeCount, 0, kMaxNodes);
  started.running.reserve(nodeCount);
  if (options.backoff) options.backoff->Decide(config, backoff, log);
  for (int n = 0; n < nodeCount; ++n) {
    const NodeRecord& node = config.nodes[n];
    if (!NodeIsUsable(n, node, results, log)) continue;
    if (backoff.skip[n]) {
      results.status[n] = kNodeBackedOff;
      continue;
    }
    auto worker =
        std::make_shared<Worker>(MakeJob(config, n, request, requested, options), node, log);
    const auto timeout = std::chrono::milliseconds(node.timeoutMs);
    worker->deadline = Clock::now() + timeout;
    // The time-out starts again when the query itself starts. A worker that
    // is already past its deadline keeps it: it has been given up, or is about to be.
    worker->job.onQueryStart = [raw = worker.get(), signal, timeout] {
      std::lock_guard<std::mutex> lock(signal->mutex);
      Clock::time_point now = Clock::now();
      if (now < raw->deadline) raw->deadline = now + timeout;
    };
    try {
      std::thread thread(RunWorker, worker, signal);
      started.running.push_back({std::move(worker), std::move(thread)});
      ++results.startedWorkers;
      backoff.asked[n] = true;
    } catch (const std::system_error& error) {
      log.Logf(kLogError, "Node #%d: could not start a worker thread (%s)", n, error.what());
      results.status[n] = kWorkerStartFailed;
    }
  }
}

}  // namespace

struct LateNodeAnswers::Pending {
  StartedWorkers started;
  Config config;
  std::string query;
};

LateNodeAnswers::LateNodeAnswers(std::unique_ptr<Pending> pending) : pending_(std::move(pending)) {}

LateNodeAnswers::~LateNodeAnswers() {
  if (!pending_) return;
  for (RunningWorker& running : pending_->started.running) {
    running.worker->cancel.store(true);
    Abandon(std::move(running), pending_->started.signal);
  }
}

uint64_t LateNodeAnswers::PendingMask() const {
  uint64_t mask = 0;
  if (pending_)
    for (const RunningWorker& running : pending_->started.running)
      mask |= uint64_t{1} << running.worker->job.node;
  return mask;
}

void LateNodeAnswers::Collect(NodeResults& results, NodeBackoff* backoff, LogSink& log) {
  if (!pending_) return;
  // The workers' lines were closed at the page deadline; the late ones write here.
  for (RunningWorker& running : pending_->started.running) running.worker->log.Reopen(log);
  WaitForWorkers(pending_->started.running, pending_->started.signal, results, log);
  if (backoff)
    backoff->Record(pending_->config, pending_->query, results.status, pending_->started.backoff,
                    log);
  pending_.reset();
  JoinAbandonedWorkers(std::chrono::milliseconds(0));
}

void LateNodeAnswers::Drop(const NodeResults& results, NodeBackoff* backoff, LogSink& log) {
  if (!pending_) return;
  BackoffDecision& decision = pending_->started.backoff;
  for (const RunningWorker& running : pending_->started.running)
    decision.asked[running.worker->job.node] = false;  // no outcome to count
  if (backoff) backoff->Record(pending_->config, pending_->query, results.status, decision, log);
  LateNodeAnswers dropped(std::move(pending_));  // cancels the workers
}

void PerformVexaQueryBy(Clock::time_point pageDeadline, const Config& config,
                        const NodeQueryRequest& request, int32_t requested, NodeResults& results,
                        LogSink& log, const DispatchOptions& options,
                        std::unique_ptr<LateNodeAnswers>* late) {
  auto pending = std::make_unique<LateNodeAnswers::Pending>();
  StartedWorkers& started = pending->started;
  StartWorkers(config, request, requested, results, log, options, started);
  WaitForWorkers(started.running, started.signal, results, log, pageDeadline);
  JoinAbandonedWorkers(std::chrono::milliseconds(0));
  if (started.running.empty()) {
    if (options.backoff)
      options.backoff->Record(config, request.escapedQuery, results.status, started.backoff, log);
    return;
  }
  const Clock::time_point now = Clock::now();
  for (RunningWorker& running : started.running) {
    Worker& worker = *running.worker;
    worker.log.Close();  // the page is about to be finished without it
    results.status[worker.job.node] = kNodePending;
    results.elapsedMs[worker.job.node] = MillisecondsSince(worker.startedAt, now);
  }
  pending->config = config;
  pending->query = request.escapedQuery;
  *late = std::make_unique<LateNodeAnswers>(std::move(pending));
}

void PerformVexaQuery(const Config& config, const NodeQueryRequest& request, int32_t requested,
                      NodeResults& results, LogSink& log, const DispatchOptions& options) {
  StartedWorkers started;
  StartWorkers(config, request, requested, results, log, options, started);
  WaitForWorkers(started.running, started.signal, results, log);
  if (options.backoff)
    options.backoff->Record(config, request.escapedQuery, results.status, started.backoff, log);
  JoinAbandonedWorkers(std::chrono::milliseconds(0));
}

int JoinAbandonedWorkers(std::chrono::milliseconds wait) {
  const Clock::time_point limit = Clock::now() + wait;
  AbandonedList& list = Abandoned();
  std::lock_guard<std::mutex> lock(list.mutex);
  auto& workers = list.workers;
  for (auto it = workers.begin(); it != workers.end();) {
    if (!EndedBy(*it, limit)) {
      ++it;
      continue;
    }
    it->running.thread.join();
    it = workers.erase(it);
  }
  return static_cast<int>(workers.size());
}

Status QueryNode(const Config& config, int n, const NodeQueryRequest& request, int32_t requested,
                 NodeResults& results, LogSink& log, const DispatchOptions& options) {
  if (n < 0 || n >= kMaxNodes) return kNodeNotRun;
  NodeJob job = MakeJob(config, n, request, requested, options);
  NodeTotals totals;
  results.channels[n] = Channel();
  Clock::time_point start = Clock::now();
  Status status =
      QuerySlaves(job, config.nodes[n], results.runs[n], results.channels[n], totals, log);
  results.elapsedMs[n] = MillisecondsSince(start, Clock::now());
  results.totals.Merge(totals);
  results.status[n] = status;
  return status;
}

}  // namespace quorix
