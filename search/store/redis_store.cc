#include "search/store/redis_store.h"

#include <unistd.h>

#include <algorithm>
#include <random>

#include "platform/text.h"

namespace quorix {
namespace {

// How long a replaced version stays readable for the readers still on it.
constexpr const char* kReplacedVersionSecs = "60";
// A record untouched for a day is forgotten.
constexpr const char* kRecordKeepSecs = "86400";
// Tries of one record change that other processes keep changing first.
constexpr int kRecordTries = 200;
// The pieces of an entry being written go to the store this many bytes at a time.
constexpr size_t kWriteChunkBytes = 256 * 1024;
// Bytes fetched at least with each range read.
constexpr size_t kMinReadBytes = 16 * 1024;

uint64_t RandomNumber() {
  static thread_local std::mt19937_64 generator{std::random_device{}() ^
                                                (static_cast<uint64_t>(getpid()) << 32)};
  return generator();
}

class RedisEntrySource : public EntrySource {
 public:
  RedisEntrySource(StoreConnection& connection, std::string key, size_t size, LogSink& log)
      : connection_(connection), key_(std::move(key)), size_(size), log_(log) {}
  size_t size() const override { return size_; }

  Status View(size_t offset, size_t count, size_t readAhead, std::string_view* bytes) override {
    if (offset > size_ || count > size_ - offset) return kCacheReadFailed;
    if (offset < start_ || offset + count > start_ + buffer_.size()) {
      size_t fetch = std::min(std::max(count + readAhead, kMinReadBytes), size_ - offset);
      StoreReply reply;
      if (connection_.Run1(
              {"GETRANGE", key_, std::to_string(offset), std::to_string(offset + fetch - 1)},
              &reply, log_) != kOk ||
          reply->type != REDIS_REPLY_STRING || reply->len < count)
        return kCacheReadFailed;  // gone, or its version expired while being read
      buffer_.assign(reply->str, reply->len);
      start_ = offset;
    }
    *bytes = std::string_view(buffer_).substr(offset - start_, count);
    return kOk;
  }

 private:
  StoreConnection& connection_;
  std::string key_;
  size_t size_;
  LogSink& log_;
  std::string buffer_;
  size_t start_ = 0;
};

}  // namespace

RedisStore::RedisStore(StoreConnection& connection, std::string prefix)
    : connection_(connection), prefix_(std::move(prefix)) {}

Status RedisStore::OpenEntry(const std::string& name, int32_t, std::unique_ptr<EntrySource>* entry,
                             LogSink& log) {
  StoreReply version;
  Status status = connection_.Run1({"GET", EntryKey(name)}, &version, log);
  if (status != kOk) return status;
  if (version->type != REDIS_REPLY_STRING) return kCacheNotFound;
  std::string key = EntryKey(name) + "#" + std::string(version->str, version->len);
  StoreReply length;
  status = connection_.Run1({"STRLEN", key}, &length, log);
  if (status != kOk) return status;
  if (length->type != REDIS_REPLY_INTEGER || length->integer <= 0) return kCacheNotFound;
  *entry = std::make_unique<RedisEntrySource>(connection_, key,
                                              static_cast<size_t>(length->integer), log);
  return kOk;
}

Status RedisStore::WriteEntry(const std::string& name, int32_t validMins,
                              const EntryProducer& produce, LogSink& log) {
  const std::string seconds = std::to_string(int64_t{std::max(validMins, 1)} * 60);
  const std::string version = Format("%016llx", static_cast<unsigned long long>(RandomNumber()));
  const std::string key = EntryKey(name) + "#" + version;
  std::string chunk;
  bool first = true;
  Status sent = kOk;
  auto flush = [&] {
    StoreReply reply;
    sent = first ? connection_.Run1({"SET", key, chunk, "EX", seconds}, &reply, log)
                 : connection_.Run1({"APPEND", key, chunk}, &reply, log);
    first = false;
    chunk.clear();
    return sent == kOk;
  };
  Status status = produce([&](std::string_view bytes) {
    chunk.append(bytes);
    return chunk.size() < kWriteChunkBytes || flush();
  });
  if (status == kOk && (first || !chunk.empty())) flush();
  if (status == kOk) status = sent;
  std::vector<StoreReply> replies;
  if (status != kOk) {
    if (!first) connection_.Run({{"DEL", key}}, &replies, log);
    return status;
  }
  status = connection_.Run({{"SET", EntryKey(name), version, "EX", seconds, "GET"}}, &replies, log);
  if (status != kOk) return status;
  const redisReply& old = *replies.front();
  if (old.type == REDIS_REPLY_STRING && std::string_view(old.str, old.len) != version)
    connection_.Run(
        {{"EXPIRE", EntryKey(name) + "#" + std::string(old.str, old.len), kReplacedVersionSecs}},
        &replies, log);
  return kOk;
}

Status RedisStore::DeleteEntry(const std::string& name, LogSink& log) {
  StoreReply version;
  Status status = connection_.Run1({"GET", EntryKey(name)}, &version, log);
  if (status != kOk || version->type != REDIS_REPLY_STRING) return status;
  StoreReply reply;
  return connection_.Run1(
      {"DEL", EntryKey(name), EntryKey(name) + "#" + std::string(version->str, version->len)},
      &reply, log);
}

Status RedisStore::UpdateRecord(const std::string& name,
                                const std::function<bool(std::string&)>& change, LogSink& log) {
  const std::string key = prefix_ + "record:" + name;
  std::vector<StoreReply> replies;
  for (int attempt = 0; attempt < kRecordTries; ++attempt) {
    Status status = connection_.Run({{"WATCH", key}, {"GET", key}}, &replies, log);
    if (status != kOk) return status;
    const redisReply& current = *replies[1];
    std::string text =
        current.type == REDIS_REPLY_STRING ? std::string(current.str, current.len) : "";
    if (!change(text)) return connection_.Run({{"UNWATCH"}}, &replies, log);
    status = connection_.Run({{"MULTI"}, {"SET", key, text, "EX", kRecordKeepSecs}, {"EXEC"}},
                             &replies, log);
    if (status != kOk) return status;
    if (replies[2]->type == REDIS_REPLY_ARRAY) return kOk;
    // Another process changed the record first: read it again after a pause
    // of up to a millisecond, so that the processes do not keep meeting.
    usleep(static_cast<useconds_t>(RandomNumber() % 1000));
  }
  log.Logf(kLogWarning, "The shared record %s kept changing; this request's change was dropped",
           name.c_str());
  return kStoreBusy;
}

Status RedisStore::CountInWindow(const std::string& name, int32_t windowSecs, int64_t now,
                                 int64_t* count, LogSink& log) {
  *count = 0;
  windowSecs = std::max(windowSecs, 1);
  const std::string key = Format("%scount:%s:%lld", prefix_.c_str(), name.c_str(),
                                 static_cast<long long>(now / windowSecs));
  std::vector<StoreReply> replies;
  Status status = connection_.Run(
      {{"INCR", key}, {"EXPIRE", key, std::to_string(int64_t{windowSecs} * 2)}}, &replies, log);
  if (status != kOk) return status;
  *count = replies[0]->type == REDIS_REPLY_INTEGER ? replies[0]->integer : 0;
  return kOk;
}

}  // namespace quorix
