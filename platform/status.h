// Every status code of the search program and the control panel, in one
// place so that no two names share a value. 0 is success; failures are
// negative and grouped by thousands; a few positive codes report an outcome
// that is not a failure.
#pragma once

#include <cstdint>

namespace quorix {

using Status = int32_t;

inline constexpr Status kOk = 0;
inline constexpr Status kNodeNotRun = 1;       // node slot disabled or not looked at yet
inline constexpr Status kCachePurgeDone = 18;  // the purge looked at the whole cache directory

// Loading the category names (0 is kOk: loaded).
inline constexpr Status kCategoryNamesOutOfMemory = 4;
// The file could not be read a second time from its start; the caller writes
// "Error seeking in file." and ends the request with exit status 1.
inline constexpr Status kCategoryNamesSeekFailed = 5;

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
// A description's template or a redirect leads back to this search's own address.
inline constexpr Status kNodeLeadsToSelf = -2007;
// The template filled with this query gives a URL longer than a node is sent.
inline constexpr Status kQueryUrlTooLong = -2008;

// Finding an element in an XML document (description documents, node answers);
// a result that does not fit its buffer is kTooLong.
inline constexpr Status kXmlNotFound = -3000;
inline constexpr Status kXmlNoAttribute = -3003;
inline constexpr Status kXmlSelfClosing = -3006;
inline constexpr Status kXmlBadPath = -3008;  // a path directive or name the document cannot have

inline constexpr Status kTooLong = -4000;

inline constexpr Status kNodeTimeoutZero = -5000;
inline constexpr Status kNodeTimeoutExceeded = -5001;
inline constexpr Status kNodeBackedOff = -5002;  // skipped: paused after repeated failures
// Still answering when the page had to be written; its answer comes later.
inline constexpr Status kNodePending = -5003;

// The request itself.
inline constexpr Status kWorkerStartFailed = -7000;      // no thread for a node's query
inline constexpr Status kMergeAllocationFailed = -7001;  // no room for the merged results
// Nothing to search (an empty query, or a page beyond the millionth result):
// the search form has said so.
inline constexpr Status kNothingToSearch = -7002;

// Cache.
inline constexpr Status kCacheOpenFailed = -6001;
// A file that is too short, or whose counts, lengths or indexes do not fit.
inline constexpr Status kCacheReadFailed = -6002;
inline constexpr Status kCacheWriteFailed = -6003;
inline constexpr Status kCacheExpired = -6004;
inline constexpr Status kCacheNotFound = -6005;
inline constexpr Status kCacheAccessError = -6006;
inline constexpr Status kCacheTooSmall = -6007;
// A query whose cache file name would need cleaning (a character a file name
// cannot hold, or too long) is never cached; lookup and write return this.
inline constexpr Status kCacheNameNotUsable = -6008;
inline constexpr Status kCacheOutOfMemory = -6009;  // no room for a cache file's bytes
inline constexpr Status kCacheListFailed = -6010;   // the cache directory could not be listed

// The HTTP client's own failures; the transport's are positive.
inline constexpr Status kHttpNoRequest = -8001;       // no request handle
inline constexpr Status kHttpAddressRefused = -8002;  // a hop would reach a refused address
inline constexpr Status kHttpLeadsToSelf = -8003;     // a redirect leads back to this search
inline constexpr Status kHttpHeaderAbsent = 12150;    // the queried header is not in the response

inline constexpr Status kFewerItemsThanRequested = -9000;
inline constexpr Status kInvalidPage = -10000;

// Reading the CGI request into its form fields (search/request/cgi_form.h). A read
// that succeeds returns kCgiOk, which is kOk; the page shows each failure's
// text (CgiErrorText), never its number.
inline constexpr Status kCgiOk = kOk;
inline constexpr Status kCgiOutOfMemory = -12001;
inline constexpr Status kCgiContentTypeError = -12002;
inline constexpr Status kCgiMethodError = -12003;
inline constexpr Status kCgiIoError = -12004;
inline constexpr Status kCgiValueCut = -12005;  // never produced
inline constexpr Status kCgiNotLegalType = -12006;
inline constexpr Status kCgiNoData = -12007;
inline constexpr Status kCgiNotSubmitted = -12008;

// Control panel: reading the predefined node list. Each failure has been shown
// to the user when returned.
inline constexpr Status kPredefinedOpenFailed = -11001;
inline constexpr Status kPredefinedSizeFailed = -11002;
inline constexpr Status kPredefinedReadFailed = -11003;
inline constexpr Status kPredefinedInvalid = -11004;
inline constexpr Status kPredefinedTooLong = -11005;
inline constexpr Status kPredefinedTagError = -11006;

// The shared store (cache entries, back-off records and visitor counters).
// The request goes on without the store: nothing is stopped by these.
inline constexpr Status kStoreUnavailable = -13001;  // no connection, or no answer in time
inline constexpr Status kStoreRefused = -13002;      // the store refused a command (password, ACL)
inline constexpr Status kStoreBusy = -13003;         // a record kept changing under every attempt

}  // namespace quorix
