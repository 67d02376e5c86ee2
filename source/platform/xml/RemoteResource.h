// One http:// or https:// resource, fetched with libcurl and read as a stream.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace platform::xml {

/// One http or https resource whose body is pulled through read(). The
/// constructor performs the request until the headers of the final response
/// (after redirects) are in, so finalUrl() and status() are known before the
/// first read. The body stays in the network until read: the resource never
/// holds more than Options::maxBufferedBytes of it, whatever its size.
///
/// Failures never leave as exceptions (only std::bad_alloc may): failed()
/// turns true and errorText() says what went wrong, without the URL, e.g.
/// "HTTP status 404 (Not Found)", "connection refused", "host not found: h",
/// "timeout: no data for 30 seconds", "too many redirects (more than 5)",
/// "TLS certificate verification failed: <libcurl's detail>",
/// "TLS handshake failed: <libcurl's detail>",
/// "TLS handshake failed: no answer within 20 seconds" (the TCP connection
/// stood; "connect timeout: no connection within 20 seconds" is for none),
/// "not an HTTP response" (HTTP/0.9, a status line that is not HTTP's),
/// "response headers too large",
/// "redirect from https to http refused: <target URL>",
/// "unsupported URL scheme \"ftp\" (only http and https are fetched)".
/// A final status other than 2xx is a failure. An https resource is never
/// redirected to http.
///
/// errorText() never holds a control character, wherever its text came from
/// (a reason phrase or a URL sent by the server, libcurl's detail): bytes
/// below 0x20 and 0x7f appear as \t, \n, \r, \e (escape) or \xHH (two
/// lower-case hex digits), so a server cannot act on the terminal that
/// shows the message. A backslash is kept as it is, so the form is for
/// reading, not for decoding.
///
/// libcurl is initialised on the first construction only, so a run that
/// never fetches a URL never pays for it.
class RemoteResource {
public:
  /// Limits of one transfer. A default-constructed Options holds the
  /// shipped values; only tests change them.
  struct Options {
    Options();

    /// Redirects followed before the transfer fails.
    long maxRedirects;
    /// Longest wait for the connection, TLS handshake included.
    std::chrono::seconds connectTimeout;
    /// Longest time without a byte received before the transfer fails.
    std::chrono::seconds stallTimeout;
    /// Most body bytes held at once (raised to libcurl's delivery size,
    /// 16 KiB, if lower).
    std::size_t maxBufferedBytes;
    /// A PEM file whose certificate authorities replace libcurl's default
    /// bundle for https; empty (the shipped value) keeps that bundle.
    std::string certificateAuthorities;
  };

  /// Opens url with options; without them, with defaults().
  explicit RemoteResource(const std::string& url, const Options& options = defaults());
  RemoteResource(const RemoteResource&) = delete;
  RemoteResource& operator=(const RemoteResource&) = delete;
  ~RemoteResource();

  /// Copies up to size bytes of the body into buffer, waiting for the
  /// network if none are held. Returns the count copied, 0 at the end of the
  /// body, or -1 once the transfer has failed (body bytes received before the
  /// failure are returned first). A size of 0 reads nothing.
  long read(char* buffer, std::size_t size);

  bool failed() const;
  /// Empty unless failed().
  const std::string& errorText() const;
  /// The URL of the final response, after redirects.
  const std::string& finalUrl() const;
  /// The final response's HTTP status, 0 when none arrived.
  long status() const;
  /// The body's size as the final response announces it (Content-Length),
  /// 0 when it announces none or has not arrived.
  std::size_t announcedSize() const;
  /// Body bytes received and not yet read.
  std::size_t bufferedSize() const;

  /// The Options of resources opened without any, as the document component
  /// opens them: the shipped values unless setDefaults() replaced them.
  static const Options& defaults();
  /// Replaces defaults() for the rest of the process; resources opened before
  /// keep theirs. For test programs, called from their main before any
  /// resource is opened (it is not synchronised); the shipped vexlor never
  /// calls it.
  static void setDefaults(const Options& options);

private:
  struct Transfer;
  std::unique_ptr<Transfer> transfer;
};

} // namespace platform::xml
