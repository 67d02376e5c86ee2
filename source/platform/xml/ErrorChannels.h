// libxml2's thread-wide error channels, routed for a while.
#pragma once

struct _xmlError;

namespace platform::xml {

/// Routes libxml2's structured error channel to handler (null: nowhere)
/// and silences its generic one for the lifetime of the object; restores
/// both afterwards. libxml2 itself then prints nothing.
class ErrorChannels {
public:
  using Handler = void (*)(void* data, _xmlError* error);
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
