// What the header lines of a transfer's responses say about where it stands.
#pragma once

#include <string>
#include <string_view>

namespace platform::xml {

/// Follows the header lines of every response of one transfer, in the order
/// they arrive, each with its line end: informational (1xx) responses,
/// redirects and the final response. It tells whether the headers of the
/// final response are complete, which is when its body begins, and keeps
/// that response's reason phrase. Lines outside a response's headers
/// (trailers after a chunked body) are ignored.
class ResponseHeaders {
public:
  /// Takes one line as received, "\r\n" or "\n" included. A line that starts
  /// with "HTTP/" begins a response's headers; a blank line ends them.
  void take(std::string_view line);

  /// Whether a status line has come and the blank line after its headers has
  /// not.
  bool inHeaders() const { return inside; }
  /// Whether the headers of a response that is neither informational nor a
  /// 3xx with a Location header (one libcurl follows) have ended. Once true,
  /// it stays true.
  bool finalHeadersIn() const { return finalIn; }
  /// The reason phrase of the latest status line, without trailing spaces;
  /// empty when it has none (HTTP/2 sends none).
  const std::string& reason() const { return reasonPhrase; }

private:
  void startResponse(std::string_view statusLine);
  void endHeaders();

  bool inside = false;
  long status = 0;
  std::string reasonPhrase;
  bool hasLocation = false;
  bool finalIn = false;
};

} // namespace platform::xml
