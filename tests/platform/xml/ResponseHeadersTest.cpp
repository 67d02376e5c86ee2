#include "platform/xml/ResponseHeaders.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using platform::xml::ResponseHeaders;

TEST(ResponseHeaders, FinalResponseAndReasonFollowTheLinesOfEveryResponse) {
  const struct {
    std::vector<std::string> lines;
    bool finalHeadersIn;
    bool inHeaders;
    std::string reason;
  } cases[] = {
      {{"HTTP/1.1 200 OK\r\n", "Content-Length: 3\r\n"}, false, true, "OK"},
      {{"HTTP/1.1 200 OK\r\n", "\r\n"}, true, false, "OK"},
      {{"HTTP/1.1 404 Not  Found  \n", "\n"}, true, false, "Not  Found"},
      {{"HTTP/2 404\r\n", "\r\n"}, true, false, ""},
      {{"HTTP/1.1 404 \r\n"}, false, true, ""},
      {{"HTTP/1.1 404Gone\r\n"}, false, true, ""},
      {{"HTTP/1.1 100 Continue\r\n", "\r\n"}, false, false, "Continue"},
      {{"HTTP/1.1 302 Found\r\n", "LOCATION: /b\r\n", "\r\n"}, false, false, "Found"},
      {{"HTTP/1.1 302 Found\r\n", "X-Location: /b\r\n", "\r\n"}, true, false, "Found"},
      {{"HTTP/1.1 304 Not Modified\r\n", "\r\n"}, true, false, "Not Modified"},
      // A Location belongs to its own response only.
      {{"HTTP/1.1 301 Moved\r\n", "Location: /b\r\n", "\r\n", "HTTP/1.1 303 Other\r\n", "\r\n"},
       true, false, "Other"},
      // Trailers after the body change nothing.
      {{"HTTP/1.1 200 OK\r\n", "\r\n", "Checksum: 1\r\n", "\r\n"}, true, false, "OK"},
      {{"\r\n", "Location: /b\r\n"}, false, false, ""},
  };
  for (const auto& row : cases) {
    ResponseHeaders headers;
    for (const std::string& line : row.lines) {
      headers.take(line);
    }
    const std::string context = ::testing::PrintToString(row.lines);
    EXPECT_EQ(row.finalHeadersIn, headers.finalHeadersIn()) << context;
    EXPECT_EQ(row.inHeaders, headers.inHeaders()) << context;
    EXPECT_EQ(row.reason, headers.reason()) << context;
  }
}

} // namespace
