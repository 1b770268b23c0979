// The search's own OpenSearch description document, which lets browsers and
// other search front ends find its query addresses.
#pragma once

#include <string>

#include "config/settings.h"

namespace quorix {

// Where this program is reached, from the request's HTTPS, HTTP_HOST and
// SCRIPT_NAME.
struct SelfAddress {
  bool https = false;  // HTTPS is "on" (any case) or "1"
  std::string host;    // HTTP_HOST, with its port
  std::string script;  // SCRIPT_NAME
};

// "https://host/script" (or http); empty when the host is missing or holds
// characters no host may have.
std::string SelfUrl(const SelfAddress& address);

// True when `url` can stand as the program's public address: http:// or
// https://, then a host, and no space, control character, quote, angle
// bracket, query or fragment.
bool UsablePublicBaseUrl(const std::string& url);

// The address the description's templates point at: the settings'
// PublicBaseUrl when usable, otherwise the one the request names.
std::string DescriptionBaseUrl(const Config& config, const SelfAddress& address);

// The OpenSearch 1.1 description: ShortName and Description from the
// settings, and one Url template each for text/html, application/rss+xml and
// application/json pointing back at this program.
std::string OpenSearchDescriptionDocument(const Config& config, const SelfAddress& address);

}  // namespace quorix
