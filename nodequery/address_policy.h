// Where a node may lead a transfer: which addresses count as the local
// network, and when a URL leads back to this search itself.
#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace quorix {

// Splits "host", "host:port", "[v6]" or "[v6]:port". False for a malformed
// port; `port` is left as it was when the text names none.
bool SplitHostPort(std::string_view text, std::string& host, uint16_t& port);

// True for every address that is not globally routable: loopback, private,
// shared (CGNAT), link-local, documentation, benchmarking, reserved, multicast
// and broadcast IPv4; every IPv6 address outside 2000::/3, and 2001::/23,
// 2001:db8::/32 and 3fff::/20 inside it. IPv6 forms that carry an IPv4
// address (mapped, compatible, NAT64 64:ff9b::/96, 6to4) are judged by that
// address. Anything but an internet address counts as local.
bool IsLocalNetworkAddress(const sockaddr* address);

// True when `hostWithPort` (which may carry ":port"; an IPv6 literal with or
// without brackets) is an address in any form the resolver reads ("127.1",
// "2130706433", "0x7f.0.0.1") and IsLocalNetworkAddress holds for it.
bool IsLocalAddressLiteral(std::string_view hostWithPort);

// IsLocalAddressLiteral, or the name "localhost" or a name under it. Every
// other name counts as public: what it resolves to is checked on connecting.
bool IsLocalNetworkHost(std::string_view hostWithPort);

// Which addresses a transfer may open connections to. Where a description's
// template or a redirect leads is chosen by the node, not by our settings.
enum class AddressReach {
  kAny,                  // the node's configured address is itself local
  kPublicAfterFirstHop,  // the first connection goes where the settings say
  kPublicOnly,           // the target itself came from the node
};

// Whether a transfer may open a connection to an address that is `local` or
// not. `firstHop`: the connection serves the URL the transfer began with.
// `firstHopLocal`: the first hop of this transfer went straight to a local
// address, so the configured host is on the local network whatever its name.
bool MayConnect(AddressReach reach, bool firstHop, bool firstHopLocal, bool local);

// False when a proxy from the environment may carry a connection to `host`:
// the address connected to is then the proxy's, which says nothing of the
// host's.
bool DirectConnection(std::string_view host);
// The hosts never reached through a proxy (the transport's no-proxy list).
inline constexpr const char* kDirectHosts = "127.0.0.1,localhost,::1";

// True when `scheme`://`hostWithPort``path` is this search's own address:
// `selfHost` is the Host the visitor asked (HTTP_HOST, with its port or none)
// and `selfPath` the program's path (SCRIPT_NAME). Hosts compare without case
// and with the scheme's port filled in; a self host without a port stands for
// both 80 and 443. The path, cut at its "?", is compared with its escapes
// decoded and its empty, "." and ".." segments resolved; the program's path
// and anything below it (a path info) match. False when either self part is
// empty.
bool LeadsToSelf(std::string_view selfHost, std::string_view selfPath, std::string_view scheme,
                 std::string_view hostWithPort, std::string_view path);
// The same for an absolute "scheme://host/path?query" URL.
bool UrlLeadsToSelf(std::string_view selfHost, std::string_view selfPath, std::string_view url);

}  // namespace quorix
