// libxml2 inputs over http:// and https://, for the external entity loader.
#pragma once

#include <string>

struct _xmlParserCtxt;
struct _xmlParserInput;

namespace platform::xml {

/// Receives the failures of remote inputs (open, or later while reading).
class TransportErrorSink {
public:
  /// url is the URL as it was asked for; reason says what failed, e.g.
  /// "HTTP status 404 (Not Found)". Called at most once per input.
  virtual void transportFailed(const std::string& url, const std::string& reason) = 0;

protected:
  ~TransportErrorSink() = default;
};

/// true for http:// and https:// (scheme case-insensitive).
bool isRemoteUrl(const std::string& url);

/// Opens url as a libxml2 input of context: streams the body through a
/// RemoteResource (xmlParserInputBufferCreateIO + xmlNewIOInputStream), with
/// input->filename set to the FINAL url after redirects (so relative
/// references resolve against it). The input detects its encoding from the
/// body, as for a local file. On failure calls sink.transportFailed(url,
/// reason) and returns null. A read failure later also goes to the sink (the
/// sink must outlive the input); libxml2 then sees the end of the input.
/// Nothing is thrown, whatever the sink does.
_xmlParserInput* openRemoteInput(_xmlParserCtxt* context, const std::string& url,
                                 TransportErrorSink& sink) noexcept;

} // namespace platform::xml
