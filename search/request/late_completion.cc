#include "search/request/late_completion.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "search/cache/cache.h"
#include "search/request/diag_log.h"
#include "search/store/site_store.h"

namespace quorix {
namespace {

// Runs `use` with the job's own log (the debug file) and cache (through a
// store connection of the calling thread).
template <typename Use>
void WithJobCache(LateCompletion& job, Use use) {
  PageOutput discarded([](std::string_view) {}, [] {});
  DiagLog log(discarded, job.config);
  log.KeepOffPage();
  SiteStore store(job.programDir, job.config, log);
  CCache cache(job.programDir, job.config, job.query, log, [&store] { return store.shared(); });
  use(cache, log);
}

struct Running {
  std::mutex mutex;
  std::condition_variable ended;
  int count = 0;
};

Running& BackgroundCompletions() {
  static Running* running = new Running;  // never destroyed: threads may outlive main
  return *running;
}

}  // namespace

void RunLateCompletion(LateCompletion& job) {
  WithJobCache(job, [&job](CCache& cache, LogSink& log) {
    Status status = CompleteSearch(job.pending, job.query, job.config, job.rules, cache, log);
    if (status != kOk)
      log.Logf(kLogWarning, "The late answers for \"%s\" were not cached (status %d)",
               job.query.rawQuery.c_str(), status);
  });
}

void DropLateCompletion(LateCompletion& job) {
  WithJobCache(job, [&job](CCache& cache, LogSink& log) {
    log.Logf(kLogWarning,
             "The late answers for \"%s\" were dropped: %d searches are being completed already",
             job.query.rawQuery.c_str(), kMaxBackgroundCompletions);
    job.pending.late->Drop(*job.pending.nodes, log);
    cache.DeletePartialEntry();
  });
}

bool StartBackgroundCompletion(std::unique_ptr<LateCompletion>& job) {
  Running& running = BackgroundCompletions();
  {
    std::lock_guard<std::mutex> lock(running.mutex);
    if (running.count >= kMaxBackgroundCompletions) return false;
    ++running.count;
  }
  auto finish = [&running] {
    std::lock_guard<std::mutex> lock(running.mutex);
    --running.count;
    running.ended.notify_all();
  };
  std::shared_ptr<LateCompletion> owned(std::move(job));
  try {
    std::thread([owned, finish] {
      RunLateCompletion(*owned);
      finish();
    }).detach();
  } catch (const std::system_error&) {
    job = std::make_unique<LateCompletion>(std::move(*owned));
    finish();
    return false;
  }
  return true;
}

int WaitForBackgroundCompletions(std::chrono::milliseconds wait) {
  Running& running = BackgroundCompletions();
  std::unique_lock<std::mutex> lock(running.mutex);
  running.ended.wait_for(lock, wait, [&running] { return running.count == 0; });
  return running.count;
}

}  // namespace quorix
