// Two web servers' site folders over one Redis store, run as CGI programs.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <string>
#include <thread>

#include "tests/search/cgi_test_support.h"
#include "tests/support/cgi_runner.h"
#include "tests/support/redis_server.h"
#include "tests/support/test_http_server.h"

namespace quorix {
namespace {

using testing::CgiSandbox;
using testing::HttpAnswer;
using testing::NumberedItems;
using testing::PageTemplateText;
using testing::QuorixBinary;
using testing::SettingsText;
using testing::TestHttpServer;
using testing::VexaRss;

// Waits past the last seconds of a minute, so that a run of requests counts
// in one window.
void WaitForAFreshMinute() {
  while (std::time(nullptr) % 60 >= 50) std::this_thread::sleep_for(std::chrono::milliseconds(200));
}

// Two web servers' folders with one Redis store: the second pages through what
// the first cached, and the visitor limit counts the requests of both.
TEST(SharedStoreCgiTest, TwoServersShareCacheAndVisitorLimit) {
  testing::RedisServer redis;
  ASSERT_TRUE(redis.Start());
  TestHttpServer node;
  node.Answer("/vexa/search.cgi", HttpAnswer(VexaRss(NumberedItems("Vexa", 40, 500), 100)));
  std::string settings = SettingsText()
                             .Option("INT_CACHE_VALID_PERIOD_MINS", 10)
                             .Option("INT_OVER_REQUEST_FACTOR", 2)
                             .Option("RateLimitPerMinute", 2)
                             .Text("SharedStore", redis.address())
                             .Text("TrustedProxies", "10.0.0.0/8")
                             .PageLinkTexts()
                             .VexaNode(node.Url("/vexa/search.cgi"))
                             .str();
  CgiSandbox first(QuorixBinary()), second(QuorixBinary());
  for (const CgiSandbox* server : {&first, &second}) {
    server->WriteFile("search_template.html", PageTemplateText());
    server->WriteFile("settings.qxdat", settings);
  }
  struct Step {
    const CgiSandbox& server;
    const char* query;
    const char* remote;
    const char* forwardedFor;
    bool limited;
    size_t nodeRequests;  // so far
  } steps[] = {
      {first, "vexa_query=a", "192.0.2.1", "", false, 1},
      {second, "vexa_query=a&vexa_page=2", "192.0.2.1", "", false, 1},  // from the cache: free
      {second, "vexa_query=b", "192.0.2.1", "", false, 2},
      {first, "vexa_query=c", "192.0.2.1", "", true, 2},
      {second, "vexa_query=a&vexa_page=3", "192.0.2.1", "", false, 2},  // cached, still served
      {first, "vexa_query=c", "192.0.2.2", "", false, 3},
      {first, "vexa_query=d", "10.1.1.1", "192.0.2.2", false, 4},  // behind a trusted proxy
      {second, "vexa_query=e", "10.1.1.1", "192.0.2.2, 10.2.2.2", true, 4},
      {second, "vexa_query=e&vexa_format=rss", "192.0.2.2", "198.51.100.7", true, 4},
  };
  WaitForAFreshMinute();
  for (const Step& step : steps) {
    SCOPED_TRACE(std::string(step.query) + " from " + step.remote);
    auto run = step.server.Get(
        step.query, {{"REMOTE_ADDR", step.remote}, {"HTTP_X_FORWARDED_FOR", step.forwardedFor}});
    EXPECT_EQ(run.output.starts_with("Status: 429 Too Many Requests\nRetry-After: "), step.limited);
    EXPECT_EQ(node.RequestCount(), step.nodeRequests);
    if (step.limited) {
      EXPECT_NE(run.output.find("Too many searches"), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace quorix
