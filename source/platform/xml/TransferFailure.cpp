#include "platform/xml/TransferFailure.h"

#include <cerrno>

#include "platform/xml/ResourceName.h"

namespace platform::xml {

namespace {

// How libcurl begins its failure text when a response's header section as a
// whole exceeds its limit (300 KiB; since 8.3, and in Debian's 7.88 through a
// security fix); it reports that as a plain receive error.
constexpr std::string_view tooLargeHeadersDetail = "Too large response headers";

// For responses without a reason phrase (HTTP/2 sends none).
const char* standardReason(long status) {
  switch (status) {
  case 300: return "Multiple Choices";
  case 304: return "Not Modified";
  case 400: return "Bad Request";
  case 401: return "Unauthorized";
  case 403: return "Forbidden";
  case 404: return "Not Found";
  case 405: return "Method Not Allowed";
  case 406: return "Not Acceptable";
  case 407: return "Proxy Authentication Required";
  case 408: return "Request Timeout";
  case 410: return "Gone";
  case 429: return "Too Many Requests";
  case 500: return "Internal Server Error";
  case 501: return "Not Implemented";
  case 502: return "Bad Gateway";
  case 503: return "Service Unavailable";
  case 504: return "Gateway Timeout";
  default: return "";
  }
}

std::string secondsText(std::chrono::seconds duration) {
  long long count = duration.count();
  return std::to_string(count) + (count == 1 ? " second" : " seconds");
}

std::string timeoutText(const TransferFailure& failure) {
  if (failure.connected) {
    return "timeout: no data for " + secondsText(failure.stallTimeout);
  }
  if (schemeOf(failure.url) == "https" && failure.tcpConnected) {
    return "TLS handshake failed: no answer within " + secondsText(failure.connectTimeout);
  }
  return "connect timeout: no connection within " + secondsText(failure.connectTimeout);
}

// libcurl gives CURLE_UNSUPPORTED_PROTOCOL both for a URL whose scheme it may
// not fetch (after a redirect, the URL it refused is the current one) and for
// an answer it would not take as HTTP (HTTP/0.9, a bad version or status
// code), which needs a connection to a server with an http or https URL.
std::string unsupportedProtocolText(const TransferFailure& failure, const std::string& detail) {
  std::string scheme = schemeOf(failure.url);
  if (failure.secure && scheme == "http") {
    return "redirect from https to http refused: " + failure.url;
  }
  if ((scheme == "http" || scheme == "https") && failure.tcpConnected) {
    return "not an HTTP response";
  }
  return "unsupported URL scheme (only http and https are fetched): " + detail;
}

} // namespace

std::string TransferFailure::text() const {
  const std::string detail = errorBuffer.empty() ? resultText : errorBuffer;
  switch (result) {
  case CURLE_COULDNT_CONNECT:
    return osError == ECONNREFUSED ? "connection refused" : "cannot connect: " + detail;
  case CURLE_COULDNT_RESOLVE_HOST:
    return "host not found: " + host;
  case CURLE_OPERATION_TIMEDOUT:
    return timeoutText(*this);
  case CURLE_TOO_MANY_REDIRECTS:
    return "too many redirects (more than " + std::to_string(maxRedirects) + ")";
  case CURLE_PEER_FAILED_VERIFICATION:
    return "TLS certificate verification failed: " + detail;
  case CURLE_SSL_CONNECT_ERROR:
    return "TLS handshake failed: " + detail;
  case CURLE_UNSUPPORTED_PROTOCOL:
    return unsupportedProtocolText(*this, detail);
  case CURLE_WEIRD_SERVER_REPLY:
    // Before a status line, what came was not HTTP at all; after one,
    // libcurl's detail names the fault in the headers.
    return inHeaders || finalHeadersIn ? "transfer failed: " + detail : "not an HTTP response";
  case CURLE_OUT_OF_MEMORY:
    // libcurl 7.88 gives this code, and no detail, when one header line
    // outgrows its limit (100 KiB). An allocation failure inside libcurl
    // at that point reads the same and cannot be told apart; elsewhere,
    // or with a detail, it stays what it says.
    return inHeaders && errorBuffer.empty() ? "response headers too large" : "transfer failed: " + detail;
  case CURLE_RECV_ERROR:
    return detail.rfind(tooLargeHeadersDetail, 0) == 0 ? "response headers too large"
                                                       : "transfer failed: " + detail;
  case CURLE_URL_MALFORMAT:
    return "malformed URL: " + detail;
  default:
    return "transfer failed: " + detail;
  }
}

std::string httpStatusText(long status, const std::string& reason) {
  std::string phrase = reason.empty() ? standardReason(status) : reason;
  return "HTTP status " + std::to_string(status) + (phrase.empty() ? "" : " (" + phrase + ")");
}

bool saysNothingIsThere(std::string_view failureText) {
  for (std::string_view absent : {"connection refused", "host not found: ", "HTTP status 404", "HTTP status 410"}) {
    if (failureText.substr(0, absent.size()) == absent) {
      return true;
    }
  }
  return false;
}

std::string escapeControls(std::string_view text) {
  static const char hexDigits[] = "0123456789abcdef";
  std::string escaped;
  escaped.reserve(text.size());
  for (char character : text) {
    unsigned char byte = static_cast<unsigned char>(character);
    if (byte >= 0x20 && byte != 0x7f) {
      escaped += character;
      continue;
    }
    escaped += '\\';
    switch (byte) {
    case '\t': escaped += 't'; break;
    case '\n': escaped += 'n'; break;
    case '\r': escaped += 'r'; break;
    case 0x1b: escaped += 'e'; break;
    default:
      escaped += 'x';
      escaped += hexDigits[byte >> 4];
      escaped += hexDigits[byte & 0xf];
    }
  }
  return escaped;
}

} // namespace platform::xml
