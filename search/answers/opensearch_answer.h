// The search's own OpenSearch description document, which lets browsers and
// other search front ends find its query addresses.
#pragma once

#include <string>

#include "config/settings.h"
#include "search/answers/answers.h"

namespace quorix {

// "https://host/script" (or http); empty when the host is missing or holds
// characters no host may have.
std::string SelfUrl(const SelfAddress& address);

// The address the description's templates point at: the settings'
// PublicBaseUrl when usable, otherwise the one the request names.
std::string DescriptionBaseUrl(const Config& config, const SelfAddress& address);

}  // namespace quorix
