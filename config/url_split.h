// Canonicalising a URL and splitting it into the parts the node records keep.
// Used by the control panel wherever a node URL is read or typed in.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quorix {

struct SplitUrl {
  std::string canonical;  // the whole URL in canonical form
  std::string scheme;     // lower case, without "://"
  std::string host;
  uint16_t port = 0;  // the explicit port, else the scheme's default, else 0
  std::string path;   // from the first "/" on, query and fragment included
};

// Capacities of the parts in UTF-16 units, terminator excluded.
inline constexpr size_t kUrlCanonicalMax = 2083;
inline constexpr size_t kUrlSchemeMax = 31;
inline constexpr size_t kUrlHostMax = 255;
inline constexpr size_t kUrlPathMax = 2047;

// Checks that `url` is an absolute URL with a scheme and a host, canonicalises it
// (spaces and bytes outside ASCII percent-encoded, dot segments resolved, scheme
// in lower case) and splits it. Returns false, with `out` unspecified, when the
// text is not such a URL, holds a control character, or a part exceeds its
// capacity.
bool CanonicaliseAndSplitUrl(std::string_view url, SplitUrl& out);

// The host as the node records keep it: `parts.host`, followed by ":<port>"
// when the URL named a port other than its scheme's default, so that a node on
// another port is written to the settings and queried there.
std::string HostWithPort(const SplitUrl& parts);

// `host` without a trailing ":<port>".
std::string_view HostWithoutPort(std::string_view host);

}  // namespace quorix
