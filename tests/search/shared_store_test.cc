// Each behaviour of the shared store, run through the same interface on the
// files and on a redis-server of the test's own.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "search/cache/file_store.h"
#include "search/store/redis_store.h"
#include "tests/support/recording_log.h"
#include "tests/support/redis_server.h"

namespace quorix {
namespace {

using testing::RecordingLog;
using testing::RedisServer;

StoreSettings SettingsOf(const RedisServer& server, int32_t timeoutMs = 100) {
  StoreSettings settings;
  std::string why;
  EXPECT_TRUE(ParseStoreAddress(server.address(), &settings.address, &why)) << why;
  settings.timeoutMs = timeoutMs;
  return settings;
}

class SharedStoreTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    dir = (std::filesystem::path(server.folder()) / "site").string();
    if (redis()) {
      ASSERT_TRUE(server.Start());
    }
  }
  bool redis() const { return std::string(GetParam()) == "redis"; }

  // A store of its own, as each process has (a connection serves one thread).
  std::unique_ptr<SharedStore> Open(StoreConnection& connection) {
    if (!redis()) return std::make_unique<FileStore>(server.folder(), dir);
    connection.BeginRequest(SettingsOf(server));
    return std::make_unique<RedisStore>(connection, "test:");
  }

  Status Read(SharedStore& store, const std::string& name, std::string* bytes) {
    std::unique_ptr<EntrySource> entry;
    Status status = store.OpenEntry(name, 10, &entry, log);
    bytes->clear();
    std::string_view piece;
    // Two ranges, as the cache reader reads a header and then a page.
    size_t half = entry ? entry->size() / 2 : 0;
    if (status == kOk && entry->View(0, half, 0, &piece) == kOk) bytes->append(piece);
    if (status == kOk && entry->View(half, entry->size() - half, 0, &piece) == kOk)
      bytes->append(piece);
    return status;
  }

  RedisServer server;
  std::string dir;
  RecordingLog log;
  StoreConnection connection;
};

TEST_P(SharedStoreTest, EntriesAreWrittenWholeReadByRangeAndDeleted) {
  std::unique_ptr<SharedStore> store = Open(connection);
  const std::string big(700 * 1024, 'b');  // more than one piece of a write
  auto write = [&](const std::string& bytes, Status produced = kOk) {
    return store->WriteEntry(
        "q", 10,
        [&](const EntryBytesSink& sink) {
          for (size_t at = 0; at < bytes.size(); at += 4096)
            if (!sink(std::string_view(bytes).substr(at, 4096))) return kCacheWriteFailed;
          return produced;
        },
        log);
  };
  struct Step {
    const char* what;
    std::function<Status()> act;
    Status readStatus;
    std::string readBytes;
  } steps[] = {
      {"missing", [] { return kOk; }, kCacheNotFound, ""},
      {"written", [&] { return write("first entry"); }, kOk, "first entry"},
      {"replaced whole by a longer one", [&] { return write(big); }, kOk, big},
      {"a failed write keeps the old entry",
       [&] {
         return write("torn", kCacheOutOfMemory) == kCacheOutOfMemory ? kOk : kCacheWriteFailed;
       },
       kOk, big},
      {"deleted", [&] { return store->DeleteEntry("q", log); }, kCacheNotFound, ""},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    EXPECT_EQ(step.act(), kOk);
    std::string bytes;
    EXPECT_EQ(Read(*store, "q", &bytes), step.readStatus);
    EXPECT_EQ(bytes, step.readBytes);
  }
  std::unique_ptr<EntrySource> entry;
  EXPECT_EQ(write("whole"), kOk);
  ASSERT_EQ(store->OpenEntry("q", 10, &entry, log), kOk);
  std::string_view piece;
  EXPECT_EQ(entry->View(3, 3, 0, &piece), kCacheReadFailed);  // past the end
}

// A hundred requests changing one record at once lose no change.
TEST_P(SharedStoreTest, RecordChangesAreAtomic) {
  constexpr int kRequests = 100;
  std::vector<std::thread> threads;
  for (int i = 0; i < kRequests; ++i)
    threads.emplace_back([this] {
      StoreConnection own;
      std::unique_ptr<SharedStore> store = Open(own);
      RecordingLog ownLog;
      EXPECT_EQ(store->UpdateRecord(
                    "r",
                    [](std::string& text) {
                      text = std::to_string(text.empty() ? 1 : std::stoi(text) + 1);
                      return true;
                    },
                    ownLog),
                kOk);
    });
  for (std::thread& thread : threads) thread.join();
  std::unique_ptr<SharedStore> store = Open(connection);
  std::string seen;
  EXPECT_EQ(store->UpdateRecord(
                "r",
                [&](std::string& text) {
                  seen = text;
                  return false;
                },
                log),
            kOk);
  EXPECT_EQ(seen, std::to_string(kRequests));
}

