#include "platform/xml/SimpleValueCheck.h"

#include <string>

#include <gtest/gtest.h>
#include <libxml/hash.h>
#include <libxml/schemasInternals.h>
#include <libxml/xmlschemas.h>
#include <libxml/xmlschemastypes.h>

namespace {

// What the quick check accepts must be valid; what it leaves to the schema
// layer may be valid or not.
TEST(SimpleValueCheck, AcceptsOnlyValuesCertainlyValid) {
  const struct {
    int type;
    const char* value;
    bool accepted;
  } rows[] = {
      {XML_SCHEMAS_STRING, "any text <&>", true},
      {XML_SCHEMAS_NORMSTRING, "text", false},
      {XML_SCHEMAS_INTEGER, "0", true},
      {XML_SCHEMAS_INTEGER, "007", true},
      {XML_SCHEMAS_INTEGER, "999999999999999999", true},
      {XML_SCHEMAS_INTEGER, "1000000000000000000", false}, // 19 digits
      {XML_SCHEMAS_INTEGER, "-1", false},
      {XML_SCHEMAS_INTEGER, "+1", false},
      {XML_SCHEMAS_INTEGER, " 1", false},
      {XML_SCHEMAS_INTEGER, "1 ", false},
      {XML_SCHEMAS_INTEGER, "", false},
      {XML_SCHEMAS_INTEGER, "1.0", false},
      {XML_SCHEMAS_PINTEGER, "0", false},
      {XML_SCHEMAS_PINTEGER, "000", false},
      {XML_SCHEMAS_PINTEGER, "1", true},
      {XML_SCHEMAS_NNINTEGER, "0", true},
      {XML_SCHEMAS_NPINTEGER, "0", false},
      {XML_SCHEMAS_NINTEGER, "1", false},
      {XML_SCHEMAS_INT, "2147483647", true},
      {XML_SCHEMAS_INT, "2147483648", false},
      {XML_SCHEMAS_UINT, "4294967295", true},
      {XML_SCHEMAS_UINT, "4294967296", false},
      {XML_SCHEMAS_SHORT, "32768", false},
      {XML_SCHEMAS_USHORT, "65535", true},
      {XML_SCHEMAS_BYTE, "127", true},
      {XML_SCHEMAS_BYTE, "128", false},
      {XML_SCHEMAS_UBYTE, "256", false},
      {XML_SCHEMAS_LONG, "999999999999999999", true},
      {XML_SCHEMAS_DECIMAL, "1", false},
      {XML_SCHEMAS_BASE64BINARY, "QUJD\n REVG", true},
      {XML_SCHEMAS_BASE64BINARY, "QUI=", true},
      {XML_SCHEMAS_BASE64BINARY, "QUJDREVGR0hJ\nSktMTU5P", true},
      {XML_SCHEMAS_BASE64BINARY, "QUJDREVGR0hJSktMTU5", false},
      {XML_SCHEMAS_BASE64BINARY, "QQ = =", true},
      {XML_SCHEMAS_BASE64BINARY, "QUJ=", false}, // bits beyond the data
      {XML_SCHEMAS_BASE64BINARY, "QR==", false},
      {XML_SCHEMAS_BASE64BINARY, "QUJ", false},
      {XML_SCHEMAS_BASE64BINARY, "QU=I", false},
      {XML_SCHEMAS_BASE64BINARY, "QUJD!", false},
      {XML_SCHEMAS_BOOLEAN, "true", true},
      {XML_SCHEMAS_BOOLEAN, "0", true},
      {XML_SCHEMAS_BOOLEAN, "TRUE", false},
      {XML_SCHEMAS_BOOLEAN, "true ", false},
      {XML_SCHEMAS_ID, "r1", true},
      {XML_SCHEMAS_IDREF, "_a.b-9", true},
      {XML_SCHEMAS_NCNAME, "1r", false},
      {XML_SCHEMAS_ID, "-r", false},
      {XML_SCHEMAS_ID, "a:b", false},
      {XML_SCHEMAS_ID, "\xc3\xa9", false}, // non-ASCII: the schema layer's
      {XML_SCHEMAS_ID, "r 1", false},
      {XML_SCHEMAS_ID, "", false},
      {XML_SCHEMAS_ANYURI, "", true},
      {XML_SCHEMAS_ANYURI, "urn:oasis:names:tc:SAML:2.0:protocol", true},
      {XML_SCHEMAS_ANYURI, "mailto:admin@example.org", true},
      {XML_SCHEMAS_ANYURI, "https://a.example:8080/p/q;x=1?k=v&w=%2F#top", true},
      {XML_SCHEMAS_ANYURI, "file:///tmp/x", false}, // no host
      {XML_SCHEMAS_ANYURI, "http://1.2.3.4x/", false}, // refused by 2.15
      {XML_SCHEMAS_ANYURI, "http://a:123456/", false},
      {XML_SCHEMAS_ANYURI, "c:/x", false},
      {XML_SCHEMAS_ANYURI, "a/b", false},
      {XML_SCHEMAS_ANYURI, "http://a/b c", false},
      {XML_SCHEMAS_ANYURI, "http://a/%zz", false},
      {XML_SCHEMAS_ANYURI, "http://a/#x#y", false},
      {XML_SCHEMAS_ANYURI, "http://a/[x]", false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(row.accepted, platform::xml::surelyValid(row.type, row.value)) << row.type << " '" << row.value << "'";
    if (row.accepted) {
      // What the quick check takes, this libxml2 takes too.
      EXPECT_EQ(0, xmlSchemaValidatePredefinedType(xmlSchemaGetBuiltInType(static_cast<xmlSchemaValType>(row.type)),
                                                   reinterpret_cast<const xmlChar*>(row.value), nullptr))
          << row.type << " '" << row.value << "'";
    }
  }
}

// Of a compiled schema's own types, restrictions by enumerations (letter for
// letter) and lengths (in characters), and lists.
TEST(SimpleValueCheck, AcceptsEnumeratedLiteralsWithinTheirLengths) {
  const std::string text =
      "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema'>"
      "<xs:simpleType name='kind'><xs:restriction base='xs:string'>"
      "<xs:enumeration value='a'/><xs:enumeration value='b c'/></xs:restriction></xs:simpleType>"
      "<xs:simpleType name='id'><xs:restriction base='xs:ID'><xs:enumeration value='x'/>"
      "<xs:enumeration value=' y'/></xs:restriction></xs:simpleType>"
      "<xs:simpleType name='pattern'><xs:restriction base='xs:string'><xs:enumeration value='a'/>"
      "<xs:pattern value='a'/></xs:restriction></xs:simpleType>"
      "<xs:simpleType name='sub'><xs:restriction base='kind'><xs:enumeration value='a'/></xs:restriction>"
      "</xs:simpleType><xs:simpleType name='uri'><xs:restriction base='xs:anyURI'><xs:maxLength value='9'/>"
      "</xs:restriction></xs:simpleType><xs:simpleType name='word'><xs:restriction base='xs:string'>"
      "<xs:minLength value='2'/><xs:maxLength value='3'/></xs:restriction></xs:simpleType>"
      "<xs:simpleType name='uris'><xs:list itemType='xs:anyURI'/></xs:simpleType></xs:schema>";
  xmlSchemaParserCtxtPtr parser = xmlSchemaNewMemParserCtxt(text.data(), static_cast<int>(text.size()));
  xmlSchemaPtr schema = xmlSchemaParse(parser);
  ASSERT_NE(nullptr, schema);
  const struct {
    const char* type;
    const char* value;
    bool accepted;
  } rows[] = {{"kind", "a", true},   {"kind", "b c", true}, {"kind", "b", false}, {"kind", "A", false},
              {"id", "x", true},     {"id", " y", false},   {"pattern", "a", false}, {"sub", "a", false},
              {"uri", "urn:a:b", true}, {"uri", "urn:a:bcde", false}, {"word", "\xc3\xa9t\xc3\xa9", true},
              {"word", "a", false},  {"word", "abcd", false}, {"uris", " urn:a:b\n https://h/p ", true},
              {"uris", "", true},    {"uris", "urn:a a%zz", false}};
  for (const auto& row : rows) {
    const auto* type =
        static_cast<const xmlSchemaType*>(xmlHashLookup(schema->typeDecl, reinterpret_cast<const xmlChar*>(row.type)));
    ASSERT_NE(nullptr, type) << row.type;
    EXPECT_EQ(row.accepted, platform::xml::surelyValid(*type, row.value)) << row.type << " '" << row.value << "'";
  }
  xmlSchemaFree(schema);
  xmlSchemaFreeParserCtxt(parser);
}

} // namespace
