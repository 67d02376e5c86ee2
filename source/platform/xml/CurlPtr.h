// Owning pointers for libcurl handles; only for .cpp files of this folder.
#pragma once

#include <memory>

#include "platform/xml/CurlLibrary.h"

namespace platform::xml {

// Every handle is made after CurlLibrary::get() has returned the library, so
// the deleters find it loaded. CURL and CURLM may both be void in libcurl's
// public header, so each handle kind gets its own deleter.
struct EasyDeleter {
  void operator()(CURL* handle) const noexcept { CurlLibrary::get()->easy_cleanup(handle); }
};
struct MultiDeleter {
  void operator()(CURLM* handle) const noexcept { CurlLibrary::get()->multi_cleanup(handle); }
};
struct UrlDeleter {
  void operator()(CURLU* handle) const noexcept { CurlLibrary::get()->url_cleanup(handle); }
};
/// For text that libcurl allocated and the caller must free with curl_free.
struct CurlTextDeleter {
  void operator()(char* text) const noexcept { CurlLibrary::get()->free(text); }
};

using EasyPtr = std::unique_ptr<CURL, EasyDeleter>;
using MultiPtr = std::unique_ptr<CURLM, MultiDeleter>;
using UrlPtr = std::unique_ptr<CURLU, UrlDeleter>;
using CurlTextPtr = std::unique_ptr<char, CurlTextDeleter>;

} // namespace platform::xml
