#include "platform/xml/RemoteResource.h"

#include "platform/xml/CurlLibrary.h"
#include "platform/xml/CurlPtr.h"
#include "platform/xml/ResourceName.h"
#include "platform/xml/ResponseHeaders.h"
#include "platform/xml/TransferFailure.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string_view>
#include <vector>

#ifndef VEXLOR_VERSION
#error "VEXLOR_VERSION must be set (CMake sets it from the project version)"
#endif

namespace platform::xml {

namespace {

// Valid once curlInitialised() has returned true; every handle this file
// holds was made after that.
const CurlLibrary& curl() { return *CurlLibrary::get(); }

// Enough for documents that moved once or twice; few enough to end loops fast.
constexpr long defaultMaxRedirects = 5;
// Reachable servers connect in well under a second; 20 s allows slow links without hanging.
constexpr std::chrono::seconds defaultConnectTimeout{20};
// A transfer that receives no byte for this long has stalled rather than slowed down.
constexpr std::chrono::seconds defaultStallTimeout{30};
// Keeps the parser fed between network reads while a body of any size stays out of memory.
constexpr std::size_t defaultMaxBufferedBytes = 256 * 1024;
// Names the client in servers' logs, with the version for bug reports.
constexpr char userAgent[] = "Vexlor/" VEXLOR_VERSION;
// Empty asks for every encoding this libcurl decodes (gzip, deflate, ...); bodies arrive decoded.
constexpr char acceptedEncodings[] = "";
// Documents, DTDs and schemas come from web servers only, also after a redirect.
constexpr char allowedProtocols[] = "http,https";
// What an https resource may redirect to: moving to http would silently drop
// the protection that the https URL promised.
constexpr char secureRedirectProtocols[] = "https";
// Longest single wait; libcurl wakes up earlier when one of its own timers is due.
constexpr int pollIntervalMilliseconds = 1000;

// Process-wide libcurl set-up, done by the first remote resource only. It is
// never undone: the process ends soon after the last transfer anyway.
bool curlInitialised() { return CurlLibrary::get() != nullptr; }

// The host named by url, or url itself when libcurl cannot parse it.
std::string hostOf(const std::string& url) {
  UrlPtr parsed(curl().url());
  char* host = nullptr;
  if (parsed &&
      curl().url_set(parsed.get(), CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK &&
      curl().url_get(parsed.get(), CURLUPART_HOST, &host, 0) == CURLUE_OK) {
    CurlTextPtr owned(host);
    return host;
  }
  return url;
}

RemoteResource::Options& processDefaults() {
  static RemoteResource::Options options;
  return options;
}

} // namespace

RemoteResource::Options::Options()
    : maxRedirects(defaultMaxRedirects), connectTimeout(defaultConnectTimeout),
      stallTimeout(defaultStallTimeout), maxBufferedBytes(defaultMaxBufferedBytes) {}

const RemoteResource::Options& RemoteResource::defaults() { return processDefaults(); }

void RemoteResource::setDefaults(const Options& options) { processDefaults() = options; }

/// The libcurl state of one resource and the callbacks that fill it.
struct RemoteResource::Transfer {
  Options options;
  std::string requestedUrl;
  bool secure = false;

  // The multi handle is declared first so that it is destroyed last, after
  // the easy handle has been taken out of it and cleaned up.
  MultiPtr multi;
  EasyPtr easy;
  bool attached = false;
  char curlError[CURL_ERROR_SIZE] = {};

  ResponseHeaders headers;

  // Body bytes received, not yet read: body[readPosition, body.size()).
  std::vector<char> body;
  std::size_t readPosition = 0;
  bool paused = false;

  bool finished = false;
  bool failed = false;
  std::string error;
  std::string finalUrl;
  long status = 0;

  Transfer(const std::string& url, const Options& chosen)
      : options(chosen), requestedUrl(url), finalUrl(url) {
    options.maxBufferedBytes = std::max<std::size_t>(options.maxBufferedBytes, CURL_MAX_WRITE_SIZE);
  }
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;
  ~Transfer() {
    if (attached) {
      curl().multi_remove_handle(multi.get(), easy.get());
    }
  }

  std::size_t buffered() const { return body.size() - readPosition; }
  bool ended() const { return finished || failed; }
  // Whether the body, if any, may arrive: a transfer that ended well has no
  // more headers to wait for.
  bool finalHeadersIn() const { return finished || headers.finalHeadersIn(); }

  // Every failure text passes here, so none carries a control character,
  // whether it came from the server directly or through libcurl's detail.
  void fail(const std::string& text) {
    if (!failed) {
      failed = true;
      error = escapeControls(text);
    }
  }

