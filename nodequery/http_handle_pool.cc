#include "nodequery/http_handle_pool.h"

#include <array>
#include <atomic>
#include <map>
#include <mutex>

#include "nodequery/http_client.h"

namespace quorix {
namespace {

struct Pool {
  std::mutex mutex;
  std::multimap<std::string, CURL*> idle;
  CURLSH* share = nullptr;
  // One lock per kind of shared data, as the transport asks.
  std::array<std::mutex, CURL_LOCK_DATA_LAST> shareLocks;
};

std::atomic<bool> keeping{false};
std::string* processCaFile = new std::string;  // never destroyed: workers may outlive main

Pool& ThePool() {
  static Pool* pool = new Pool;  // never destroyed: workers may outlive main
  return *pool;
}

void LockShare(CURL*, curl_lock_data data, curl_lock_access, void* pool) {
  static_cast<Pool*>(pool)->shareLocks[data].lock();
}

void UnlockShare(CURL*, curl_lock_data data, void* pool) {
  static_cast<Pool*>(pool)->shareLocks[data].unlock();
}

// The share of DNS answers and TLS sessions, made on first use. Connections
// themselves are not shared: the transport does not support one connection
// cache used by concurrent threads, so each handle keeps its own.
CURLSH* SharedCaches(const CurlLibrary& api, Pool& pool) {
  std::lock_guard<std::mutex> lock(pool.mutex);
  if (pool.share) return pool.share;
  CURLSH* share = api.share_init();
  if (!share) return nullptr;
  api.share_setopt(share, CURLSHOPT_USERDATA, &pool);
  api.share_setopt(share, CURLSHOPT_LOCKFUNC, &LockShare);
  api.share_setopt(share, CURLSHOPT_UNLOCKFUNC, &UnlockShare);
  api.share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
  api.share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
  pool.share = share;
  return share;
}

}  // namespace

void KeepConnectionsBetweenSearches() { keeping.store(true); }

void SetProcessCaFile(std::string path) { *processCaFile = std::move(path); }

const std::string& ProcessCaFile() { return *processCaFile; }

CURL* TakeHandle(const CurlLibrary& api, const std::string& endpointKey) {
  if (keeping.load()) {
    Pool& pool = ThePool();
    std::lock_guard<std::mutex> lock(pool.mutex);
    auto found = pool.idle.find(endpointKey);
    if (found != pool.idle.end()) {
      CURL* handle = found->second;
      pool.idle.erase(found);
      return handle;
    }
  }
  return api.easy_init();
}

void GiveBackHandle(const CurlLibrary& api, const std::string& endpointKey, CURL* handle,
                    bool reusable) {
  if (!handle) return;
  if (reusable && keeping.load()) {
    Pool& pool = ThePool();
    std::lock_guard<std::mutex> lock(pool.mutex);
    if (pool.idle.size() < kMaxKeptHandles) {
      pool.idle.emplace(endpointKey, handle);
      return;
    }
  }
  api.easy_cleanup(handle);
}

void UseSharedCaches(const CurlLibrary& api, CURL* handle) {
  if (!keeping.load()) return;
  if (CURLSH* share = SharedCaches(api, ThePool())) api.easy_setopt(handle, CURLOPT_SHARE, share);
}

size_t KeptHandleCount() {
  Pool& pool = ThePool();
  std::lock_guard<std::mutex> lock(pool.mutex);
  return pool.idle.size();
}

}  // namespace quorix
