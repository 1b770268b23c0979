#include "platform/ip_ranges.h"

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "platform/text.h"

namespace quorix {
namespace {

// An address as 16 bytes (IPv4 in the last four) with its family.
struct IpAddress {
  bool v6 = false;
  std::array<uint8_t, 16> bytes{};
};

std::string_view Trimmed(std::string_view text) {
  size_t start = text.find_first_not_of(" \t");
  if (start == std::string_view::npos) return {};
  size_t end = text.find_last_not_of(" \t");
  return text.substr(start, end - start + 1);
}

bool ParseIp(std::string_view text, IpAddress* address) {
  std::string plain(Trimmed(text));
  if (plain.size() > 2 && plain.front() == '[' && plain.back() == ']')
    plain = plain.substr(1, plain.size() - 2);
  *address = IpAddress();
  if (inet_pton(AF_INET, plain.c_str(), address->bytes.data() + 12) == 1) return true;
  address->v6 = true;
  return inet_pton(AF_INET6, plain.c_str(), address->bytes.data()) == 1;
}

// "ADDRESS" or "ADDRESS/BITS".
bool ParseRange(std::string_view word, IpAddress* base, int* bits) {
  size_t slash = word.find('/');
  if (!ParseIp(word.substr(0, slash), base)) return false;
  const int widest = base->v6 ? 128 : 32;
  *bits = widest;
  if (slash == std::string_view::npos) return true;
  std::string_view digits = word.substr(slash + 1);
  if (digits.empty() || digits.size() > 3) return false;
  int value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  *bits = value;
  return value <= widest;
}

bool InRange(const IpAddress& address, const IpAddress& base, int bits) {
  if (address.v6 != base.v6) return false;
  const int first = address.v6 ? 0 : 12;  // an IPv4 range counts from the address's own bits
  for (int bit = 0; bit < bits; ++bit) {
    int index = first + bit / 8;
    uint8_t mask = static_cast<uint8_t>(0x80 >> (bit % 8));
    if ((address.bytes[index] & mask) != (base.bytes[index] & mask)) return false;
  }
  return true;
}

template <typename Visit>
bool EachWord(const std::string& text, Visit visit) {
  std::string_view rest = text;
  while (!rest.empty()) {
    size_t start = rest.find_first_not_of(" \t,");
    if (start == std::string_view::npos) break;
    rest.remove_prefix(start);
    size_t end = std::min(rest.find_first_of(" \t,"), rest.size());
    if (visit(rest.substr(0, end))) return true;
    rest.remove_prefix(end);
  }
  return false;
}

}  // namespace

bool ValidAddressRanges(const std::string& ranges, std::string* why) {
  return !EachWord(ranges, [&](std::string_view word) {
    IpAddress base;
    int bits = 0;
    if (ParseRange(word, &base, &bits)) return false;
    *why = Format("\"%.*s\" is not an address or CIDR range", static_cast<int>(word.size()),
                  word.data());
    return true;
  });
}

bool AddressInRanges(const std::string& address, const std::string& ranges) {
  IpAddress ip;
  if (!ParseIp(address, &ip)) return false;
  return EachWord(ranges, [&](std::string_view word) {
    IpAddress base;
    int bits = 0;
    return ParseRange(word, &base, &bits) && InRange(ip, base, bits);
  });
}

std::string VisitorKey(const std::string& remote, const std::string& forwardedFor,
                       const std::string& trustedProxies) {
  std::string client = remote;
  if (!trustedProxies.empty() && AddressInRanges(remote, trustedProxies)) {
    // Each proxy appends the address it was reached from: the right-most one
    // that no trusted proxy stands behind is the visitor.
    std::string_view hops = forwardedFor;
    while (!hops.empty()) {
      size_t comma = hops.rfind(',');
      std::string hop(Trimmed(comma == std::string_view::npos ? hops : hops.substr(comma + 1)));
      hops = comma == std::string_view::npos ? std::string_view() : hops.substr(0, comma);
      client = hop;
      if (!AddressInRanges(hop, trustedProxies)) break;
    }
  }
  IpAddress ip;
  if (!ParseIp(client, &ip) && !ParseIp(remote, &ip)) return "";
  char text[INET6_ADDRSTRLEN] = {};
  if (!ip.v6) {
    inet_ntop(AF_INET, ip.bytes.data() + 12, text, sizeof text);
    return text;
  }
  std::fill(ip.bytes.begin() + 8, ip.bytes.end(), 0);
  inet_ntop(AF_INET6, ip.bytes.data(), text, sizeof text);
  return std::string(text) + "/64";
}

}  // namespace quorix
