#include "platform/xml/CurlLibrary.h"

#include "platform/xml/SharedLibrary.h"

namespace platform::xml {

namespace {

// The soname of the libcurl that Debian's libcurl4 packages install, or
// the DLL beside vexlor.exe (set in the top CMakeLists.txt, which the
// package's Depends follows).
const char* const curlSoname = VEXLOR_CURL_SONAME;

template <typename Function>
bool resolve(void* library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(SharedLibrary::symbol(library, name));
  return function != nullptr;
}

const CurlLibrary* load() {
  static CurlLibrary curl;
  // Kept loaded until the process ends: libcurl's global state lives there.
  void* library = SharedLibrary::load(curlSoname);
  if (library == nullptr) {
    return nullptr;
  }
  const bool complete =
      resolve(library, "curl_global_init", curl.global_init) &&
      resolve(library, "curl_easy_init", curl.easy_init) &&
      resolve(library, "curl_easy_cleanup", curl.easy_cleanup) &&
      resolve(library, "curl_easy_setopt", curl.easy_setopt) &&
      resolve(library, "curl_easy_getinfo", curl.easy_getinfo) &&
      resolve(library, "curl_easy_pause", curl.easy_pause) &&
      resolve(library, "curl_easy_strerror", curl.easy_strerror) &&
      resolve(library, "curl_multi_init", curl.multi_init) &&
      resolve(library, "curl_multi_cleanup", curl.multi_cleanup) &&
      resolve(library, "curl_multi_add_handle", curl.multi_add_handle) &&
      resolve(library, "curl_multi_remove_handle", curl.multi_remove_handle) &&
      resolve(library, "curl_multi_perform", curl.multi_perform) &&
      resolve(library, "curl_multi_poll", curl.multi_poll) &&
      resolve(library, "curl_multi_info_read", curl.multi_info_read) &&
      resolve(library, "curl_multi_strerror", curl.multi_strerror) &&
      resolve(library, "curl_url", curl.url) &&
      resolve(library, "curl_url_cleanup", curl.url_cleanup) &&
      resolve(library, "curl_url_set", curl.url_set) &&
      resolve(library, "curl_url_get", curl.url_get) &&
      resolve(library, "curl_free", curl.free);
  if (!complete || curl.global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
    return nullptr;
  }
  return &curl;
}

} // namespace

const CurlLibrary* CurlLibrary::get() {
  static const CurlLibrary* const library = load();
  return library;
}

} // namespace platform::xml
