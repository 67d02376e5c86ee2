// libcurl, loaded when the first remote resource needs it.
#pragma once

#include <curl/curl.h>

namespace platform::xml {

/// The libcurl functions this layer calls. libcurl, and the TLS and
/// protocol libraries it pulls in, are loaded by the first remote resource
/// rather than at start-up, so checking a local document pays nothing for
/// them. Only for .cpp files of this folder.
struct CurlLibrary {
  decltype(&::curl_global_init) global_init;
  decltype(&::curl_easy_init) easy_init;
  decltype(&::curl_easy_cleanup) easy_cleanup;
  decltype(&::curl_easy_setopt) easy_setopt;
  decltype(&::curl_easy_getinfo) easy_getinfo;
  decltype(&::curl_easy_pause) easy_pause;
  decltype(&::curl_easy_strerror) easy_strerror;
  decltype(&::curl_multi_init) multi_init;
  decltype(&::curl_multi_cleanup) multi_cleanup;
  decltype(&::curl_multi_add_handle) multi_add_handle;
  decltype(&::curl_multi_remove_handle) multi_remove_handle;
  decltype(&::curl_multi_perform) multi_perform;
  decltype(&::curl_multi_poll) multi_poll;
  decltype(&::curl_multi_info_read) multi_info_read;
  decltype(&::curl_multi_strerror) multi_strerror;
  decltype(&::curl_url) url;
  decltype(&::curl_url_cleanup) url_cleanup;
  decltype(&::curl_url_set) url_set;
  decltype(&::curl_url_get) url_get;
  decltype(&::curl_free) free;

  /// The library, loaded and globally initialised on the first call (once,
  /// thread-safe); null when it cannot be loaded or initialised.
  static const CurlLibrary* get();
};

} // namespace platform::xml
