#include "platform/xml/SchemaIds.h"

#include <gtest/gtest.h>

#include <string>

#include "DocumentLoadTest.h"

namespace platform::xml {
namespace {

class SchemaIdsTest : public DocumentLoadTest {};

// The ID rules under a schema, on attributes and on element content, with
// types derived from xs:ID and xs:IDREF and lists of IDREF.
TEST_F(SchemaIdsTest, IdsAreUniqueAndEveryReferenceNamesOne) {
  directory.write(
      "ids.xsd",
      "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema' xmlns='urn:ids' targetNamespace='urn:ids' elementFormDefault='qualified'>"
      "<xs:simpleType name='code'><xs:restriction base='xs:ID'><xs:pattern value='c.*'/></xs:restriction>"
      "</xs:simpleType>"
      "<xs:simpleType name='links'><xs:list itemType='xs:IDREF'/></xs:simpleType>"
      "<xs:element name='doc'><xs:complexType><xs:choice maxOccurs='unbounded'>"
      "<xs:element name='item'><xs:complexType>"
      "<xs:attribute name='id' type='xs:ID'/><xs:attribute name='code' type='code'/>"
      "<xs:attribute name='to' type='xs:IDREF'/><xs:attribute name='all' type='xs:IDREFS'/>"
      "<xs:attribute name='links' type='links'/></xs:complexType></xs:element>"
      "<xs:element name='key' type='xs:ID'/><xs:element name='ref' type='xs:IDREF'/>"
      "<xs:element name='note' type='xs:string'/>"
      "</xs:choice></xs:complexType></xs:element></xs:schema>");
  const std::string head =
      "<doc xmlns='urn:ids' xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance' "
      "xsi:schemaLocation='urn:ids ids.xsd'>\n";
  const struct {
    const char* name;
    const char* items;
    const char* fault; // null: valid
  } cases[] = {
      {"backwardAndForward", "<item to='b' all=' a  b '/><item id='a'/>\n<key> b </key><ref>a</ref>", nullptr},
      {"sameTextNoId", "<note>a</note><note>a</note><item id='a' links='a'/>", nullptr},
      {"duplicateAttribute", "<item id='a'/>\n<item id='a'/>",
       ":3:13: Element '{urn:ids}item', attribute 'id': The ID 'a' is already defined."},
      {"duplicateDerived", "<item code='c1'/><item id='c1'/>", "attribute 'id': The ID 'c1' is already defined."},
      {"duplicateContent", "<key>k</key><item id='k'/>", "attribute 'id': The ID 'k' is already defined."},
      {"danglingAttribute", "<item id='a'/>\n\n<item to='x'/>",
       ":4:0: Element '{urn:ids}item', attribute 'to': No ID matches the IDREF 'x'."},
      {"danglingInAList", "<item id='a' links='a y'/>", "attribute 'links': No ID matches the IDREF 'y'."},
      {"danglingContent", "<ref>z</ref>", "Element '{urn:ids}ref': No ID matches the IDREF 'z'."},
  };
  for (const auto& c : cases) {
    const Outcome outcome = load(directory.write(std::string(c.name) + ".xml", head + c.items + "</doc>\n"));
    expectVerdict(outcome, c.fault, c.name);
  }
}

} // namespace
} // namespace platform::xml
