#include "platform/curl_library.h"

#include <dlfcn.h>

#include <mutex>

namespace quorix {
namespace {

constexpr const char* kLibraryName = "libcurl.so.4";

struct Loaded {
  CurlLibrary library{};
  bool ok = false;
  std::string error;
};

template <typename Function>
bool Resolve(void* handle, const char* name, Function& function, std::string& error) {
  function = reinterpret_cast<Function>(dlsym(handle, name));
  if (!function) error = std::string(kLibraryName) + " has no " + name;
  return function != nullptr;
}

bool ResolveAll(void* handle, CurlLibrary& c, std::string& error) {
  return Resolve(handle, "curl_easy_init", c.easy_init, error) &&
         Resolve(handle, "curl_easy_cleanup", c.easy_cleanup, error) &&
         Resolve(handle, "curl_easy_reset", c.easy_reset, error) &&
         Resolve(handle, "curl_easy_perform", c.easy_perform, error) &&
         Resolve(handle, "curl_easy_setopt", c.easy_setopt, error) &&
         Resolve(handle, "curl_easy_getinfo", c.easy_getinfo, error) &&
         Resolve(handle, "curl_easy_strerror", c.easy_strerror, error) &&
         Resolve(handle, "curl_slist_append", c.slist_append, error) &&
         Resolve(handle, "curl_slist_free_all", c.slist_free_all, error) &&
         Resolve(handle, "curl_url", c.url, error) &&
         Resolve(handle, "curl_url_cleanup", c.url_cleanup, error) &&
         Resolve(handle, "curl_url_get", c.url_get, error) &&
         Resolve(handle, "curl_url_set", c.url_set, error) &&
         Resolve(handle, "curl_free", c.free, error) &&
         Resolve(handle, "curl_share_init", c.share_init, error) &&
         Resolve(handle, "curl_share_setopt", c.share_setopt, error);
}

void Load(Loaded& loaded) {
  void* handle = dlopen(kLibraryName, RTLD_LAZY | RTLD_LOCAL);
  if (!handle) {
    const char* reason = dlerror();
    loaded.error = reason ? reason : std::string("cannot load ") + kLibraryName;
    return;
  }
  using GlobalInit = CURLcode (*)(long);
  GlobalInit globalInit = nullptr;
  if (!Resolve(handle, "curl_global_init", globalInit, loaded.error) ||
      !ResolveAll(handle, loaded.library, loaded.error))
    return;
  if (globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
    loaded.error = std::string(kLibraryName) + " could not be initialised";
    return;
  }
  loaded.ok = true;  // the library stays loaded for the life of the process
}

Loaded& Library() {
  static Loaded* loaded = new Loaded;  // never destroyed: workers may outlive main
  static std::once_flag once;
  std::call_once(once, [] { Load(*loaded); });
  return *loaded;
}

}  // namespace

const CurlLibrary* Curl() {
  Loaded& loaded = Library();
  return loaded.ok ? &loaded.library : nullptr;
}

std::string CurlLoadError() { return Library().error; }

}  // namespace quorix
