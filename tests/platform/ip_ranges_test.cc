#include "platform/ip_ranges.h"

#include <gtest/gtest.h>

namespace quorix {
namespace {

TEST(ClientAddressTest, VisitorIsTheRightMostUntrustedAddress) {
  const std::string proxies = "10.0.0.0/8 2001:db8:1::/48 192.0.2.9";
  struct Case {
    const char* remote;
    const char* forwardedFor;
    const char* trusted;
    const char* visitor;
  } cases[] = {
      {"198.51.100.7", "", "", "198.51.100.7"},
      {"198.51.100.7", "203.0.113.1", "", "198.51.100.7"},  // no proxy trusted: header ignored
      {"198.51.100.7", "203.0.113.1", proxies.c_str(), "198.51.100.7"},  // not from a proxy
      {"10.1.2.3", "203.0.113.1", proxies.c_str(), "203.0.113.1"},
      {"10.1.2.3", "6.6.6.6, 203.0.113.1, 192.0.2.9", proxies.c_str(), "203.0.113.1"},
      {"10.1.2.3", "", proxies.c_str(), "10.1.2.3"},
      {"10.1.2.3", "10.9.9.9", proxies.c_str(), "10.9.9.9"},  // only proxies: the last one
      {"10.1.2.3", "garbage", proxies.c_str(), "10.1.2.3"},
      {"2001:db8:1::5", "2001:db8:2:3:4:5:6:7", proxies.c_str(), "2001:db8:2:3::/64"},
      {"2001:db8:9:1:ffff::1", "", proxies.c_str(), "2001:db8:9:1::/64"},
      {"not an address", "", "", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(VisitorKey(c.remote, c.forwardedFor, c.trusted), c.visitor)
        << c.remote << " / " << c.forwardedFor;

  std::string why;
  EXPECT_TRUE(ValidAddressRanges(proxies, &why));
  EXPECT_TRUE(ValidAddressRanges("", &why));
  for (const char* bad : {"10.0.0.0/33", "::1/129", "10.0.0", "example.org", "10.0.0.0/x"}) {
    EXPECT_FALSE(ValidAddressRanges(std::string("127.0.0.1 ") + bad, &why)) << bad;
    EXPECT_NE(why.find(bad), std::string::npos);
  }
}

}  // namespace
}  // namespace quorix
