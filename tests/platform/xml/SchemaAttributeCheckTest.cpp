#include "platform/xml/SchemaAttributeCheck.h"

#include <gtest/gtest.h>

#include <string>

#include "DocumentLoadTest.h"

namespace platform::xml {
namespace {

class SchemaAttributeCheckTest : public DocumentLoadTest {};

// Values the pass checks in the schema layer's place: a valid one passes,
// and a fault stays a fault after valid values of the same attribute, where
// an element of the same name has another type, under a fixed value and
// under the ID rule.
TEST_F(SchemaAttributeCheckTest, ValuesCheckedByThePassKeepEveryVerdict) {
  directory.write(
      "attributes.xsd",
      "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema'>"
      "<xs:simpleType name='kind'><xs:restriction base='xs:string'><xs:enumeration value='a'/>"
      "<xs:enumeration value='b'/></xs:restriction></xs:simpleType>"
      "<xs:complexType name='plain'><xs:attribute name='x' type='xs:string'/></xs:complexType>"
      "<xs:element name='doc'><xs:complexType><xs:choice maxOccurs='unbounded'>"
      "<xs:element name='e' type='plain'/>"
      "<xs:element name='box'><xs:complexType><xs:sequence><xs:element name='e'><xs:complexType>"
      "<xs:attribute name='x' type='xs:positiveInteger'/></xs:complexType></xs:element></xs:sequence>"
      "</xs:complexType></xs:element>"
      "<xs:element name='item'><xs:complexType>"
      "<xs:attribute name='id' type='xs:ID'/><xs:attribute name='kind' type='kind'/>"
      "<xs:attribute name='href' type='xs:anyURI'/><xs:attribute name='n' type='xs:positiveInteger'/>"
      "<xs:attribute name='on' type='xs:boolean'/><xs:attribute name='f' type='xs:string' fixed='v'/>"
      "<xs:attribute name='uris'><xs:simpleType><xs:list itemType='xs:anyURI'/></xs:simpleType></xs:attribute>"
      "</xs:complexType></xs:element></xs:choice></xs:complexType></xs:element></xs:schema>");
  const std::string head = "<doc xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance' "
                           "xsi:noNamespaceSchemaLocation='attributes.xsd'>\n";
  const struct {
    const char* name;
    const char* items;
    const char* fault; // null: valid
  } cases[] = {
      {"valid",
       "<item id='a' kind='a' href='urn:x:y' n='1' on='true' f='v'/>"
       "<item id='b' kind='b' href='https://h.example/p?q#f' n='2' on='0'/>",
       nullptr},
      {"otherType", "<e x='text'/>\n<box><e x='text'/></box>", ":3:"},
      {"enumeration", "<item kind='a'/><item kind='c'/>", "The value 'c' is not an element of the set"},
      {"uri", "<item href='urn:x'/><item href='a%zz'/>", "'a%zz' is not a valid value"},
      {"integer", "<item n='1'/><item n='0'/>", "attribute 'n':"},
      {"list", "<item uris='urn:a urn:b'/><item uris='urn:a a%zz'/>", "attribute 'uris':"},
      {"fixed", "<item f='v'/><item f='w'/>", "does not match the fixed value constraint 'v'"},
      {"duplicateId", "<item id='a'/><item id='a'/>", "The ID 'a' is already defined."},
  };
  for (const auto& c : cases) {
    const Outcome outcome = load(directory.write(std::string(c.name) + ".xml", head + c.items + "</doc>\n"));
    expectVerdict(outcome, c.fault, c.name);
  }
}

} // namespace
} // namespace platform::xml