  void start() {
    std::string scheme = schemeOf(requestedUrl);
    if (scheme.empty()) {
      fail("not a URL with an http or https scheme");
      return;
    }
    if (scheme != "http" && scheme != "https") {
      fail("unsupported URL scheme \"" + scheme + "\" (only http and https are fetched)");
      return;
    }
    secure = scheme == "https";
    if (!curlInitialised()) {
      fail("libcurl could not be loaded or initialised");
      return;
    }
    multi.reset(curl().multi_init());
    easy.reset(curl().easy_init());
    if (!multi || !easy) {
      fail("libcurl could not create a transfer");
      return;
    }
    CURLcode result = configure();
    if (result != CURLE_OK) {
      fail(std::string("libcurl refused a setting: ") + curl().easy_strerror(result));
      return;
    }
    if (curl().multi_add_handle(multi.get(), easy.get()) != CURLM_OK) {
      fail("libcurl could not start the transfer");
      return;
    }
    attached = true;
    drive([this] { return finalHeadersIn(); });
    if (!failed) {
      acceptFinalResponse();
    }
  }

  CURLcode configure() {
    CURL* handle = easy.get();
    CURLcode result = CURLE_OK;
    auto set = [&](CURLoption option, auto value) {
      if (result == CURLE_OK) {
        result = curl().easy_setopt(handle, option, value);
      }
    };
    set(CURLOPT_URL, requestedUrl.c_str());
    set(CURLOPT_PROTOCOLS_STR, allowedProtocols);
    set(CURLOPT_REDIR_PROTOCOLS_STR, secure ? secureRedirectProtocols : allowedProtocols);
    set(CURLOPT_FOLLOWLOCATION, 1L);
    set(CURLOPT_MAXREDIRS, options.maxRedirects);
    set(CURLOPT_SSL_VERIFYPEER, 1L);
    set(CURLOPT_SSL_VERIFYHOST, 2L);
    if (!options.certificateAuthorities.empty()) {
      set(CURLOPT_CAINFO, options.certificateAuthorities.c_str());
    }
    set(CURLOPT_CONNECTTIMEOUT, static_cast<long>(options.connectTimeout.count()));
    set(CURLOPT_LOW_SPEED_LIMIT, 1L);
    set(CURLOPT_LOW_SPEED_TIME, static_cast<long>(options.stallTimeout.count()));
    set(CURLOPT_USERAGENT, userAgent);
    set(CURLOPT_ACCEPT_ENCODING, acceptedEncodings);
    set(CURLOPT_NOSIGNAL, 1L);
    // A proxy's CONNECT answer would otherwise look like the first response.
    set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    set(CURLOPT_ERRORBUFFER, curlError);
    set(CURLOPT_HEADERFUNCTION, &Transfer::onHeader);
    set(CURLOPT_HEADERDATA, this);
    set(CURLOPT_WRITEFUNCTION, &Transfer::onBody);
    set(CURLOPT_WRITEDATA, this);
    return result;
  }

  // Runs libcurl until done() holds or the transfer has ended.
  template <typename Done>
  void drive(Done done) {
    while (!ended()) {
      int running = 0;
      CURLMcode code = curl().multi_perform(multi.get(), &running);
      if (code == CURLM_OK) {
        collectResult();
        if (done() || ended()) {
          return;
        }
        code = curl().multi_poll(multi.get(), nullptr, 0, pollIntervalMilliseconds, nullptr);
      }
      if (code != CURLM_OK) {
        fail(std::string("transfer failed: ") + curl().multi_strerror(code));
      }
    }
  }

  void collectResult() {
    int queued = 0;
    while (CURLMsg* message = curl().multi_info_read(multi.get(), &queued)) {
      if (message->msg != CURLMSG_DONE || message->easy_handle != easy.get()) {
        continue;
      }
      if (message->data.result == CURLE_OK) {
        finished = true;
      } else {
        fail(describe(message->data.result));
      }
    }
  }

  // Called once the headers of the response that carries the body are in.
  void acceptFinalResponse() {
    finalUrl = currentUrl();
    curl().easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status >= 300) {
      fail(httpStatusText(status, headers.reason()));
      // What the server sent along is its error page, not the resource.
      body.clear();
      readPosition = 0;
    }
  }

  std::string describe(CURLcode result) const {
    TransferFailure failure;
    failure.result = result;
    failure.errorBuffer = curlError;
    failure.resultText = curl().easy_strerror(result);
    failure.url = currentUrl();
    failure.host = hostOf(failure.url);
    failure.secure = secure;
    curl().easy_getinfo(easy.get(), CURLINFO_OS_ERRNO, &failure.osError);
    failure.connected = connected();
    failure.tcpConnected = tcpConnected();
    failure.inHeaders = headers.inHeaders();
    failure.finalHeadersIn = finalHeadersIn();
    failure.maxRedirects = options.maxRedirects;
    failure.connectTimeout = options.connectTimeout;
    failure.stallTimeout = options.stallTimeout;
    return failure.text();
  }

