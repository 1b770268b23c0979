#include "nodequery/address_policy.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <vector>

#include "platform/text.h"

namespace quorix {
namespace {

constexpr uint16_t kDefaultHttpPort = 80;
constexpr uint16_t kDefaultHttpsPort = 443;

bool ParsePort(std::string_view text, uint16_t& port) {
  if (text.empty()) return false;
  unsigned value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value == 0 || value > 65535)
    return false;
  port = static_cast<uint16_t>(value);
  return true;
}

bool IsLocalIpv4(uint32_t address) {
  struct Range {
    uint32_t prefix, mask;
  } constexpr kLocal[] = {
      {0x00000000, 0xFF000000},  // 0.0.0.0/8 "this network"
      {0x0A000000, 0xFF000000},  // 10/8
      {0x64400000, 0xFFC00000},  // 100.64/10 shared (CGNAT)
      {0x7F000000, 0xFF000000},  // 127/8
      {0xA9FE0000, 0xFFFF0000},  // 169.254/16
      {0xAC100000, 0xFFF00000},  // 172.16/12
      {0xC0000000, 0xFFFFFF00},  // 192.0.0/24 protocol assignments
      {0xC0000200, 0xFFFFFF00},  // 192.0.2/24 documentation
      {0xC0A80000, 0xFFFF0000},  // 192.168/16
      {0xC6120000, 0xFFFE0000},  // 198.18/15 benchmarking
      {0xC6336400, 0xFFFFFF00},  // 198.51.100/24 documentation
      {0xCB007100, 0xFFFFFF00},  // 203.0.113/24 documentation
      {0xE0000000, 0xF0000000},  // 224/4 multicast
      {0xF0000000, 0xF0000000},  // 240/4 reserved, 255.255.255.255 included
  };
  for (const Range& range : kLocal)
    if ((address & range.mask) == range.prefix) return true;
  return false;
}

uint32_t Ipv4At(const uint8_t* b) {
  return uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | b[3];
}

bool IsLocalIpv6(const in6_addr& address) {
  const uint8_t* b = address.s6_addr;
  constexpr uint8_t kZero[10] = {};
  constexpr uint8_t kNat64[12] = {0x00, 0x64, 0xFF, 0x9B};
  bool zeroPrefix = std::equal(kZero, kZero + 10, b);
  // ::a.b.c.d (with :: and ::1), ::ffff:a.b.c.d and 64:ff9b::a.b.c.d.
  if ((zeroPrefix && ((b[10] == 0 && b[11] == 0) || (b[10] == 0xFF && b[11] == 0xFF))) ||
      std::equal(kNat64, kNat64 + 12, b))
    return IsLocalIpv4(Ipv4At(b + 12));
  if (b[0] == 0x20 && b[1] == 0x02) return IsLocalIpv4(Ipv4At(b + 2));      // 6to4
  if ((b[0] & 0xE0) != 0x20) return true;                                   // outside 2000::/3
  return (b[0] == 0x20 && b[1] == 0x01 && (b[2] & 0xFE) == 0x00) ||         // 2001::/23
         (b[0] == 0x20 && b[1] == 0x01 && b[2] == 0x0D && b[3] == 0xB8) ||  // 2001:db8::/32
         (b[0] == 0x3F && b[1] == 0xFF && (b[2] & 0xF0) == 0x00);           // 3fff::/20
}

// The host of "host", "host:port", "[v6]:port" or a bare IPv6 address,
// without brackets, trailing dots or capitals.
std::string BareHost(std::string_view hostWithPort) {
  std::string host(hostWithPort);
  uint16_t port = 0;
  bool bareIpv6 = std::count(host.begin(), host.end(), ':') > 1 && host.front() != '[';
  if (!bareIpv6 && !SplitHostPort(hostWithPort, host, port)) host = std::string(hostWithPort);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
    host = host.substr(1, host.size() - 2);
  while (!host.empty() && host.back() == '.') host.pop_back();
  return AsciiLower(host);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(c | 0x20);
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The path before any "?" or "#", escapes decoded, with its empty and "."
// segments dropped and each ".." taking the segment before it.
std::string CanonicalPath(std::string_view path) {
  path = path.substr(0, path.find_first_of("?#"));
  std::string decoded;
  for (size_t i = 0; i < path.size(); ++i) {
    int high = i + 2 < path.size() && path[i] == '%' ? HexDigit(path[i + 1]) : -1;
    int low = high >= 0 ? HexDigit(path[i + 2]) : -1;
    if (low >= 0) {
      decoded += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      decoded += path[i];
    }
  }
  std::vector<std::string_view> segments;
  std::string_view rest = decoded;
  while (!rest.empty()) {
    size_t slash = rest.find('/');
    std::string_view segment = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
  }
  std::string out;
  for (std::string_view segment : segments) out.append("/").append(segment);
  return out.empty() ? "/" : out;
}

}  // namespace

bool SplitHostPort(std::string_view text, std::string& host, uint16_t& port) {
  size_t colon = std::string_view::npos;
  if (!text.empty() && text.front() == '[') {
    size_t close = text.find(']');
    if (close == std::string_view::npos) return false;
    if (close + 1 < text.size()) {
      if (text[close + 1] != ':') return false;
      colon = close + 1;
    }
  } else {
    colon = text.rfind(':');
  }
  if (colon == std::string_view::npos) {
    host = std::string(text);
    return true;
  }
  host = std::string(text.substr(0, colon));
  return ParsePort(text.substr(colon + 1), port);
}

bool IsLocalNetworkAddress(const sockaddr* address) {
  if (address->sa_family == AF_INET)
    return IsLocalIpv4(ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr));
  if (address->sa_family == AF_INET6)
    return IsLocalIpv6(reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr);
  return true;  // not an internet address: nothing a node should lead us to
}

