#include "config/url_split.h"

#include "platform/curl_library.h"

#include <cstdlib>
#include <memory>

namespace quorix {
namespace {

struct UrlHandleDeleter {
  void operator()(CURLU* handle) const { Curl()->url_cleanup(handle); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlHandleDeleter>;

// Percent-encodes what a canonical URL may not hold as it stands. Returns false
// for control characters, which no URL may hold at all.
bool EncodeUnsafeBytes(std::string_view url, std::string& out) {
  static const char kHex[] = "0123456789ABCDEF";
  out.clear();
  for (unsigned char c : url) {
    if (c < 0x20 || c == 0x7f) return false;
    if (c == ' ' || c >= 0x80) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return true;
}

bool GetPart(CURLU* handle, CURLUPart part, unsigned flags, std::string& value) {
  char* text = nullptr;
  if (Curl()->url_get(handle, part, &text, flags) != CURLUE_OK) return false;
  value = text;
  Curl()->free(text);
  return true;
}

}  // namespace

bool CanonicaliseAndSplitUrl(std::string_view url, SplitUrl& out) {
  std::string encoded;
  if (url.empty() || !EncodeUnsafeBytes(url, encoded)) return false;
  const CurlLibrary* api = Curl();
  if (!api) return false;
  UrlHandle handle(api->url());
  if (!handle) return false;
  if (api->url_set(handle.get(), CURLUPART_URL, encoded.c_str(), CURLU_NON_SUPPORT_SCHEME) !=
      CURLUE_OK)
    return false;

  std::string port, query, fragment;
  if (!GetPart(handle.get(), CURLUPART_URL, 0, out.canonical) ||
      !GetPart(handle.get(), CURLUPART_SCHEME, 0, out.scheme) ||
      !GetPart(handle.get(), CURLUPART_HOST, 0, out.host) ||
      !GetPart(handle.get(), CURLUPART_PATH, 0, out.path))
    return false;
  if (out.host.empty()) return false;
  if (GetPart(handle.get(), CURLUPART_QUERY, 0, query)) out.path += "?" + query;
  if (GetPart(handle.get(), CURLUPART_FRAGMENT, 0, fragment)) out.path += "#" + fragment;
  out.port = 0;
  if (GetPart(handle.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT, port)) {
    long number = std::strtol(port.c_str(), nullptr, 10);
    if (number > 0 && number <= 65535) out.port = static_cast<uint16_t>(number);
  }
  return out.canonical.size() <= kUrlCanonicalMax && out.scheme.size() <= kUrlSchemeMax &&
         out.host.size() <= kUrlHostMax && out.path.size() <= kUrlPathMax;
}

std::string HostWithPort(const SplitUrl& parts) {
  bool defaultPort = parts.port == 0 || (parts.scheme == "http" && parts.port == 80) ||
                     (parts.scheme == "https" && parts.port == 443);
  return defaultPort ? parts.host : parts.host + ":" + std::to_string(parts.port);
}

std::string_view HostWithoutPort(std::string_view host) {
  size_t colon = host.rfind(':');
  if (colon == std::string_view::npos || colon + 1 == host.size() ||
      host.find_first_not_of("0123456789", colon + 1) != std::string_view::npos)
    return host;
  return host.substr(0, colon);
}

}  // namespace quorix
