#include "platform/xml/ResourceName.h"

#include <gtest/gtest.h>

#include <string>

#include "support/PosixOnly.h"

namespace {

using platform::xml::fileUri;
using platform::xml::isRemoteUrl;
using platform::xml::nameArgument;
using platform::xml::ResourceDisplay;
using platform::xml::ResourceName;
using platform::xml::resolveReference;

// What a name comes to: "path:P" (a local file P), "url:U" (remote), or
// "refused:" and the start of the reason.
std::string outcome(const ResourceName& name) {
  switch (name.kind) {
  case ResourceName::Kind::local: return "path:" + name.path;
  case ResourceName::Kind::remote: return "url:" + name.uri;
  default: return "refused:" + name.problem;
  }
}

TEST(ResourceName, ReferencesResolveAgainstTheirBase) {
  VEXLOR_POSIX_ONLY("the rows name POSIX paths");
  const std::string doc = fileUri("/d/my docs/doc.xml");
  const std::string web = "http://h.example/a/b/doc.xml";
  const struct {
    std::string base;
    std::string reference;
    std::string expected;
  } cases[] = {
      {doc, "rules.dtd", "path:/d/my docs/rules.dtd"},
      {doc, "../dtd/ext file.ent", "path:/d/dtd/ext file.ent"},
      {doc, "my%20file.dtd", "path:/d/my docs/my file.dtd"},
      {doc, "file:my%20file.dtd", "path:/d/my docs/my file.dtd"},
      {doc, "FILE:my file.dtd", "path:/d/my docs/my file.dtd"},
      {doc, "règles.dtd", "path:/d/my docs/règles.dtd"},
      {doc, "x.dtd#part", "path:/d/my docs/x.dtd"},
      {doc, "../../../../etc/x", "path:/etc/x"},
      {doc, "/abs/x.xsd", "path:/abs/x.xsd"},
      {doc, "file:///abs/a%23b%3Fc.xsd", "path:/abs/a#b?c.xsd"},
      {doc, "file://localhost/abs/x.xsd", "path:/abs/x.xsd"},
      {doc, "-", "path:/d/my docs/-"},
      {doc, "100%.dtd", "path:/d/my docs/100%.dtd"},
      {fileUri("/d/per%cent/hash#tag/q?mark/doc.xml"), "x.dtd", "path:/d/per%cent/hash#tag/q?mark/x.dtd"},
      {fileUri("/d/a%20b/doc.xml"), "./x.dtd", "path:/d/a%20b/x.dtd"},
      {fileUri("/d/\xff\xfe/doc.xml"), "x.dtd", "path:/d/\xff\xfe/x.dtd"},
      {doc, "http://h.example/x.dtd", "url:http://h.example/x.dtd"},
      {doc, "HTTPS://h.example", "url:https://h.example/"},
      {web, "../c d/x.dtd?v=1#f", "url:http://h.example/a/c%20d/x.dtd?v=1"},
      {web, "//other.example/x", "url:http://other.example/x"},
      {web, "/root.xsd", "url:http://h.example/root.xsd"},
      {web, "", "url:http://h.example/a/b/doc.xml"},
      {web, "file:///etc/passwd", "path:/etc/passwd"},
      {doc, "file://otherhost/etc/passwd", "refused:it names a file on another host"},
      {doc, "ftp://h.example/x", "refused:the URL scheme 'ftp' is not supported"},
      {doc, "ab:cd.dtd", "refused:the URL scheme 'ab' is not supported"},
      {doc, "x%00.dtd", "refused:its name holds an escaped NUL byte"},
      {web, "file:x.dtd", "refused:a file: URL must name an absolute path"},
      {"", "x.dtd", "refused:it is a relative reference"},
      {"http://", "x", "refused:the URL names no host"},
  };
  for (const auto& row : cases) {
    const std::string got = outcome(resolveReference(row.base, row.reference));
    EXPECT_EQ(0u, got.find(row.expected)) << row.base << " + " << row.reference << " gave " << got;
  }
}

TEST(ResourceName, LocalUrisEscapeEverythingButUnreservedCharacters) {
  EXPECT_EQ("file:///a%20b/per%25cent/h%23%3F/%C3%BC~x_y-z.xml", fileUri("/a b/per%cent/h#?/ü~x_y-z.xml"));
  const ResourceName name = resolveReference(fileUri("/a b/doc.xml"), "c%20d.xsd");
  EXPECT_EQ(fileUri("/a b/c d.xsd"), name.uri);
}

TEST(ResourceName, TheArgumentIsAPathUnlessItIsAUrlThatNamesNoFile) {
  VEXLOR_POSIX_ONLY("the rows name POSIX paths");
  const struct {
    std::string argument;
    bool exists;
    std::string expected;
  } cases[] = {
      {"my docs/doc.xml", true, "path:my docs/doc.xml"},
      {"x%41y/doc.xml", true, "path:x%41y/doc.xml"},
      {"ab:cd/doc.xml", false, "path:ab:cd/doc.xml"},
      {"-", false, "path:-"},
      {"", false, "path:"},
      {"http://h.example/d.xml", true, "path:http://h.example/d.xml"},
      {"http://h.example/my d.xml", false, "url:http://h.example/my%20d.xml"},
      {"HTTPS://h.example/d.xml", false, "url:https://h.example/d.xml"},
      {"file:doc.xml", false, "path:/cwd/doc.xml"},
      {"file:///d/a%20b/doc.xml", false, "path:/d/a b/doc.xml"},
      {"file://otherhost/d.xml", false, "refused:it names a file on another host"},
      {"ftp://h.example/d.xml", false, "refused:the URL scheme 'ftp' is not supported"},
  };
  for (const auto& row : cases) {
    EXPECT_EQ(row.expected, outcome(nameArgument(row.argument, "/cwd", row.exists)).substr(0, row.expected.size()))
        << row.argument;
  }
  EXPECT_EQ(fileUri("/cwd/sub/doc.xml"), nameArgument("./sub/../sub/doc.xml", "/cwd", true).uri);
  EXPECT_EQ(fileUri("/doc.xml"), nameArgument("doc.xml", "/", true).uri);
}

TEST(ResourceName, ReportsShowTheDocumentAsNamedAndOtherFilesAsPaths) {
  VEXLOR_POSIX_ONLY("the rows name POSIX paths");
  const ResourceName document = nameArgument("../my docs/doc.xml", "/w/decoy", true);
  const ResourceDisplay relative(document, "../my docs/doc.xml", "/w/decoy");
  EXPECT_EQ("../my docs/doc.xml", relative(document.uri));
  EXPECT_EQ("../my docs/rules.dtd", relative(fileUri("/w/my docs/rules.dtd")));
  EXPECT_EQ("sub/x.dtd", relative(fileUri("/w/decoy/sub/x.dtd")));
  EXPECT_EQ("/etc/x.dtd", relative(fileUri("/etc/x.dtd"))) << "further up than the document";
  EXPECT_EQ("http://h.example/x.dtd", relative("http://h.example/x.dtd"));

  const ResourceDisplay absolute(document, "/w/my docs/doc.xml", "");
  EXPECT_EQ("/w/my docs/rules.dtd", absolute(fileUri("/w/my docs/rules.dtd")));
}

TEST(ResourceName, OnlyHttpAndHttpsUrlsInAnyCaseAreRemote) {
  EXPECT_TRUE(isRemoteUrl("http://example.org/a.xml"));
  EXPECT_TRUE(isRemoteUrl("https://example.org/a.xml"));
  EXPECT_TRUE(isRemoteUrl("HTTP://example.org/a.xml"));
  EXPECT_TRUE(isRemoteUrl("hTTpS://example.org/a.xml"));
  EXPECT_FALSE(isRemoteUrl("file:///tmp/a.xml"));
  EXPECT_FALSE(isRemoteUrl("ftp://example.org/a.xml"));
  EXPECT_FALSE(isRemoteUrl("httpx://example.org/a.xml"));
  EXPECT_FALSE(isRemoteUrl("http:/example.org/a.xml"));
  EXPECT_FALSE(isRemoteUrl("http.xml"));
  EXPECT_FALSE(isRemoteUrl(""));
}

} // namespace
