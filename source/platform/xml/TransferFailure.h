// How a failed transfer of a remote resource is put into words; only for
// .cpp files of this folder.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include <curl/curl.h>

namespace platform::xml {

/// What the transport knew when libcurl ended a transfer with an error, and
/// the failure text that follows from it, in the words that
/// RemoteResource::errorText() lists (before escapeControls). Nothing here
/// calls libcurl: the transport gathers the facts first.
struct TransferFailure {
  CURLcode result = CURLE_OK;
  /// libcurl's error buffer for the transfer; empty when it holds nothing.
  std::string errorBuffer;
  /// libcurl's general text for result (curl_easy_strerror).
  std::string resultText;
  /// The URL being fetched when the transfer failed: after the redirects
  /// followed so far, the one libcurl refused.
  std::string url;
  /// The host of url, or url itself when libcurl cannot parse it.
  std::string host;
  /// Whether the URL first asked for was https.
  bool secure = false;
  /// The system's errno of the last connection attempt, 0 when none.
  long osError = 0;
  /// Whether the last connection got through, TLS handshake included.
  bool connected = false;
  /// Whether a TCP connection to the server stood, whatever happened on it
  /// afterwards.
  bool tcpConnected = false;
  /// Where the response headers stood (ResponseHeaders).
  bool inHeaders = false;
  bool finalHeadersIn = false;
  /// The limits of the transfer, named in the texts of the failures they cause.
  long maxRedirects = 0;
  std::chrono::seconds connectTimeout{0};
  std::chrono::seconds stallTimeout{0};

  /// E.g. "connection refused", "host not found: h", "timeout: no data for 30
  /// seconds", "TLS handshake failed: <detail>", "not an HTTP response";
  /// otherwise "transfer failed: " and libcurl's detail (its error buffer,
  /// else resultText).
  std::string text() const;
};

/// "HTTP status 404 (Not Found)": status with reason, or with the standard
/// phrase for status when reason is empty, or alone when there is none.
std::string httpStatusText(long status, const std::string& reason);

/// Whether failureText, as text() or httpStatusText() put it, says that
/// there is nothing at the URL: no such host, a refused connection, HTTP
/// status 404 or 410. A time-out, a TLS failure or any other status may be
/// passing, and says no such thing.
bool saysNothingIsThere(std::string_view failureText);

/// text with every byte below 0x20 and 0x7f replaced by \t, \n, \r, \e
/// (escape) or \xHH (two lower-case hex digits); every other byte, a
/// backslash included, is kept as it is.
std::string escapeControls(std::string_view text);

} // namespace platform::xml
