// Two web servers over one Redis store: one runs quorix as a CGI, the other
// as a FastCGI application, both over the same demo node and a dead one.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <thread>

#include "platform/store_connection.h"
#include "platform/text.h"
#include "tests/e2e/demo_stack.h"
#include "tests/support/redis_server.h"

namespace quorix::e2e {
namespace {

StackNode VexaAt(const std::string& url) {
  StackNode node;
  node.vexaUrl = url;
  return node;
}

// A command's string answer from the test's store.
std::string StoreText(const testing::RedisServer& redis, const std::vector<std::string>& command) {
  StoreConnection connection;
  StoreSettings settings;
  settings.address.socketPath = redis.address().substr(5);
  connection.BeginRequest(settings);
  NullLog log;
  StoreReply reply;
  if (connection.Run1(command, &reply, log) != kOk || reply->type != REDIS_REPLY_STRING) return "";
  return std::string(reply->str, reply->len);
}

size_t CountIn(const std::string& path, const std::string& part) {
  size_t count = 0;
  for (const std::string& line : ReadLines(path)) count += Contains(line, part) ? 1 : 0;
  return count;
}

TEST(SharedStoreE2e, TwoServersShareCacheBackOffLimitAndOutlastTheStore) {
  testing::RedisServer redis;
  ASSERT_TRUE(redis.Start());
  const std::string dead = "http://127.0.0.1:" + std::to_string(FreePort()) + "/search.cgi";
  DemoStack cgi, fastCgi;
  std::string error;
  cgi.SetDebug(0);
  ASSERT_TRUE(cgi.Start(TestName() + "-cgi", {StackNode{}, VexaAt(dead)}, 3000, &error)) << error;
  fastCgi.SetDebug(0);
  fastCgi.SetFastCgi(true);
  ASSERT_TRUE(
      fastCgi.Start(TestName() + "-fastcgi", {VexaAt(cgi.NodeUrl(0)), VexaAt(dead)}, 3000, &error))
      << error;
  for (const DemoStack* stack : {&cgi, &fastCgi})
    std::ofstream(stack->folder() + "/site/www/settings.qxdat", std::ios::app)
        << "SharedStore = \"" << redis.address() << "\"\r\nRateLimitPerMinute = 60\r\n"
        << "NodeBackoffFailures = 1\r\nNodeBackoffSecs = 300\r\nShowSources = 1\r\n";
  while (std::time(nullptr) % 60 >= 45) std::this_thread::sleep_for(std::chrono::milliseconds(200));

  std::string page;
  long status = 0;
  ASSERT_TRUE(cgi.Get("/quorix.cgi?vexa_query=library", &page, &status));
  EXPECT_EQ(status, 200);
  ASSERT_EQ(cgi.NodeRequests(0).size(), 1u);
  // Page 2 on the other server comes from the shared cache; the dead node,
  // paused by the first server, is not asked there either.
  ASSERT_TRUE(fastCgi.Get("/quorix.cgi?vexa_query=library&vexa_page=2", &page, &status));
  EXPECT_EQ(status, 200);
  EXPECT_TRUE(Contains(page, "ibrary")) << page;
  EXPECT_EQ(cgi.NodeRequests(0).size(), 1u);
  ASSERT_TRUE(fastCgi.Get("/quorix.cgi?vexa_query=park", &page, &status));

  // Both servers counted the dead node's failures in one record; a pause one
  // of them sets is kept by the other.
  std::string record = StoreText(redis, {"GET", "quorix:record:node_backoff"});
  EXPECT_TRUE(record.starts_with("1 2 0 0 ")) << record;
  const long long now = std::time(nullptr);
  StoreText(redis, {"SET", "quorix:record:node_backoff",
                    Format("1 3 300 %lld since=%lld unreachable=3 %s\n", now + 300, now - 60,
                           dead.c_str())});
  for (DemoStack* stack : {&cgi, &fastCgi}) {
    ASSERT_TRUE(stack->Get("/quorix.cgi?vexa_query=paused", &page, &status));
    EXPECT_TRUE(Contains(page, "skipped after repeated failures")) << page;
  }

  // Four searches so far asked the nodes: 56 more reach the limit, the next one is refused by
  // either.
  for (int i = 0; i < 56; ++i) {
    DemoStack& stack = i % 2 ? cgi : fastCgi;
    ASSERT_TRUE(stack.Get("/quorix.cgi?vexa_query=q" + std::to_string(i), &page, &status));
    ASSERT_EQ(status, 200) << i;
  }
  for (DemoStack* stack : {&cgi, &fastCgi}) {
    ASSERT_TRUE(stack->Get("/quorix.cgi?vexa_query=one+more", &page, &status));
    EXPECT_EQ(status, 429);
    EXPECT_TRUE(Contains(page, "Too many searches")) << page;
    ASSERT_TRUE(stack->Get("/quorix.cgi?vexa_query=library&vexa_page=3", &page, &status));
    EXPECT_EQ(status, 200);  // the cache still answers
  }

  // The store stops: searches go on with their results and one warning each.
  redis.Stop();
  for (DemoStack* stack : {&cgi, &fastCgi}) {
    const size_t warned = CountIn(stack->debugLog(), "shared store is left out");
    ASSERT_TRUE(stack->Get("/quorix.cgi?vexa_query=council", &page, &status));
    EXPECT_EQ(status, 200);
    EXPECT_TRUE(Contains(page, "council") || Contains(page, "Council")) << page;
    EXPECT_EQ(CountIn(stack->debugLog(), "shared store is left out"), warned + 1);
  }
  // Started again, it is used again: page 2 of a new search needs no node.
  ASSERT_TRUE(redis.Start());
  ASSERT_TRUE(cgi.Get("/quorix.cgi?vexa_query=garden+waste", &page, &status));
  const size_t asked = cgi.NodeRequests(0).size();
  ASSERT_TRUE(fastCgi.Get("/quorix.cgi?vexa_query=garden+waste&vexa_page=2", &page, &status));
  EXPECT_EQ(status, 200);
  EXPECT_EQ(cgi.NodeRequests(0).size(), asked);
}

}  // namespace
}  // namespace quorix::e2e
