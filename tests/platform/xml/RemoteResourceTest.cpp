#include "platform/xml/RemoteResource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <netinet/in.h>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "support/LoopbackPort.h"
#include "support/LoopbackServer.h"

namespace {

using platform::xml::RemoteResource;
using testsupport::LoopbackPort;
using testsupport::LoopbackServer;

constexpr std::size_t readSize = 4000; // what libxml2 asks for at a time

class RemoteResourceTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    // The loopback server must be reached directly, whatever the machine's set-up.
    for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
      unsetenv(name);
    }
    server = std::make_unique<LoopbackServer>();
  }
  static void TearDownTestSuite() { server.reset(); }

  static std::string readAll(RemoteResource& resource) {
    std::string body;
    char buffer[readSize];
    long count = 0;
    while ((count = resource.read(buffer, sizeof buffer)) > 0) {
      body.append(buffer, static_cast<std::size_t>(count));
    }
    EXPECT_EQ(0, count) << resource.errorText();
    return body;
  }

  // text with every byte but letters and digits as %XX, fit for a query value.
  static std::string percentEncoded(std::string_view text) {
    static const char hexDigits[] = "0123456789ABCDEF";
    std::string encoded;
    for (unsigned char byte : text) {
      if (std::isalnum(byte)) {
        encoded += static_cast<char>(byte);
      } else {
        encoded += {'%', hexDigits[byte >> 4], hexDigits[byte & 0xf]};
      }
    }
    return encoded;
  }

  // The server route that sends response byte for byte.
  static std::string rawPath(std::string_view response) { return "/raw?text=" + percentEncoded(response); }

  static RemoteResource::Options shortTimeouts() {
    RemoteResource::Options options;
    options.stallTimeout = std::chrono::seconds(1);
    options.connectTimeout = std::chrono::seconds(1);
    return options;
  }

  static std::unique_ptr<LoopbackServer> server;
};

// Connections that fill the accept queue of a silent port and are never
// accepted: Linux then drops further connection requests to the port
// unanswered, so they time out without a TCP connection.
class FullAcceptQueue {
public:
  explicit FullAcceptQueue(int port) {
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    // More than any accept queue LoopbackPort asks for.
    for (int i = 0; i < 64; ++i) {
      int descriptor = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
      if (descriptor >= 0) {
        descriptors.push_back(descriptor);
        connect(descriptor, reinterpret_cast<sockaddr*>(&address), sizeof address);
      }
    }
  }
  FullAcceptQueue(const FullAcceptQueue&) = delete;
  FullAcceptQueue& operator=(const FullAcceptQueue&) = delete;
  ~FullAcceptQueue() {
    for (int descriptor : descriptors) {
      close(descriptor);
    }
  }

private:
  std::vector<int> descriptors;
};

std::unique_ptr<LoopbackServer> RemoteResourceTest::server;

TEST_F(RemoteResourceTest, BodyArrivesCompleteAndInOrder) {
  RemoteResource resource(server->url("/bytes/100003"));
  ASSERT_FALSE(resource.failed()) << resource.errorText();
  EXPECT_EQ(200, resource.status());
  EXPECT_EQ(server->url("/bytes/100003"), resource.finalUrl());

  std::string body = readAll(resource);
  ASSERT_EQ(100003u, body.size());
  for (std::size_t i = 0; i < body.size(); ++i) {
    ASSERT_EQ(static_cast<char>(i % 251), body[i]) << "at byte " << i;
  }
  char buffer[16];
  EXPECT_EQ(0, resource.read(buffer, sizeof buffer)) << "the end stays the end";
  EXPECT_TRUE(resource.errorText().empty());
}

TEST_F(RemoteResourceTest, LargeBodyNeverHeldBeyondTheBufferLimit) {
  const std::size_t size = 50 * 1024 * 1024;
  const std::size_t limit = RemoteResource::Options().maxBufferedBytes;
  RemoteResource resource(server->url("/bytes/" + std::to_string(size)));
  ASSERT_FALSE(resource.failed()) << resource.errorText();

  std::size_t total = 0;
  std::size_t mostBuffered = resource.bufferedSize();
  char buffer[readSize];
  long count = 0;
  while ((count = resource.read(buffer, sizeof buffer)) > 0) {
    for (long i = 0; i < count; ++i) {
      ASSERT_EQ(static_cast<char>((total + i) % 251), buffer[i]) << "at byte " << total + i;
    }
    total += static_cast<std::size_t>(count);
    mostBuffered = std::max(mostBuffered, resource.bufferedSize());
  }
  EXPECT_EQ(0, count) << resource.errorText();
  EXPECT_EQ(size, total);
  EXPECT_LE(mostBuffered, limit);
  EXPECT_GT(mostBuffered, 0u);
  EXPECT_LT(limit, size / 100) << "the limit itself must be small";
}

