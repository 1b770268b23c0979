// The HTTP library (libcurl), loaded when it is first needed rather than when
// the program starts: loading it and the libraries it depends on costs more
// than a whole search answered from the cache, which never needs it.
#pragma once

#include <curl/curl.h>

#include <string>

namespace quorix {

// The library's functions that Quorix calls.
struct CurlLibrary {
  CURL* (*easy_init)();
  void (*easy_cleanup)(CURL*);
  void (*easy_reset)(CURL*);
  CURLcode (*easy_perform)(CURL*);
  CURLcode (*easy_setopt)(CURL*, CURLoption, ...);
  CURLcode (*easy_getinfo)(CURL*, CURLINFO, ...);
  const char* (*easy_strerror)(CURLcode);
  curl_slist* (*slist_append)(curl_slist*, const char*);
  void (*slist_free_all)(curl_slist*);
  CURLU* (*url)();
  void (*url_cleanup)(CURLU*);
  CURLUcode (*url_get)(const CURLU*, CURLUPart, char**, unsigned int);
  CURLUcode (*url_set)(CURLU*, CURLUPart, const char*, unsigned int);
  void (*free)(void*);
  CURLSH* (*share_init)();
  CURLSHcode (*share_setopt)(CURLSH*, CURLSHoption, ...);
};

// The library, loaded and initialised on the first call (thread-safe). Null
// when it cannot be loaded; `CurlLoadError` then says why.
const CurlLibrary* Curl();
std::string CurlLoadError();

}  // namespace quorix
