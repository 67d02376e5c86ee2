#include "platform/xml/FacetConsistency.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/xml/XmlPtr.h"

namespace {

using platform::xml::FacetViolation;
using platform::xml::XmlPtr;

struct Case {
  const char* name;
  const char* definitions; // the schema's children, from its line 2 on
  std::vector<std::string> expected;
};

// Every row compiles with libxml2: what it rejects itself never gets here.
const Case cases[] = {
    {"BoundsOfOneType",
     R"(<xs:simpleType name="T"><xs:restriction base="xs:string">
          <xs:minLength value="5"/><xs:maxLength value="3"/></xs:restriction></xs:simpleType>)",
     {"mem.xsd:3: facet 'minLength' (5) is greater than 'maxLength' (3) of type 'T'"}},
    {"LengthBoundsAgainstTheBaseReportedOnceWhereDeclared",
     R"(<xs:simpleType name="B"><xs:restriction base="xs:string">
          <xs:minLength value="2"/><xs:maxLength value="5"/></xs:restriction></xs:simpleType>
        <xs:simpleType name="T1"><xs:restriction base="B"><xs:minLength value="6"/></xs:restriction></xs:simpleType>
        <xs:simpleType name="T2"><xs:restriction base="B"><xs:maxLength value="1"/></xs:restriction></xs:simpleType>
        <xs:simpleType name="T3"><xs:restriction base="T1"><xs:pattern value="a*"/></xs:restriction></xs:simpleType>)",
     {"mem.xsd:4: facet 'minLength' (6) of type 'T1' is greater than 'maxLength' (5) of its base type 'B'",
      "mem.xsd:5: facet 'maxLength' (1) of type 'T2' is less than 'minLength' (2) of its base type 'B'"}},
    {"ExclusiveBoundsCompareByValue",
     R"(<xs:simpleType name="N"><xs:restriction base="xs:int"><xs:maxInclusive value="10"/></xs:restriction></xs:simpleType>
        <xs:simpleType name="T"><xs:restriction base="N"><xs:minExclusive value="10"/></xs:restriction></xs:simpleType>
        <xs:simpleType name="D"><xs:restriction base="xs:decimal"><xs:maxInclusive value="1.5"/></xs:restriction></xs:simpleType>
        <xs:simpleType name="E"><xs:restriction base="D"><xs:minExclusive value="1.50"/></xs:restriction></xs:simpleType>)",
     {"mem.xsd:3: facet 'minExclusive' (10) of type 'T' is not less than 'maxInclusive' (10) of its base type 'N'",
      "mem.xsd:5: facet 'minExclusive' (1.50) of type 'E' is not less than 'maxInclusive' (1.5) of its base type 'D'"}},
    {"BuiltInTypesFacets",
     R"(<xs:simpleType name="P"><xs:restriction base="xs:positiveInteger"><xs:maxExclusive value="1"/></xs:restriction></xs:simpleType>
        <xs:simpleType name="I"><xs:restriction base="xs:integer"><xs:fractionDigits value="1"/></xs:restriction></xs:simpleType>
        <xs:simpleType name="N"><xs:restriction base="xs:NMTOKENS"><xs:minLength value="0"/></xs:restriction></xs:simpleType>
        <xs:simpleType name="W"><xs:restriction base="xs:token"><xs:whiteSpace value="preserve"/></xs:restriction></xs:simpleType>)",
     {"mem.xsd:2: facet 'maxExclusive' (1) of type 'P' is not greater than 'minInclusive' (1) of its base type 'positiveInteger'",
      "mem.xsd:3: facet 'fractionDigits' (1) of type 'I' differs from the fixed 'fractionDigits' (0) of its base type 'integer'",
      "mem.xsd:4: facet 'minLength' (0) of type 'N' is less than 'minLength' (1) of its base type 'NMTOKENS'",
      "mem.xsd:5: facet 'whiteSpace' (preserve) of type 'W' keeps white space that its base type 'token' collapses"}},
    {"LocalTypesOfElementsAndAttributes",
     R"(<xs:complexType name="C"><xs:sequence><xs:element name="e"><xs:simpleType>
          <xs:restriction base="xs:string"><xs:minLength value="6"/><xs:maxLength value="5"/></xs:restriction>
        </xs:simpleType></xs:element></xs:sequence>
        <xs:attribute name="a"><xs:simpleType><xs:restriction base="xs:NMTOKEN">
          <xs:minLength value="6"/><xs:maxLength value="5"/></xs:restriction></xs:simpleType></xs:attribute></xs:complexType>)",
     {"mem.xsd:3: facet 'minLength' (6) is greater than 'maxLength' (5) of an anonymous type",
      "mem.xsd:6: facet 'minLength' (6) is greater than 'maxLength' (5) of an anonymous type"}},
    {"ConsistentOrIncomparableFacetsPass",
     R"(<xs:simpleType name="B"><xs:restriction base="xs:string">
          <xs:minLength value="3"/><xs:maxLength value="3"/></xs:restriction></xs:simpleType>
        <xs:simpleType name="T"><xs:restriction base="B"><xs:length value="3"/></xs:restriction></xs:simpleType>
        <xs:simpleType name="P"><xs:restriction base="xs:duration">
          <xs:minInclusive value="P1M"/><xs:maxInclusive value="P30D"/></xs:restriction></xs:simpleType>
        <xs:simpleType name="X"><xs:restriction base="xs:int">
          <xs:minExclusive value="5"/><xs:maxExclusive value="5"/></xs:restriction></xs:simpleType>)",
     {}},
};

class FacetConsistencyTest : public testing::TestWithParam<Case> {};

TEST_P(FacetConsistencyTest, ReportsEachViolationAtTheFacet) {
  const std::string text = std::string("<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">\n") +
                           GetParam().definitions + "\n</xs:schema>\n";
  const XmlPtr<xmlDoc> document(xmlReadMemory(text.data(), static_cast<int>(text.size()), "mem.xsd", nullptr, 0));
  ASSERT_NE(document, nullptr);
  const XmlPtr<xmlSchemaParserCtxt> parser(xmlSchemaNewDocParserCtxt(document.get()));
  const XmlPtr<xmlSchema> schema(xmlSchemaParse(parser.get()));
  ASSERT_NE(schema, nullptr) << "libxml2 rejects the row itself";

  std::vector<std::string> reported;
  const std::size_t count = platform::xml::checkFacetConsistency(*schema, [&](const FacetViolation& violation) {
    reported.push_back(violation.location + ":" + std::to_string(violation.line) + ": " + violation.message);
  });
  std::vector<std::string> expected = GetParam().expected;
  std::sort(reported.begin(), reported.end()); // types come in hash order
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(reported, expected);
  EXPECT_EQ(count, reported.size());
}

INSTANTIATE_TEST_SUITE_P(Schemas, FacetConsistencyTest, testing::ValuesIn(cases),
                         [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

} // namespace
