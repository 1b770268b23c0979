// Which addresses a node may lead the search to, and which lead back to it.
#include "nodequery/address_policy.h"

#include <gtest/gtest.h>

#include <string>

namespace quorix {
namespace {

TEST(IsLocalNetworkHostTest, EveryAddressThatIsNotGloballyRoutableIsLocal) {
  struct Case {
    const char* host;
    bool local;
  } cases[] = {
      {"127.0.0.1", true},
      {"127.0.0.1:8080", true},
      {"127.255.1.2", true},
      {"127.1", true},
      {"2130706433", true},
      {"0x7f.0.0.1", true},
      {"localhost", true},
      {"LocalHost.:81", true},
      {"a.localhost", true},
      {"10.0.0.1", true},
      {"172.16.0.1", true},
      {"172.31.255.255", true},
      {"192.168.1.1", true},
      {"169.254.1.1", true},
      {"0.0.0.0", true},
      {"[::1]", true},
      {"[::1]:9000", true},
      {"::1", true},
      {"[::]", true},
      {"[fe80::1]", true},
      {"[febf::1]", true},
      {"[fc00::1]", true},
      {"[fd12:3456::1]", true},
      {"[::ffff:10.1.2.3]", true},
      {"[::ffff:127.0.0.1]", true},
      {"0.1.2.3", true},
      {"100.64.0.1", true},
      {"100.100.100.200", true},
      {"100.127.255.255", true},
      {"192.0.0.8", true},
      {"192.0.2.1", true},
      {"198.18.0.1", true},
      {"198.19.255.255", true},
      {"198.51.100.7", true},
      {"203.0.113.9", true},
      {"224.0.0.1", true},
      {"239.255.255.250", true},
      {"240.0.0.1", true},
      {"255.255.255.255", true},
      {"[64:ff9b::7f00:1]", true},
      {"[64:ff9b::a9fe:a9fe]", true},
      {"[64:ff9b:1::808:808]", true},
      {"[::ffff:100.100.100.200]", true},
      {"[::10.0.0.1]", true},
      {"[2002:c0a8:101::1]", true},
      {"[2001:db8::1]", true},
      {"[2001::1]", true},
      {"[2001:1ff::1]", true},
      {"[100::1]", true},
      {"[3fff::1]", true},
      {"[fec0::1]", true},
      {"[ff02::1]", true},
      {"[ff0e::1]", true},
      {"[4000::1]", true},
      {"fe80::1%eth0", true},
      {"100.63.255.255", false},
      {"100.128.0.1", false},
      {"192.0.1.1", false},
      {"198.17.255.255", false},
      {"198.20.0.1", false},
      {"223.255.255.255", false},
      {"[64:ff9b::808:808]", false},
      {"[2002:808:808::1]", false},
      {"[2001:200::1]", false},
      {"[2606:4700::1111]", false},
      {"172.15.255.255", false},
      {"172.32.0.1", false},
      {"192.169.0.1", false},
      {"169.255.0.1", false},
      {"11.0.0.1", false},
      {"8.8.8.8:53", false},
      {"[::ffff:8.8.8.8]", false},
      {"search.example.org", false},
      {"localhost.example.org", false},
      {"10.example", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsLocalNetworkHost(c.host), c.local) << c.host;
    // A name is judged by the address it resolves to, never by its text.
    bool name = std::string_view(c.host).find("ocal") != std::string_view::npos;
    EXPECT_EQ(IsLocalAddressLiteral(c.host), c.local && !name) << c.host;
  }
}

TEST(MayConnectTest, LaterHopsReachLocalAddressesOnlyFromALocalNode) {
  struct Case {
    AddressReach reach;
    bool firstHop, firstHopLocal, local, allowed;
  } cases[] = {
      {AddressReach::kAny, false, false, true, true},
      {AddressReach::kPublicAfterFirstHop, true, false, true, true},
      // A configured name that resolved to a public address: its redirects stay public.
      {AddressReach::kPublicAfterFirstHop, false, false, true, false},
      {AddressReach::kPublicAfterFirstHop, false, false, false, true},
      // ...and one that resolved to a local address is a node on the local network.
      {AddressReach::kPublicAfterFirstHop, false, true, true, true},
      {AddressReach::kPublicOnly, true, false, true, false},
      {AddressReach::kPublicOnly, false, true, true, false},
      {AddressReach::kPublicOnly, true, false, false, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MayConnect(c.reach, c.firstHop, c.firstHopLocal, c.local), c.allowed)
        << static_cast<int>(c.reach) << c.firstHop << c.firstHopLocal << c.local;
}

TEST(LeadsToSelfTest, SameHostAndPortAndTheProgramsPath) {
  struct Case {
    const char* selfHost;
    const char* selfPath;
    const char* url;
    bool self;
  } cases[] = {
      {"search.example", "/quorix.cgi", "http://search.example/quorix.cgi?vexa_query=x", true},
      {"search.example", "/quorix.cgi", "http://SEARCH.Example.:80/quorix.cgi", true},
      {"search.example", "/quorix.cgi", "https://search.example/quorix.cgi", true},
      {"search.example:80", "/quorix.cgi", "http://search.example/quorix.cgi", true},
      {"search.example:8080", "/quorix.cgi", "http://search.example:8080/quorix.cgi?a", true},
      {"search.example", "/quorix.cgi", "http://user@search.example/quorix.cgi", true},
      {"search.example", "/cgi-bin/quorix.cgi", "http://search.example//cgi-bin/./quorix.cgi",
       true},
      {"search.example", "/cgi-bin/quorix.cgi", "http://search.example/x/../cgi-bin/quorix.cgi",
       true},
      {"search.example", "/quorix.cgi", "http://search.example/%71uorix.cgi", true},
      {"search.example", "/quorix.cgi", "http://search.example/quorix.cgi/more", true},
      {"[::1]:81", "/quorix.cgi", "http://[::1]:81/quorix.cgi", true},
      {"search.example", "/quorix.cgi", "http://search.example/quorix.cgi2", false},
      {"search.example", "/quorix.cgi", "http://search.example/other.cgi?quorix.cgi", false},
      {"search.example", "/quorix.cgi", "http://search.example:8080/quorix.cgi", false},
      {"search.example:8080", "/quorix.cgi", "http://search.example/quorix.cgi", false},
      {"search.example:80", "/quorix.cgi", "https://search.example/quorix.cgi", false},
      {"search.example", "/quorix.cgi", "http://other.example/quorix.cgi", false},
      {"search.example", "/quorix.cgi", "http://search.example.org/quorix.cgi", false},
      {"", "/quorix.cgi", "http://search.example/quorix.cgi", false},
      {"search.example", "", "http://search.example/quorix.cgi", false},
      {"search.example", "/quorix.cgi", "/quorix.cgi", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(UrlLeadsToSelf(c.selfHost, c.selfPath, c.url), c.self)
        << c.selfHost << c.selfPath << " <- " << c.url;
}

}  // namespace
}  // namespace quorix
