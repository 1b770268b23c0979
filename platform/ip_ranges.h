// The client a request comes from, for the per-visitor limit: the connecting
// address, or behind a trusted proxy the address the proxies name.
#pragma once

#include <string>

namespace quorix {

// True when every word of `ranges` (space-separated) is an IPv4 or IPv6
// address or CIDR range; otherwise false with the first bad word in `why`.
bool ValidAddressRanges(const std::string& ranges, std::string* why);

// True when `address` lies in one of `ranges`.
bool AddressInRanges(const std::string& address, const std::string& ranges);

// The key a visitor's requests are counted under: `remote` (REMOTE_ADDR), or,
// when it is one of `trustedProxies`, the right-most address of
// `forwardedFor` (X-Forwarded-For) that is not; an IPv6 address stands for
// its /64. Empty when there is no usable address.
std::string VisitorKey(const std::string& remote, const std::string& forwardedFor,
                       const std::string& trustedProxies);

}  // namespace quorix
