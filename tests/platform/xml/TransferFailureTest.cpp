#include "platform/xml/TransferFailure.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace {

using platform::xml::escapeControls;
using platform::xml::httpStatusText;
using platform::xml::saysNothingIsThere;
using platform::xml::TransferFailure;

// The failures that a loopback server cannot bring about; the others are
// pinned through RemoteResource. nothingThere: whether the text says that
// no resource is at the URL (an import of it is skipped).
TEST(TransferFailure, ResultCodesThatNoLoopbackServerCausesReadPlainly) {
  const struct {
    CURLcode result;
    std::string errorBuffer;
    bool inHeaders;
    long osError;
    std::string expected;
    bool nothingThere;
  } cases[] = {
      {CURLE_COULDNT_RESOLVE_HOST, "Could not resolve host", false, 0, "host not found: h.example", true},
      {CURLE_COULDNT_CONNECT, "", false, ECONNREFUSED, "connection refused", true},
      {CURLE_COULDNT_CONNECT, "", false, ENETUNREACH, "cannot connect: code text", false},
      {CURLE_OUT_OF_MEMORY, "", true, 0, "response headers too large", false},
      {CURLE_OUT_OF_MEMORY, "", false, 0, "transfer failed: code text", false},
      {CURLE_OUT_OF_MEMORY, "buffer text", true, 0, "transfer failed: buffer text", false},
      {CURLE_RECV_ERROR, "Too large response headers: 307201 > 307200", false, 0, "response headers too large", false},
      {CURLE_RECV_ERROR, "Connection reset", false, 0, "transfer failed: Connection reset", false},
      {CURLE_URL_MALFORMAT, "", false, 0, "malformed URL: code text", false},
  };
  for (const auto& row : cases) {
    TransferFailure failure;
    failure.result = row.result;
    failure.errorBuffer = row.errorBuffer;
    failure.resultText = "code text";
    failure.url = "http://h.example/doc.xml";
    failure.host = "h.example";
    failure.inHeaders = row.inHeaders;
    failure.osError = row.osError;
    EXPECT_EQ(row.expected, failure.text()) << row.result;
    EXPECT_EQ(row.nothingThere, saysNothingIsThere(failure.text())) << row.expected;
  }
}

TEST(TransferFailure, StatusTextFallsBackOnTheStandardReason) {
  EXPECT_EQ("HTTP status 404 (Gone Fishing)", httpStatusText(404, "Gone Fishing"));
  EXPECT_EQ("HTTP status 429 (Too Many Requests)", httpStatusText(429, ""));
  EXPECT_EQ("HTTP status 599", httpStatusText(599, ""));
  EXPECT_TRUE(saysNothingIsThere(httpStatusText(404, "")));
  EXPECT_TRUE(saysNothingIsThere(httpStatusText(410, "")));
  EXPECT_FALSE(saysNothingIsThere(httpStatusText(503, "")));
}

TEST(TransferFailure, EveryControlByteIsEscapedAndNothingElse) {
  const struct {
    std::string text;
    std::string expected;
  } cases[] = {
      {"a\tb\nc\rd\x1b[0m", "a\\tb\\nc\\rd\\e[0m"},
      {std::string("\0\x01\x1f\x7f", 4), "\\x00\\x01\\x1f\\x7f"},
      {" ~\\x41 caf\xc3\xa9 \x80\xff", " ~\\x41 caf\xc3\xa9 \x80\xff"},
  };
  for (const auto& row : cases) {
    EXPECT_EQ(row.expected, escapeControls(row.text)) << row.expected;
  }
}

} // namespace
