// Ending a node's transfer early: the flags that cancel it and the transport's
// progress callback that watches them. Internal to the HTTP client.
#pragma once

#include <atomic>

#include "platform/curl_library.h"

namespace quorix {

// A transfer is cancelled once its connection's own flag (NodeConnection::Cancel)
// or the flag its caller gave (may be null) is set.
struct CancelFlags {
  const std::atomic<bool>* caller = nullptr;
  const std::atomic<bool>* own = nullptr;

  bool Raised() const;
};

// The transport's progress callback; `flags` points to the transfer's
// CancelFlags. Non-zero ends the transfer.
int EndWhenCancelled(void* flags, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

}  // namespace quorix
