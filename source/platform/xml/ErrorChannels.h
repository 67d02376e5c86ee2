// libxml2's thread-wide error channels, routed for a while.
#pragma once

#include <libxml/xmlerror.h>

namespace platform::xml {

namespace detail {
template <typename Handler> struct ErrorArgument;
template <typename Data, typename Error> struct ErrorArgument<void (*)(Data, Error)> {
  using type = Error;
};
} // namespace detail

/// What libxml2 hands a structured error handler: a const xmlError* from
/// 2.12 on, a mutable one before. Handlers take this type, so that one
/// source compiles against every series.
using LibxmlError = detail::ErrorArgument<xmlStructuredErrorFunc>::type;

/// Routes libxml2's structured error channel to handler (null: nowhere)
/// and silences its generic one for the lifetime of the object; restores
/// both afterwards. libxml2 itself then prints nothing.
class ErrorChannels {
public:
  using Handler = xmlStructuredErrorFunc;
  using GenericHandler = void (*)(void* data, const char* format, ...);

  ErrorChannels(void* data, Handler handler);
  ErrorChannels(const ErrorChannels&) = delete;
  ErrorChannels& operator=(const ErrorChannels&) = delete;
  ~ErrorChannels();

private:
  Handler structured;
  void* structuredData;
  GenericHandler generic;
  void* genericData;
};

} // namespace platform::xml
