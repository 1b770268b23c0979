// Status codes shared by the search program and the control panel.
// 0 is success; failures are negative and grouped by thousands.
#pragma once

#include <cstdint>

namespace quorix {

using Status = int32_t;

inline constexpr Status kOk = 0;
inline constexpr Status kNodeNotRun = 1;  // node slot disabled or not looked at yet

// Description document.
inline constexpr Status kDescUrlEmpty = -1000;
inline constexpr Status kDescConnectFailed = -1001;
inline constexpr Status kDescSendFailed = -1002;
inline constexpr Status kDescNoResponse = -1003;
inline constexpr Status kQuerySyntaxUnsupported = -1004;
inline constexpr Status kDescNotRecognised = -1005;

// Query server and response format.
inline constexpr Status kQueryUrlEmpty = -2000;
inline constexpr Status kQueryConnectFailed = -2001;
inline constexpr Status kQuerySendFailed = -2002;
inline constexpr Status kQueryNoResponse = -2003;
inline constexpr Status kResponseNotRecognised = -2005;
inline constexpr Status kResponseMalformed = -2006;

inline constexpr Status kTooLong = -4000;

inline constexpr Status kNodeTimeoutZero = -5000;
inline constexpr Status kNodeTimeoutExceeded = -5001;
inline constexpr Status kNodeBackedOff = -5002;  // skipped: paused after repeated failures

// The request itself.
inline constexpr Status kWorkerStartFailed = -7000;     // no thread for a node's query
inline constexpr Status kMergeAllocationFailed = -7001;  // no room for the merged results

// Cache.
inline constexpr Status kCacheOpenFailed = -6001;
inline constexpr Status kCacheWriteFailed = -6003;
inline constexpr Status kCacheExpired = -6004;
inline constexpr Status kCacheNotFound = -6005;
inline constexpr Status kCacheAccessError = -6006;
inline constexpr Status kCacheTooSmall = -6007;

inline constexpr Status kFewerItemsThanRequested = -9000;
inline constexpr Status kInvalidPage = -10000;

}  // namespace quorix