TEST_P(SharedStoreTest, CountersCountPerNameAndWindow) {
  std::unique_ptr<SharedStore> store = Open(connection);
  struct Count {
    const char* name;
    int64_t now;
    int64_t expected;
  } counts[] = {
      {"a", 600, 1}, {"a", 659, 2}, {"b", 659, 1}, {"a", 660, 1}, {"a", 661, 2},
  };
  for (const Count& count : counts) {
    int64_t got = -1;
    EXPECT_EQ(store->CountInWindow(count.name, 60, count.now, &got, log), kOk);
    EXPECT_EQ(got, count.expected) << count.name << " at " << count.now;
  }
}

INSTANTIATE_TEST_SUITE_P(Stores, SharedStoreTest, ::testing::Values("files", "redis"));

// A store that stops answering is left out with one warning per request and
// no long wait; once it is back, the next request uses it again.
TEST(RedisStoreTest, AStoppedStoreIsLeftOutAndUsedAgainOnceBack) {
  RedisServer server;
  ASSERT_TRUE(server.Start());
  StoreConnection connection;
  RedisStore store(connection, "test:");
  auto request = [&](RecordingLog& log) {
    connection.BeginRequest(SettingsOf(server));
    std::unique_ptr<EntrySource> entry;
    Status write = store.WriteEntry(
        "q", 10, [](const EntryBytesSink& sink) { return sink("entry") ? kOk : kCacheWriteFailed; },
        log);
    Status open = store.OpenEntry("q", 10, &entry, log);
    int64_t count = 0;
    Status counted = store.CountInWindow("c", 60, 0, &count, log);
    return std::vector<Status>{write, open, counted};
  };
  RecordingLog before, during, after;
  EXPECT_EQ(request(before), (std::vector<Status>{kOk, kOk, kOk}));
  server.Stop();
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(request(during),
            (std::vector<Status>{kStoreUnavailable, kStoreUnavailable, kStoreUnavailable}));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(during.Lines().size(), 1u);
  EXPECT_TRUE(during.Contains("left out of this request"));
  ASSERT_TRUE(server.Start());
  EXPECT_EQ(request(after), (std::vector<Status>{kOk, kOk, kOk}));
  EXPECT_TRUE(after.Lines().empty());
}

TEST(RedisStoreTest, AddressesAndPasswordFiles) {
  struct Case {
    const char* text;
    bool ok;
    const char* host;
    int port;
    const char* socket;
    int database;
  } cases[] = {
      {"redis://10.0.0.5:6380/2", true, "10.0.0.5", 6380, "", 2},
      {"redis://cache.internal", true, "cache.internal", 6379, "", 0},
      {"redis://[::1]:7000/", true, "::1", 7000, "", 0},
      {"unix:/run/redis/redis.sock", true, "", 6379, "/run/redis/redis.sock", 0},
      {"unix:redis.sock", false, "", 0, "", 0},
      {"http://host:6379", false, "", 0, "", 0},
      {"redis://host:99999", false, "", 0, "", 0},
      {"redis://:6379", false, "", 0, "", 0},
      {"redis://host/x", false, "", 0, "", 0},
      {"redis://[::1", false, "", 0, "", 0},
  };
  for (const Case& c : cases) {
    StoreAddress address;
    std::string why;
    ASSERT_EQ(ParseStoreAddress(c.text, &address, &why), c.ok) << c.text;
    if (!c.ok) {
      EXPECT_FALSE(why.empty()) << c.text;
      continue;
    }
    EXPECT_EQ(address.host, c.host);
    EXPECT_EQ(address.port, c.port);
    EXPECT_EQ(address.socketPath, c.socket);
    EXPECT_EQ(address.database, c.database);
  }
  RedisServer server;  // only for its folder
  const std::string path = server.folder() + "/password";
  std::string user, password, why;
  std::ofstream(path) << "s3cret\n";
  chmod(path.c_str(), 0640);
  EXPECT_FALSE(ReadStorePassword(path, &user, &password, &why));
  EXPECT_NE(why.find("chmod 600"), std::string::npos);
  chmod(path.c_str(), 0600);
  EXPECT_TRUE(ReadStorePassword(path, &user, &password, &why));
  EXPECT_EQ(user + "|" + password, "|s3cret");
  std::ofstream(path) << "quorix\r\nacl pass\n";
  EXPECT_TRUE(ReadStorePassword(path, &user, &password, &why));
  EXPECT_EQ(user + "|" + password, "quorix|acl pass");
  EXPECT_FALSE(ReadStorePassword(path + "-missing", &user, &password, &why));
}

}  // namespace
}  // namespace quorix
