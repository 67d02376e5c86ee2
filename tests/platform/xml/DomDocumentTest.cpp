#include "platform/xml/DomDocument.h"

#include <gtest/gtest.h>
#include <libxml/encoding.h>

#include <string>

#include "DocumentLoadTest.h"
#include "platform/com/Bstr.h"
#include "platform/com/ScopedBstr.h"
#include "platform/xml/WideText.h"
#include "support/ExpectedOutput.h"
#include "support/TestSupport.h"

namespace platform::xml {
namespace {

using com::S_FALSE;
using com::S_OK;
using com::VARIANT_FALSE;
using com::VARIANT_TRUE;

// Whether this libxml2 decodes the encoding (one built without iconv has
// few converters).
bool hasConverter(const char* encoding) {
  xmlCharEncodingHandler* handler = xmlFindCharEncodingHandler(encoding);
  if (handler == nullptr) {
    return false;
  }
  xmlCharEncCloseFunc(handler);
  return true;
}

class DomDocumentTest : public DocumentLoadTest {
protected:
  void SetUp() override {
    DocumentLoadTest::SetUp();
    directory.write("doc.dtd", "<!ELEMENT doc (item)>\n<!ELEMENT item (#PCDATA)>\n");
  }
};

TEST_F(DomDocumentTest, SettingsAcceptOnlyTheTwoTruthValuesAndRefuseAsyncLoading) {
  EXPECT_EQ(S_OK, document->put_validateOnParse(VARIANT_TRUE));
  EXPECT_EQ(S_OK, document->put_resolveExternals(VARIANT_FALSE));
  EXPECT_EQ(S_OK, document->put_async(VARIANT_FALSE));
  EXPECT_EQ(com::E_NOTIMPL, document->put_async(VARIANT_TRUE));
  EXPECT_EQ(com::E_INVALIDARG, document->put_validateOnParse(1));
  EXPECT_EQ(com::E_INVALIDARG, document->put_resolveExternals(2));
}

TEST_F(DomDocumentTest, LoadTakesOnlyAStringSource) {
  com::ScopedVariant source;
  source.setError(com::E_OUTOFMEMORY);
  VARIANT_BOOL loaded = VARIANT_TRUE;
  EXPECT_EQ(com::E_INVALIDARG, document->load(source.get(), &loaded));
  EXPECT_EQ(VARIANT_FALSE, loaded);
  source.setString(allocateBstr(directory.write("a.xml", "<a/>")));
  EXPECT_EQ(com::E_INVALIDARG, document->load(source.get(), nullptr));
}

TEST_F(DomDocumentTest, ValidDocumentLoadsAndLeavesNoErrorObject) {
  const Outcome outcome =
      load(directory.write("ok.xml", "<!DOCTYPE doc SYSTEM \"doc.dtd\">\n<doc><item>x</item></doc>\n"));
  EXPECT_EQ(S_OK, outcome.status);
  EXPECT_EQ(VARIANT_TRUE, outcome.loaded);
  EXPECT_FALSE(outcome.errorObject);

  com::ComPtr<IXMLDOMParseError> parseError;
  ASSERT_EQ(S_OK, document->get_parseError(parseError.address()));
  LONG code = -1;
  parseError->get_errorCode(&code);
  EXPECT_EQ(0, code);
}

TEST_F(DomDocumentTest, FailureListsEveryProblemAndDescribesTheFirst) {
  const std::string path = directory.write(
      "bad.xml", "<!DOCTYPE doc SYSTEM \"doc.dtd\">\n<doc>\n<other/><item>x</item></doc>\n");
  const Outcome outcome = load(path);
  EXPECT_EQ(S_FALSE, outcome.status);
  EXPECT_EQ(VARIANT_FALSE, outcome.loaded);
  ASSERT_TRUE(outcome.errorObject);
  EXPECT_EQ(path + ":3:7: Element doc content does not follow the DTD, Misplaced other\n" + path +
                ":3:7: No declaration for element other\n",
            outcome.description);
  EXPECT_EQ(testsupport::expected::componentName, outcome.source);

  com::ComPtr<IXMLDOMParseError> parseError;
  ASSERT_EQ(S_OK, document->get_parseError(parseError.address()));
  LONG code = 0;
  LONG line = 0;
  LONG column = 0;
  com::ScopedBstr url;
  com::ScopedBstr reason;
  parseError->get_errorCode(&code);
  parseError->get_line(&line);
  parseError->get_linepos(&column);
  parseError->get_url(url.address());
  parseError->get_reason(reason.address());
  EXPECT_NE(0, code);
  EXPECT_EQ(3, line);
  EXPECT_EQ(7, column);
  EXPECT_EQ(path, text(url.get()));
  EXPECT_EQ("Element doc content does not follow the DTD, Misplaced other", text(reason.get()));
}

TEST_F(DomDocumentTest, ValidateOnParseOffChecksWellFormednessOnly) {
  const std::string invalid =
      directory.write("invalid.xml", "<!DOCTYPE doc SYSTEM \"doc.dtd\">\n<doc><other/></doc>\n");
  ASSERT_EQ(S_OK, document->put_validateOnParse(VARIANT_FALSE));
  EXPECT_EQ(VARIANT_TRUE, load(invalid).loaded);
  EXPECT_EQ(VARIANT_FALSE, load(directory.write("broken.xml", "<doc><item></doc>")).loaded);
  ASSERT_EQ(S_OK, document->put_validateOnParse(VARIANT_TRUE));
  EXPECT_EQ(VARIANT_FALSE, load(invalid).loaded);
}

TEST_F(DomDocumentTest, ResolveExternalsOffReadsNoExternalResource) {
  const std::string external =
      directory.write("external.xml", "<!DOCTYPE doc SYSTEM \"doc.dtd\">\n<doc><item>x</item></doc>\n");
  const std::string hinted = directory.write(
      "hinted.xml", "<doc xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                    "xsi:noNamespaceSchemaLocation=\"missing.xsd\"/>\n");
  ASSERT_EQ(S_OK, document->put_resolveExternals(VARIANT_FALSE));
  // Without its external subset nothing is declared.
  const Outcome outcome = load(external);
  EXPECT_EQ(VARIANT_FALSE, outcome.loaded);
  EXPECT_NE(std::string::npos, outcome.description.find("No declaration for element doc"));
  // A schema hint is not followed, so its missing schema does not matter.
  EXPECT_EQ(VARIANT_TRUE, load(hinted).loaded);

  ASSERT_EQ(S_OK, document->put_resolveExternals(VARIANT_TRUE));
  EXPECT_EQ(VARIANT_TRUE, load(external).loaded);
  EXPECT_EQ(VARIANT_FALSE, load(hinted).loaded);
}

TEST_F(DomDocumentTest, ManyProblemsAreListedUpToFiftyThenCounted) {
  std::string content = "<!DOCTYPE doc [<!ELEMENT doc ANY><!ELEMENT item EMPTY>]>\n<doc>\n";
  for (int i = 0; i < 60; ++i) {
    content += "<undeclared/>\n";
  }
  content += "</doc>\n";
  const Outcome outcome = load(directory.write("many.xml", content));
  const std::vector<std::string> lines = testsupport::lines(outcome.description);
  ASSERT_EQ(51u, lines.size());
  EXPECT_EQ("... and 10 more errors.", lines.back());
}

TEST_F(DomDocumentTest, NestedSectionsOfAnIgnoreSectionAreCountedAcrossReads) {
  // Thousands of sections nested in an IGNORE section, so that some "<!["
  // or "]]>" falls on the end of a read whatever the padding: libxml2 2.9
  // and 2.10, reading the DTD piecemeal, took the section for not closed.
  for (int padding = 0; padding < 8; ++padding) {
    std::string dtd = "<!ENTITY % x \"INCLUDE\">\n<![IGNORE[\n";
    for (int i = 0; i < 3000; ++i) {
      dtd += "<![%x;[ <!ELEMENT e" + std::to_string(i) + " EMPTY> ]]>" + std::string(padding, ' ') + "\n";
    }
    directory.write("sections.dtd", dtd + "]]>\n<!ELEMENT doc EMPTY>\n");
    const Outcome outcome = load(directory.write("sections.xml", "<!DOCTYPE doc SYSTEM 'sections.dtd'>\n<doc/>\n"));
    EXPECT_EQ(VARIANT_TRUE, outcome.loaded) << padding << ": " << outcome.description;
  }
}

TEST_F(DomDocumentTest, EveryReferenceToAnEntityIsValidated) {
  // The entity holds an element; a second reference breaks the content
  // model and must be seen, although libxml2 parses entity content once
  // for its own checks.
  const std::string path = directory.write(
      "entities.xml",
      "<!DOCTYPE doc [<!ELEMENT doc (item)><!ELEMENT item (#PCDATA)>"
      "<!ENTITY one \"<item>x</item>\">]>\n<doc>&one;&one;</doc>\n");
  const Outcome outcome = load(path);
  EXPECT_EQ(VARIANT_FALSE, outcome.loaded);
  EXPECT_NE(std::string::npos, outcome.description.find("Misplaced item")) << outcome.description;
}

TEST_F(DomDocumentTest, IdsInEntityContentAreTracked) {
  const std::string path = directory.write(
      "ids.xml",
      "<!DOCTYPE doc [<!ELEMENT doc (item*)><!ELEMENT item EMPTY>"
      "<!ATTLIST item id ID #IMPLIED ref IDREF #IMPLIED>"
      "<!ENTITY same \"<item id='a'/>\">]>\n<doc>&same;&same;<item ref='a'/></doc>\n");
  const Outcome outcome = load(path);
  EXPECT_EQ(VARIANT_FALSE, outcome.loaded);
  EXPECT_NE(std::string::npos, outcome.description.find("ID a already defined")) << outcome.description;
  EXPECT_EQ(std::string::npos, outcome.description.find("unknown ID")) << outcome.description;
}

TEST_F(DomDocumentTest, ReferencesToIdsHoldWhetherTheIdComesBeforeOrAfter) {
  const std::string dtd =
      "<!DOCTYPE doc [<!ELEMENT doc (item*)><!ELEMENT item EMPTY>"
      "<!ATTLIST item id ID #IMPLIED ref IDREF #IMPLIED refs IDREFS #IMPLIED>"
      "<!ENTITY e \"<item id='e' ref='f'/>\">]>\n<doc>";
  // Past several growths of the pass's own table of IDs: every one is
  // still found, before and after each growth.
  std::string many;
  for (int i = 0; i < 5000; ++i) {
    many += "<item id='i" + std::to_string(i) + "' ref='i" + std::to_string((i * 7919) % 5000) + "'/>";
  }
  const struct {
    const char* name;
    std::string items;
    const char* fault; // null: valid
  } cases[] = {
      {"backward", "<item id='a'/><item ref='a'/><item ref='a' refs='a'/>", nullptr},
      {"forward", "<item ref='b'/><item refs='b c'/><item ref='b'/><item id='b'/><item id='c'/>", nullptr},
      {"both", "<item id='a' ref='a'/><item refs=' a  b '/><item id='b' ref='a'/>", nullptr},
      {"dangling", "<item id='a'/><item ref='a'/><item ref='x'/>", "unknown ID \"x\""},
      {"danglingAmongIdrefs", "<item id='a'/><item refs='a y'/>", "unknown ID \"y\""},
      {"danglingAfterSettled", "<item id='a'/><item refs='a'/><item ref='z'/><item refs='a z'/>",
       "unknown ID \"z\""},
      {"duplicate", "<item ref='a'/><item id='a'/><item id='a'/>", "ID a already defined"},
      {"duplicateOfEntityContent", "<item id='f'/>&e;<item id='e'/>", "ID e already defined"},
      {"referenceFromEntityContent", "&e;", "unknown ID \"f\""},
      {"many", many + "<item refs='i0 i4999 i5000'/>", "unknown ID \"i5000\""},
      // Past the lines libxml2 keeps in a node, with and without a node.
      {"farLine", std::string(70000, '\n') + "<item ref='x'/>", "line 70002 references"},
      {"farLineOfANode", std::string(70000, '\n') + "<item xmlns:p='urn:p' ref='x'/>", "line 70002 references"},
  };
  for (const auto& c : cases) {
    const Outcome outcome = load(directory.write(std::string(c.name) + ".xml", dtd + c.items + "</doc>\n"));
    expectVerdict(outcome, c.fault, c.name);
    if (c.items == many) { // the one name that no ID declares, and no other
      EXPECT_EQ(1u, testsupport::lines(outcome.description).size()) << outcome.description;
    }
  }
}

TEST_F(DomDocumentTest, AttributeFaultsBelowTheRootAreReportedInLibxml2sWords) {
  // Most start tags are checked without a node; any fault sends the tag to
  // libxml2's own checks, whose words and places these are.
  const std::string dtd =
      "<!DOCTYPE doc [<!ELEMENT doc ANY><!ELEMENT item EMPTY><!NOTATION n SYSTEM 'n'>"
      "<!ATTLIST item id ID #IMPLIED kind (a|b) 'a' tok NMTOKEN #IMPLIED fix CDATA #FIXED 'F'"
      " need CDATA #REQUIRED ent ENTITY #IMPLIED>]>\n<doc>\n";
  const struct {
    const char* name;
    const char* item;
    const char* fault; // null: valid
  } cases[] = {
      {"valid", "<item need='1' kind='b' tok='t' fix='F' id='i'/>", nullptr},
      {"missing", "<item kind='b'/>", ":3:17: Element item does not carry attribute need"},
      {"fixed", "<item need='1' fix='G'/>", ":3:23: Value for attribute fix of item is different from default \"F\""},
      {"enumeration", "<item need='1' kind='c'/>", ":3:24: Value \"c\" for attribute kind of item is not among the enumerated set"},
      {"syntax", "<item need='1' tok='a b'/>", ":3:25: Syntax of value for attribute tok of item is not valid"},
      {"undeclared", "<item need='1' other='1'/>", ":3:25: No declaration for attribute other of element item"},
      {"entity", "<item need='1' ent='none'/>", ":3:26: ENTITY attribute ent reference an unknown entity \"none\""},
      {"colon", "<item need='1' id='a:b'/>", ":3:24: Value of attribute id of element item is not a name without a colon"},
      {"namespaced", "<item xmlns:p='urn:p' need='1'/>", ":3:31: No declaration for attribute xmlns:p of element item"},
      {"xmlPrefix", "<item xmlns:xml='http://www.w3.org/XML/1998/namespace' need='1'/>",
       "No declaration for attribute xmlns:xml of element item"},
  };
  for (const auto& c : cases) {
    const Outcome outcome = load(directory.write(std::string(c.name) + ".xml", dtd + c.item + "\n</doc>\n"));
    expectVerdict(outcome, c.fault, c.name);
  }
}

TEST_F(DomDocumentTest, ContentThatOnlyATreeWouldShowIsStillChecked) {
  const std::string empty = "<!DOCTYPE doc [<!ELEMENT doc EMPTY><!ENTITY nothing ''>]>\n";
  const std::string elementOnly =
      "<!DOCTYPE doc [<!ELEMENT doc (item*)><!ELEMENT item EMPTY>]>\n";
  directory.write("ext.dtd", "<!ELEMENT doc (item*)><!ELEMENT item EMPTY><!ELEMENT p (#PCDATA)>"
                             "<!ENTITY outside '&#233;'>");
  // Entities that stand for plain text reach the pass without being parsed
  // again, in the document and in entity text; those that stand for white
  // space or "]]>" are parsed.
  const std::string characters = "<!DOCTYPE doc [<!ELEMENT doc (item|p)*><!ELEMENT item EMPTY>"
                                 "<!ATTLIST item a NMTOKEN #IMPLIED><!ELEMENT p (#PCDATA)><!ENTITY e '&#233;'>"
                                 "<!ENTITY sp '&#32;'><!ENTITY t 'Example Caf&#233;'><!ENTITY m '<item>&t;</item>'>"
                                 "<!ENTITY end ']]&#62;'>]>\n";
  const std::string standaloneCharacters = "<?xml version='1.0' standalone='yes'?>\n<!DOCTYPE doc SYSTEM "
                                           "'ext.dtd' [<!ENTITY e '&#233;'><!ENTITY sp '&#32;'>]>\n";
  const struct {
    const char* name;
    std::string content;
    const char* expected;
  } cases[] = {
      {"comment", empty + "<doc><!-- c --></doc>", "declared EMPTY this one has content"},
      {"pi", empty + "<doc><?pi x?></doc>", "declared EMPTY this one has content"},
      {"entity", empty + "<doc>&nothing;</doc>", "declared EMPTY this one has content"},
      {"characterEntityInElementContent", characters + "<doc><item/>&e;</doc>",
       "Content.xml:2:16: Element doc content does not follow the DTD, Text not allowed"},
      {"characterEntityInEmpty", "<!DOCTYPE doc [<!ELEMENT doc EMPTY><!ENTITY e '&#233;'>]>\n<doc>&e;</doc>",
       "declared EMPTY this one has content"},
      {"textEntityInElementContent", characters + "<doc><item/>&t;</doc>",
       "Content.xml:2:16: Element doc content does not follow the DTD, Text not allowed"},
      {"textEntityInEntityTextInEmpty", characters + "<doc>&m;</doc>", "declared EMPTY this one has content"},
      {"characterEntityDeclaredOutside", standaloneCharacters + "<doc><p>&outside;</p></doc>",
       "Entity(outside) document marked standalone but requires external subset"},
      {"blankEntityInStandalone", standaloneCharacters + "<doc>&sp;<item/></doc>",
       "standalone: doc declared in the external subset contains white spaces nodes"},
      {"cdataEndEntity", characters + "<doc><p>&end;</p></doc>", "Sequence ']]>' not allowed in content"},
      {"emptyCdata", empty + "<doc><![CDATA[]]></doc>", "declared EMPTY this one has content"},
      {"blankCdata", elementOnly + "<doc><item/><![CDATA[ ]]></doc>", "Text not allowed"},
      {"standalone",
       "<?xml version='1.0' standalone='yes'?>\n<!DOCTYPE doc SYSTEM 'ext.dtd'>\n<doc>\n <item/></doc>",
       "standalone: doc declared in the external subset contains white spaces nodes"},
      {"standaloneToken",
       "<?xml version='1.0' standalone='yes'?>\n<!DOCTYPE doc [<!ELEMENT doc EMPTY><!ENTITY % t "
       "'<!ATTLIST doc t NMTOKEN #IMPLIED>'>%t;]>\n<doc t=' x'/>",
       "standalone: t on doc value had to be normalized"},
      {"colon",
       "<!DOCTYPE doc [<!ELEMENT doc EMPTY><!ATTLIST doc id ID #IMPLIED>]>\n<doc id='a:b'/>",
       "is not a name without a colon (NCName): 'a:b'"},
      {"attlistOnly", "<!DOCTYPE doc [<!ATTLIST doc a CDATA 'x'>]>\n<doc/>", "No declaration for element doc"},
      {"noDeclarations", "<!DOCTYPE svg>\n<svg/>", "No declaration for element svg (the DOCTYPE declares"},
  };
  for (const auto& c : cases) {
    const Outcome outcome = load(directory.write(std::string(c.name) + ".xml", c.content));
    EXPECT_EQ(VARIANT_FALSE, outcome.loaded) << c.name;
    EXPECT_NE(std::string::npos, outcome.description.find(c.expected)) << c.name << ": " << outcome.description;
  }
  // Blank text in element-only content is fine when the document is not
  // standalone or the declaration is its own, and so is a blank entity.
  EXPECT_EQ(VARIANT_TRUE,
            load(directory.write("blank.xml", elementOnly + "<doc>\n <item/>\n</doc>")).loaded);
  EXPECT_EQ(VARIANT_TRUE, load(directory.write("blankEntity.xml", characters + "<doc>&sp;<item/>&sp;</doc>")).loaded);
  // Character entities in mixed content and in attribute values.
  EXPECT_EQ(VARIANT_TRUE,
            load(directory.write("characterEntities.xml", characters + "<doc><p>caf&e;&sp;&e;</p><item a=' &e;x&e; '/></doc>"))
                .loaded);
  // So is a value normalized by a declaration of the document entity's own.
  EXPECT_EQ(VARIANT_TRUE,
            load(directory.write("standaloneOwn.xml", "<?xml version='1.0' standalone='yes'?>\n<!DOCTYPE doc "
                                                      "[<!ELEMENT doc EMPTY><!ATTLIST doc t NMTOKENS #IMPLIED>]>"
                                                      "\n<doc t=' x  y '/>"))
                .loaded);
  // xmlns:xml declared like any attribute is fine.
  EXPECT_EQ(VARIANT_TRUE, load(directory.write("xmlPrefix.xml", "<!DOCTYPE x [<!ELEMENT x EMPTY><!ATTLIST x xmlns:xml "
                                                                "CDATA #IMPLIED>]>\n<x xmlns:xml = "
                                                                "'http://www.w3.org/XML/1998/namespace'/>"))
                              .loaded);
  // An ATTLIST before the ELEMENT declaration of the same name is fine.
  EXPECT_EQ(VARIANT_TRUE,
            load(directory.write("attlistFirst.xml",
                                 "<!DOCTYPE doc [<!ATTLIST doc a CDATA 'x'><!ELEMENT doc EMPTY>]>\n<doc/>"))
                .loaded);
}

TEST_F(DomDocumentTest, SchemaFaultsInEntityTextArePlacedWhereTheReferenceStands) {
  directory.write("element-only.xsd", "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema'><xs:element name='doc'>"
                                      "<xs:complexType><xs:sequence><xs:element name='b' minOccurs='0'/>"
                                      "</xs:sequence></xs:complexType></xs:element></xs:schema>");
  const std::string head =
      "<!DOCTYPE doc [<!ELEMENT doc ANY><!ELEMENT b EMPTY><!ELEMENT c EMPTY><!ATTLIST doc xmlns:xsi CDATA #FIXED "
      "'http://www.w3.org/2001/XMLSchema-instance' xsi:noNamespaceSchemaLocation CDATA #IMPLIED>"
      "<!ENTITY t 'Example Corp'><!ENTITY mk '<b/><c/>'>]>\n<doc xsi:noNamespaceSchemaLocation='element-only.xsd'>\n  ";
  const struct {
    const char* name;
    const char* reference;
    const char* fault;
  } cases[] = {
      {"text", "&t;", "text.xml:3:6: Element 'doc': Character content other than whitespace is not allowed"},
      {"markup", "&mk;", "markup.xml:3:7: Element 'c': This element is not expected."},
  };
  for (const auto& c : cases) {
    const Outcome outcome = load(directory.write(std::string(c.name) + ".xml", head + c.reference + "</doc>\n"));
    expectVerdict(outcome, c.fault, c.name);
  }
}

TEST_F(DomDocumentTest, BytesTheEncodingCannotDecodeAreReportedOnceWhereTheyStand) {
  // libxml2 decodes ahead of its parser, and reports such bytes lines early
  // and more than once (Shift_JIS), or not at all (US-ASCII).
  std::string japanese = "<?xml version='1.0' encoding='Shift_JIS'?>\n<doc>\n";
  for (int line = 3; line < 300; ++line) {
    japanese += "<p>\x93\xfa\x96\x7b</p>\n";
  }
  const std::string ascii = "<?xml version='1.0' encoding='US-ASCII'?>\n";
  const struct {
    const char* name;
    std::string content;
    const char* expected;
  } cases[] = {
      {"sjis", japanese + "<p>bad \x85\x30 here</p>\n</doc>\n",
       ":300:8: invalid Shift_JIS byte sequence here: 0x85 0x30 0x20 0x68"},
      {"ascii", ascii + "<doc>caf\xc3\xa9</doc>\n", ":2:9: invalid US-ASCII byte sequence here: 0xC3 0xA9"},
      {"asciiAfterRoot", ascii + "<doc/>\n\xe9", ":3:1: invalid US-ASCII byte sequence here: 0xE9"},
      {"utf32", std::string("\xff\xfe\0\0<\0\0\0d\0\0\0/\0\0\0>\0\0\0", 20),
       ":1:1: the document is encoded in UTF-32, which is not supported"},
  };
  for (const auto& c : cases) {
    if (std::string(c.name) == "sjis" && !hasConverter("Shift_JIS")) {
      continue;
    }
    const std::string path = directory.write(std::string(c.name) + ".xml", c.content);
    const Outcome outcome = load(path);
    EXPECT_EQ(VARIANT_FALSE, outcome.loaded) << c.name;
    EXPECT_EQ(1u, testsupport::lines(outcome.description).size()) << c.name << ": " << outcome.description;
    EXPECT_NE(std::string::npos, outcome.description.find(path + c.expected)) << c.name << ": " << outcome.description;
  }
}

TEST_F(DomDocumentTest, AnEntityDefaultCountsOnlyWhereItIsTaken) {
  const std::string dtd = "<!DOCTYPE doc [<!ELEMENT doc (item*)><!ELEMENT item EMPTY>"
                          "<!ATTLIST item picture ENTITY 'undeclared'>]>\n";
  EXPECT_EQ(VARIANT_TRUE, load(directory.write("unused.xml", dtd + "<doc/>")).loaded);
  const Outcome used = load(directory.write("used.xml", dtd + "<doc><item/></doc>"));
  EXPECT_EQ(VARIANT_FALSE, used.loaded);
  EXPECT_NE(std::string::npos, used.description.find("undeclared")) << used.description;
}

} // namespace
} // namespace platform::xml
