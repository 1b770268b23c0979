// Transport handles kept between searches by a long-running process, so that
// a node asked again reuses its open connection (and TLS session) instead of
// opening a new one. Internal to the HTTP client.
//
// Each kept handle holds at most one idle connection, to the endpoint it is
// kept for; handles of one process also share their DNS answers and TLS
// sessions. The transport checks that an idle connection is still open before
// it reuses it. A handle is kept only after a clean transfer straight to its
// endpoint, and at most kMaxKeptHandles are kept at once. Without keeping
// (a CGI run) every transfer gets a new handle that is cleaned up after it.
#pragma once

#include <cstddef>
#include <string>

#include "platform/curl_library.h"

namespace quorix {

inline constexpr size_t kMaxKeptHandles = 128;

// A handle for transfers to `endpointKey` (whatever tells two endpoints and
// their connection rules apart): one kept from an earlier transfer, or a new
// one. Null when the transport cannot make one. Thread-safe.
CURL* TakeHandle(const CurlLibrary& api, const std::string& endpointKey);

// Hands back a handle from TakeHandle. `reusable` says that its last transfer
// ended cleanly on a connection to its own endpoint; any other handle, or one
// past the limit, is cleaned up. Thread-safe.
void GiveBackHandle(const CurlLibrary& api, const std::string& endpointKey, CURL* handle,
                    bool reusable);

// Points `handle` at the process's shared DNS answers and TLS sessions, when
// connections are kept. Called after every reset of the handle's options.
void UseSharedCaches(const CurlLibrary& api, CURL* handle);

// How many handles are kept now.
size_t KeptHandleCount();

}  // namespace quorix