bool IsLocalAddressLiteral(std::string_view hostWithPort) {
  std::string host = BareHost(hostWithPort);
  sockaddr_in v4{};
  v4.sin_family = AF_INET;
  // inet_aton also reads the short and numeric forms ("127.1", "2130706433").
  if (inet_aton(host.c_str(), &v4.sin_addr) != 0)
    return IsLocalNetworkAddress(reinterpret_cast<const sockaddr*>(&v4));
  sockaddr_in6 v6{};
  v6.sin6_family = AF_INET6;
  if (inet_pton(AF_INET6, host.substr(0, host.find('%')).c_str(), &v6.sin6_addr) == 1)
    return IsLocalNetworkAddress(reinterpret_cast<const sockaddr*>(&v6));
  return false;
}

bool IsLocalNetworkHost(std::string_view hostWithPort) {
  std::string host = BareHost(hostWithPort);
  return host == "localhost" || host.ends_with(".localhost") || IsLocalAddressLiteral(host);
}

bool MayConnect(AddressReach reach, bool firstHop, bool firstHopLocal, bool local) {
  if (reach == AddressReach::kAny || !local) return true;
  return reach == AddressReach::kPublicAfterFirstHop && (firstHop || firstHopLocal);
}

bool DirectConnection(std::string_view host) {
  std::string bare = BareHost(host);
  std::string_view list = kDirectHosts;
  for (size_t start = 0; start <= list.size();) {
    size_t comma = std::min(list.find(',', start), list.size());
    if (list.substr(start, comma - start) == bare) return true;
    start = comma + 1;
  }
  for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return false;
  }
  return true;
}

bool LeadsToSelf(std::string_view selfHost, std::string_view selfPath, std::string_view scheme,
                 std::string_view hostWithPort, std::string_view path) {
  if (selfHost.empty() || selfPath.empty()) return false;
  std::string self, host;
  uint16_t selfPort = 0;  // none named
  uint16_t port = AsciiLower(scheme) == "https" ? kDefaultHttpsPort : kDefaultHttpPort;
  if (!SplitHostPort(selfHost, self, selfPort) || !SplitHostPort(hostWithPort, host, port))
    return false;
  if (BareHost(self) != BareHost(host)) return false;
  if (selfPort != 0 ? selfPort != port : port != kDefaultHttpPort && port != kDefaultHttpsPort)
    return false;
  std::string own = CanonicalPath(selfPath), target = CanonicalPath(path);
  return target == own || target.starts_with(own == "/" ? own : own + "/");
}

bool UrlLeadsToSelf(std::string_view selfHost, std::string_view selfPath, std::string_view url) {
  size_t schemeEnd = url.find("://");
  if (schemeEnd == std::string_view::npos) return false;
  std::string_view rest = url.substr(schemeEnd + 3);
  size_t authorityEnd = std::min(rest.find_first_of("/?#"), rest.size());
  std::string_view authority = rest.substr(0, authorityEnd);
  if (size_t at = authority.rfind('@'); at != std::string_view::npos)
    authority = authority.substr(at + 1);
  return LeadsToSelf(selfHost, selfPath, url.substr(0, schemeEnd), authority,
                     rest.substr(authorityEnd));
}

}  // namespace quorix