TEST_F(RemoteResourceTest, RedirectsAreFollowedAndTheFinalUrlReported) {
  RemoteResource resource(server->url("/redirect?to=%2Fredirect%3Fto%3D%252Fbytes%252F10"));
  ASSERT_FALSE(resource.failed()) << resource.errorText();
  EXPECT_EQ(server->url("/bytes/10"), resource.finalUrl());
  EXPECT_EQ(200, resource.status());
  EXPECT_EQ(10u, readAll(resource).size());
}

TEST_F(RemoteResourceTest, RedirectLoopFailsAsTooManyRedirects) {
  RemoteResource resource(server->url("/loop"));
  ASSERT_TRUE(resource.failed());
  EXPECT_EQ("too many redirects (more than 5)", resource.errorText());
  char buffer[16];
  EXPECT_EQ(-1, resource.read(buffer, sizeof buffer));
}

TEST_F(RemoteResourceTest, ErrorStatusFailsWithStatusAndReasonAndNoBody) {
  RemoteResource missing(server->url("/status/404"));
  ASSERT_TRUE(missing.failed());
  EXPECT_EQ("HTTP status 404 (Not Found)", missing.errorText());
  EXPECT_EQ(404, missing.status());
  char buffer[16];
  EXPECT_EQ(-1, missing.read(buffer, sizeof buffer)) << "the error page is not the resource";

  RemoteResource broken(server->url("/status/503"));
  EXPECT_EQ("HTTP status 503 (Service Unavailable)", broken.errorText());

  RemoteResource redirected(server->url("/redirect?to=%2Fstatus%2F410"));
  EXPECT_EQ("HTTP status 410 (Gone)", redirected.errorText());
  EXPECT_EQ(server->url("/status/410"), redirected.finalUrl());
}

TEST_F(RemoteResourceTest, BodyCutShortFailsAfterTheBytesThatArrived) {
  RemoteResource resource(server->url("/truncated"));
  ASSERT_FALSE(resource.failed()) << resource.errorText();
  std::string body;
  char buffer[readSize];
  long count = 0;
  while ((count = resource.read(buffer, sizeof buffer)) > 0) {
    body.append(buffer, static_cast<std::size_t>(count));
  }
  EXPECT_EQ(-1, count) << "a short body must not read as a complete one";
  EXPECT_EQ(100u, body.size());
  EXPECT_TRUE(resource.failed());
  EXPECT_EQ(0u, resource.errorText().rfind("transfer failed: ", 0)) << resource.errorText();
}

TEST_F(RemoteResourceTest, ClosedPortIsConnectionRefused) {
  LoopbackPort closed(LoopbackPort::Behaviour::refusing);
  RemoteResource resource("http://127.0.0.1:" + std::to_string(closed.port()) + "/doc.xml");
  ASSERT_TRUE(resource.failed());
  EXPECT_EQ("connection refused", resource.errorText());
}

TEST_F(RemoteResourceTest, SilentServerTimesOutInsteadOfHanging) {
  // The kernel completes TCP connections to silent; nothing is ever answered.
  LoopbackPort silent(LoopbackPort::Behaviour::silent);
  LoopbackPort unreachable(LoopbackPort::Behaviour::silent);
  FullAcceptQueue full(unreachable.port());
  auto address = [](const LoopbackPort& port) {
    return "127.0.0.1:" + std::to_string(port.port()) + "/doc.xml";
  };
  const struct {
    std::string url;
    std::string error;
  } cases[] = {
      {"http://" + address(silent), "timeout: no data for 1 second"},
      {"https://" + address(silent), "TLS handshake failed: no answer within 1 second"},
      {"http://" + address(unreachable), "connect timeout: no connection within 1 second"},
      {"https://" + address(unreachable), "connect timeout: no connection within 1 second"},
      // After a connection to another server.
      {server->url("/redirect?to=" + percentEncoded("https://" + address(unreachable))),
       "connect timeout: no connection within 1 second"},
  };
  for (const auto& row : cases) {
    RemoteResource resource(row.url, shortTimeouts());
    EXPECT_EQ(row.error, resource.errorText()) << row.url;
  }

  // The http server answers a TLS client hello with plain HTTP.
  RemoteResource plainServer("https://127.0.0.1:" + std::to_string(server->port()) + "/doc.xml",
                             shortTimeouts());
  EXPECT_EQ(0u, plainServer.errorText().rfind("TLS handshake failed: ", 0)) << plainServer.errorText();
}

