#include "panel/core/store_options.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace quorix::panel::testing {
namespace {

TEST(StoreOptionsTest, ProblemsAreNamedAsTypedAndAnUnsetStoreIsNotAsked) {
  struct Case {
    std::function<void(Config&)> edit;
    const char* problem;  // the start of the sentence; empty: none
  } cases[] = {
      {[](Config&) {}, ""},
      {[](Config& c) { c.sharedStore = "redis://10.0.0.5:6379/1"; }, ""},
      {[](Config& c) { c.sharedStore = "unix:/run/redis.sock"; }, ""},
      {[](Config& c) { c.sharedStore = "10.0.0.5"; }, "Shared store: the address must start"},
      {[](Config& c) { c.sharedStore = "redis://h:0"; }, "Shared store: the port"},
      {[](Config& c) { c.sharedStorePrefix = "a b"; }, "Key prefix:"},
      {[](Config& c) { c.sharedStoreTimeoutMs = 0; }, "Store time-out:"},
      {[](Config& c) { c.rateLimitPerMinute = -1; }, "Searches per minute:"},
      {[](Config& c) { c.trustedProxies = "10.0.0.0/8 proxy.lan"; },
       "Trusted proxies: \"proxy.lan\""},
  };
  for (const Case& c : cases) {
    Config config;
    c.edit(config);
    std::string problem = StoreOptionsProblem(config);
    EXPECT_TRUE(problem.starts_with(c.problem)) << problem;
    EXPECT_EQ(problem.empty(), std::string(c.problem).empty()) << problem;
  }
  Config config;
  EXPECT_EQ(StorePingLine(config, ""), "");
  config.sharedStore = "unix:/nonexistent/redis.sock";
  EXPECT_TRUE(
      StorePingLine(config, "")
          .starts_with("Shared store unix:/nonexistent/redis.sock: does not answer PING: "));
  config.sharedStorePasswordFile = "/nonexistent/password";
  EXPECT_TRUE(StorePingLine(config, "").find("not asked: SharedStorePasswordFile") !=
              std::string::npos);
}

}  // namespace
}  // namespace quorix::panel::testing
