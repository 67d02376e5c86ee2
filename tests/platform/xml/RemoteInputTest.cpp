#include "platform/xml/RemoteInput.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "support/LoopbackServer.h"

namespace {

using platform::xml::openRemoteInput;
using platform::xml::TransportErrorSink;
using testsupport::LoopbackServer;

class RecordingSink : public TransportErrorSink {
public:
  void transportFailed(const std::string& url, const std::string& reason) override {
    failures.emplace_back(url, reason);
  }
  std::vector<std::pair<std::string, std::string>> failures;
};

class ThrowingSink : public TransportErrorSink {
public:
  void transportFailed(const std::string&, const std::string&) override {
    throw std::runtime_error("sink failure");
  }
};

// Routes every http(s) entity of a parse through openRemoteInput while it
// lives, reporting to the sink it is given.
class RemoteLoaderScope {
public:
  explicit RemoteLoaderScope(TransportErrorSink& sink) : previous(xmlGetExternalEntityLoader()) {
    activeSink = &sink;
    xmlSetExternalEntityLoader(&RemoteLoaderScope::load);
  }
  ~RemoteLoaderScope() {
    xmlSetExternalEntityLoader(previous);
    activeSink = nullptr;
  }

private:
  static xmlParserInputPtr load(const char* url, const char*, xmlParserCtxtPtr context) {
    return openRemoteInput(context, url != nullptr ? url : "", *activeSink);
  }
  static TransportErrorSink* activeSink;
  xmlExternalEntityLoader previous;
};

TransportErrorSink* RemoteLoaderScope::activeSink = nullptr;

struct DocDeleter {
  void operator()(xmlDoc* document) const noexcept { xmlFreeDoc(document); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocDeleter>;

struct ContextDeleter {
  void operator()(xmlParserCtxt* context) const noexcept { xmlFreeParserCtxt(context); }
};

class RemoteInputTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
      unsetenv(name);
    }
    server = std::make_unique<LoopbackServer>();
    server->addFile("moved/doc.xml",
                    "<?xml version='1.0'?>\n<!DOCTYPE doc SYSTEM 'doc.dtd'>\n<doc>&greeting;</doc>\n");
    server->addFile("moved/doc.dtd", "<!ELEMENT doc (#PCDATA)>\n<!ENTITY greeting 'hello'>\n");
  }
  static void TearDownTestSuite() { server.reset(); }

  static std::unique_ptr<LoopbackServer> server;
};

std::unique_ptr<LoopbackServer> RemoteInputTest::server;

TEST_F(RemoteInputTest, RelativeReferencesResolveAgainstTheFinalUrl) {
  RecordingSink sink;
  RemoteLoaderScope loader(sink);
  const std::string requested = server->url("/redirect?to=%2Fmoved%2Fdoc.xml");

  DocPtr document(xmlReadFile(requested.c_str(), nullptr, XML_PARSE_DTDLOAD | XML_PARSE_NOENT |
                                                             XML_PARSE_NONET | XML_PARSE_NOERROR |
                                                             XML_PARSE_NOWARNING));
  ASSERT_NE(nullptr, document) << "the DTD beside the final URL was not found";
  EXPECT_TRUE(sink.failures.empty()) << sink.failures.front().second;
  EXPECT_EQ(server->url("/moved/doc.xml"), reinterpret_cast<const char*>(document->URL));
  xmlNode* root = xmlDocGetRootElement(document.get());
  ASSERT_NE(nullptr, root);
  std::unique_ptr<xmlChar, decltype(xmlFree)> text(xmlNodeGetContent(root), xmlFree);
  EXPECT_STREQ("hello", reinterpret_cast<const char*>(text.get()));
}

TEST_F(RemoteInputTest, FailedOpenGoesToTheSinkWithTheRequestedUrl) {
  std::unique_ptr<xmlParserCtxt, ContextDeleter> context(xmlNewParserCtxt());
  RecordingSink sink;
  const std::string requested = server->url("/redirect?to=%2Fmoved%2Fmissing.xml");

  EXPECT_EQ(nullptr, openRemoteInput(context.get(), requested, sink));
  ASSERT_EQ(1u, sink.failures.size());
  EXPECT_EQ(requested, sink.failures[0].first);
  EXPECT_EQ("HTTP status 404 (Not Found)", sink.failures[0].second);

  ThrowingSink throwing;
  EXPECT_EQ(nullptr, openRemoteInput(context.get(), requested, throwing))
      << "the sink's exception must stay out of libxml2";
}

TEST_F(RemoteInputTest, ReadFailureLaterGoesToTheSinkOnce) {
  RecordingSink sink;
  RemoteLoaderScope loader(sink);
  const std::string requested = server->url("/truncated");

  DocPtr document(xmlReadFile(requested.c_str(), nullptr, XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
  EXPECT_EQ(nullptr, document) << "a document cut short must not parse";
  ASSERT_EQ(1u, sink.failures.size());
  EXPECT_EQ(requested, sink.failures[0].first);
  EXPECT_EQ(0u, sink.failures[0].second.rfind("transfer failed: ", 0)) << sink.failures[0].second;
}

} // namespace
