#include "platform/xml/SimpleValueCheck.h"

#include <gtest/gtest.h>
#include <libxml/schemasInternals.h>

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
      {XML_SCHEMAS_BASE64BINARY, "QQ = =", true},
      {XML_SCHEMAS_BASE64BINARY, "QUJ=", false}, // bits beyond the data
      {XML_SCHEMAS_BASE64BINARY, "QR==", false},
      {XML_SCHEMAS_BASE64BINARY, "QUJ", false},
      {XML_SCHEMAS_BASE64BINARY, "QU=I", false},
      {XML_SCHEMAS_BASE64BINARY, "QUJD!", false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(row.accepted, platform::xml::surelyValid(row.type, reinterpret_cast<const unsigned char*>(row.value)))
        << row.type << " '" << row.value << "'";
  }
  EXPECT_FALSE(platform::xml::surelyValid(XML_SCHEMAS_STRING, nullptr));
}

} // namespace