TEST_F(RemoteResourceTest, AnswersThatAreNotSoundHttpGetPlainMessages) {
  const struct {
    std::string path;
    std::string error; // empty: the resource arrives
  } cases[] = {
      // Server text is escaped, whatever control characters it holds.
      {rawPath("HTTP/1.1 404 Not\x1b[31m\tF\round\x7f\x01\r\nContent-Length: 0\r\n\r\n"),
       "HTTP status 404 (Not\\e[31m\\tF\\round\\x7f\\x01)"},
      {rawPath("<doc/>\n"), "not an HTTP response"},
      {rawPath("HTTP/1.10 200 OK\r\n\r\n"), "not an HTTP response"},
      {rawPath("HTTP/1.1 2x0 OK\r\n\r\n"), "not an HTTP response"},
      {"/redirect?to=" + percentEncoded(rawPath("<doc/>\n")), "not an HTTP response"},
      {rawPath("HTTP/1.1 200 OK\r\nno colon\r\n\r\n"), "transfer failed: Header without colon"},
      {"/bigheader?size=90000", ""},
      {"/bigheader?size=200000", "response headers too large"},
      {"/bigheader?size=90000&count=4", "response headers too large"},
  };
  for (const auto& row : cases) {
    RemoteResource resource(server->url(row.path));
    EXPECT_EQ(row.error, resource.errorText()) << row.path;
  }
}

TEST_F(RemoteResourceTest, HttpsNeverRedirectsToHttp) {
  LoopbackServer secureServer(LoopbackServer::Transport::httpsSelfSigned);
  RemoteResource::Options trusting;
  trusting.certificateAuthorities = secureServer.certificateFile();
  const std::string insecureTarget = server->url("/bytes/10?downgraded");
  auto redirect = [](const LoopbackServer& from, const std::string& to) {
    return from.url("/redirect?to=" + percentEncoded(to));
  };
  const struct {
    std::string url;
    std::string error; // empty: the resource arrives
  } cases[] = {
      {redirect(secureServer, insecureTarget), "redirect from https to http refused: " + insecureTarget},
      {redirect(secureServer, "/redirect?to=" + percentEncoded(insecureTarget)),
       "redirect from https to http refused: " + insecureTarget},
      {redirect(secureServer, secureServer.url("/bytes/10")), ""},
      {redirect(*server, secureServer.url("/bytes/10")), ""},
  };
  for (const auto& row : cases) {
    RemoteResource resource(row.url, trusting);
    EXPECT_EQ(row.error, resource.errorText()) << row.url;
  }
  const std::vector<std::string> fetched = server->requests();
  EXPECT_EQ(0, std::count(fetched.begin(), fetched.end(), "/bytes/10?downgraded"))
      << "the http target must not be fetched";
}

TEST_F(RemoteResourceTest, LoopbackServerListsTheRequestedPathsInOrder) {
  LoopbackServer fresh;
  EXPECT_TRUE(fresh.requests().empty());
  RemoteResource first(fresh.url("/bytes/3?a=1"));
  RemoteResource second(fresh.url("/status/404"));
  EXPECT_EQ((std::vector<std::string>{"/bytes/3?a=1", "/status/404"}), fresh.requests());
}

TEST_F(RemoteResourceTest, SelfSignedCertificateFailsVerification) {
  LoopbackServer secureServer(LoopbackServer::Transport::httpsSelfSigned);
  RemoteResource resource(secureServer.url("/bytes/10"));
  ASSERT_TRUE(resource.failed());
  const std::string prefix = "TLS certificate verification failed: ";
  EXPECT_EQ(0u, resource.errorText().rfind(prefix, 0)) << resource.errorText();
  EXPECT_NE(std::string::npos, resource.errorText().find("self-signed certificate", prefix.size()))
      << "libcurl's detail is kept: " << resource.errorText();
}

TEST_F(RemoteResourceTest, OtherSchemesAreRefusedAlsoAfterARedirect) {
  RemoteResource ftp("ftp://127.0.0.1/doc.xml");
  EXPECT_EQ("unsupported URL scheme \"ftp\" (only http and https are fetched)", ftp.errorText());
  RemoteResource file("FILE:///etc/hostname");
  EXPECT_EQ("unsupported URL scheme \"file\" (only http and https are fetched)", file.errorText());
  RemoteResource noScheme("127.0.0.1/doc.xml");
  EXPECT_TRUE(noScheme.failed());

  RemoteResource redirected(server->url("/redirect?to=file%3A%2F%2F%2Fetc%2Fhostname"));
  ASSERT_TRUE(redirected.failed());
  EXPECT_EQ(0u, redirected.errorText().rfind("unsupported URL scheme", 0)) << redirected.errorText();
}

TEST_F(RemoteResourceTest, RequestNamesVexlorAndCompressedBodiesArriveDecoded) {
  RemoteResource resource(server->url("/headers"));
  ASSERT_FALSE(resource.failed()) << resource.errorText();
  std::string echo = readAll(resource);
  EXPECT_EQ(0u, echo.find("User-Agent: Vexlor/")) << echo;
  EXPECT_NE(std::string::npos, echo.find("\nAccept-Encoding: ")) << echo;
  EXPECT_NE(std::string::npos, echo.find("gzip")) << echo;
  EXPECT_NE(std::string::npos, echo.find("deflate")) << echo;
}

} // namespace