  std::string currentUrl() const {
    char* url = nullptr;
    if (curl().easy_getinfo(easy.get(), CURLINFO_EFFECTIVE_URL, &url) == CURLE_OK && url != nullptr) {
      return url;
    }
    return requestedUrl;
  }

  // From the URL rather than CURLINFO_SCHEME, which stays empty until a
  // connection stands.
  bool currentSchemeIsHttps() const { return schemeOf(currentUrl()) == "https"; }

  // Whether the last connection got through, TLS handshake included.
  bool connected() const {
    curl_off_t connectTime = 0;
    curl_off_t handshakeTime = 0;
    curl().easy_getinfo(easy.get(), CURLINFO_CONNECT_TIME_T, &connectTime);
    curl().easy_getinfo(easy.get(), CURLINFO_APPCONNECT_TIME_T, &handshakeTime);
    return connectTime > 0 && (!currentSchemeIsHttps() || handshakeTime > 0);
  }

  // Whether a TCP connection to the server was made, whatever happened on it
  // afterwards. libcurl 7.88 records the local port only once the TCP
  // connection stands (its connect time waits for the TLS handshake too),
  // and sets ETIMEDOUT when the TCP connection itself timed out, also after
  // an earlier connection of the same transfer.
  bool tcpConnected() const {
    long localPort = 0;
    long osError = 0;
    curl().easy_getinfo(easy.get(), CURLINFO_LOCAL_PORT, &localPort);
    curl().easy_getinfo(easy.get(), CURLINFO_OS_ERRNO, &osError);
    return localPort > 0 && osError != ETIMEDOUT;
  }

  void resume() {
    if (paused) {
      paused = false;
      // May deliver the data held back at once, through onBody.
      CURLcode result = curl().easy_pause(easy.get(), CURLPAUSE_CONT);
      if (result != CURLE_OK) {
        fail(describe(result));
      }
    }
  }

  long read(char* buffer, std::size_t size) {
    if (size == 0) {
      return failed && buffered() == 0 ? -1 : 0;
    }
    while (buffered() == 0) {
      if (failed) {
        return -1;
      }
      if (finished) {
        return 0;
      }
      resume();
      drive([this] { return buffered() > 0; });
    }
    std::size_t count = std::min({size, buffered(), static_cast<std::size_t>(LONG_MAX)});
    std::memcpy(buffer, body.data() + readPosition, count);
    readPosition += count;
    if (readPosition == body.size()) {
      body.clear();
      readPosition = 0;
    }
    return static_cast<long>(count);
  }

  // Header lines of every response, redirects included; a blank line ends
  // one response's headers.
  static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* context) noexcept {
    Transfer& transfer = *static_cast<Transfer*>(context);
    std::size_t length = size * count;
    try {
      transfer.headers.take(std::string_view(data, length));
    } catch (...) {
      return 0;
    }
    return length;
  }

  static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* context) noexcept {
    Transfer& transfer = *static_cast<Transfer*>(context);
    std::size_t length = size * count;
    if (!transfer.finalHeadersIn() || transfer.failed) {
      return length;
    }
    if (transfer.buffered() > 0 && transfer.buffered() + length > transfer.options.maxBufferedBytes) {
      transfer.paused = true;
      return CURL_WRITEFUNC_PAUSE;
    }
    try {
      if (transfer.readPosition > 0) {
        transfer.body.erase(transfer.body.begin(), transfer.body.begin() + transfer.readPosition);
        transfer.readPosition = 0;
      }
      transfer.body.insert(transfer.body.end(), data, data + length);
    } catch (...) {
      return 0;
    }
    return length;
  }
};

RemoteResource::RemoteResource(const std::string& url, const Options& options)
    : transfer(std::make_unique<Transfer>(url, options)) {
  transfer->start();
}

RemoteResource::~RemoteResource() = default;

long RemoteResource::read(char* buffer, std::size_t size) { return transfer->read(buffer, size); }

bool RemoteResource::failed() const { return transfer->failed; }

const std::string& RemoteResource::errorText() const { return transfer->error; }

const std::string& RemoteResource::finalUrl() const { return transfer->finalUrl; }

long RemoteResource::status() const { return transfer->status; }

std::size_t RemoteResource::announcedSize() const {
  curl_off_t size = -1;
  if (!transfer->easy ||
      curl().easy_getinfo(transfer->easy.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size) != CURLE_OK) {
    return 0;
  }
  return size > 0 ? static_cast<std::size_t>(size) : 0;
}

std::size_t RemoteResource::bufferedSize() const { return transfer->buffered(); }

} // namespace platform::xml
