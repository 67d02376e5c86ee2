#include "platform/xml/LibxmlInternals.h"

#include <gtest/gtest.h>
#include <libxml/SAX2.h>
#include <libxml/hash.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/schemasInternals.h>
#include <libxml/xmlschemas.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/xml/ErrorChannels.h"
#include "support/TemporaryDirectory.h"

// Each test pins what the pass assumes of libxml2's internal structures, so
// that a libxml2 that changes under it fails here first.

namespace {

namespace internals = platform::xml::internals;

struct Observed {
  int elements = 0;
  bool pendingAtRoot = false;
  bool pendingAtSecond = true;
  std::size_t readAtEnd = 0;
};

Observed& observed(void* context) {
  return *static_cast<Observed*>(static_cast<xmlParserCtxtPtr>(context)->_private);
}

void onStart(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri,
             int namespaceCount, const xmlChar** namespaces, int attributeCount, int defaultedCount,
             const xmlChar** attributes) {
  Observed& seen = observed(context);
  const bool pending = internals::dtdChecksPending(static_cast<xmlParserCtxtPtr>(context));
  (++seen.elements == 1 ? seen.pendingAtRoot : seen.pendingAtSecond) = pending;
  xmlSAX2StartElementNs(context, localName, prefix, uri, namespaceCount, namespaces, attributeCount,
                        defaultedCount, attributes);
}

void onEnd(void* context) {
  observed(context).readAtEnd = internals::documentBytesRead(static_cast<xmlParserCtxtPtr>(context));
  xmlSAX2EndDocument(context);
}

Observed parse(const std::string& document) {
  Observed seen;
  xmlParserCtxtPtr context = xmlCreateMemoryParserCtxt(document.data(), static_cast<int>(document.size()));
  context->_private = &seen;
  context->sax->startElementNs = onStart;
  context->sax->endDocument = onEnd;
  xmlCtxtUseOptions(context, XML_PARSE_DTDVALID | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  xmlParseDocument(context);
  xmlFreeDoc(context->myDoc);
  xmlFreeParserCtxt(context);
  return seen;
}

TEST(LibxmlInternals, TheDtdChecksArePendingAtTheRootOnlyAndEveryByteIsCounted) {
  const std::string document = "<!DOCTYPE r [<!ELEMENT r (e)*><!ELEMENT e EMPTY>]>\n<r><e/><e/></r>\n";
  const Observed seen = parse(document);
  EXPECT_TRUE(seen.pendingAtRoot) << "libxml2 marks its pending DTD checks otherwise now";
  EXPECT_FALSE(seen.pendingAtSecond) << "libxml2 no longer marks its DTD checks as made at the root";
  EXPECT_EQ(document.size(), seen.readAtEnd);
}

} // namespace

namespace {

TEST(LibxmlInternals, AValidationContextShowsItsSchemaAndThatItsNamespaces) {
  testsupport::TemporaryDirectory folder;
  folder.write("b.xsd", "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema' targetNamespace='urn:b'>"
                        "<xs:element name='s'/></xs:schema>");
  const std::string text = "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema' targetNamespace='urn:a'>"
                           "<xs:import namespace='urn:b' schemaLocation='" + (folder.path() / "b.xsd").generic_string() + "'/>"
                           "<xs:element name='r'/></xs:schema>";
  xmlSchemaParserCtxtPtr parser = xmlSchemaNewMemParserCtxt(text.data(), static_cast<int>(text.size()));
  xmlSchemaPtr schema = xmlSchemaParse(parser);
  ASSERT_NE(nullptr, schema);
  xmlSchemaValidCtxtPtr given = xmlSchemaNewValidCtxt(schema);
  EXPECT_EQ(schema, internals::validationSchema(given));
  const std::vector<xmlSchemaPtr> schemas = internals::namespaceSchemas(schema);
  ASSERT_EQ(2u, schemas.size());
  EXPECT_EQ(schema, schemas[0]);
  ASSERT_NE(nullptr, schemas[1]->targetNamespace);
  EXPECT_STREQ("urn:b", reinterpret_cast<const char*>(schemas[1]->targetNamespace));
  EXPECT_NE(nullptr, schemas[1]->elemDecl);
  xmlSchemaFreeValidCtxt(given);
  xmlSchemaFree(schema);
  xmlSchemaFreeParserCtxt(parser);
}

void countError(void* count, platform::xml::LibxmlError) { ++*static_cast<int*>(count); }

// A validation context for schema (null: from hints), plugged for SAX
// events, that counts its errors.
struct PluggedContext {
  explicit PluggedContext(xmlSchemaPtr schema) : context(xmlSchemaNewValidCtxt(schema)) {
    xmlSchemaSetValidStructuredErrors(context, countError, &errors);
    plug = xmlSchemaSAXPlug(context, &handler, &data);
  }
  PluggedContext(const PluggedContext&) = delete;
  PluggedContext& operator=(const PluggedContext&) = delete;
  ~PluggedContext() {
    if (plug != nullptr) {
      xmlSchemaSAXUnplug(plug);
    }
    xmlSchemaFreeValidCtxt(context);
  }

  xmlSchemaValidCtxtPtr context;
  int errors = 0;
  xmlSAXHandlerPtr handler = nullptr;
  void* data = nullptr;
  xmlSchemaSAXPlugPtr plug = nullptr;
};

xmlSchemaPtr parseSchema(const std::string& body) {
  const std::string text = "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema'>" + body + "</xs:schema>";
  xmlSchemaParserCtxtPtr parser = xmlSchemaNewMemParserCtxt(text.data(), static_cast<int>(text.size()));
  xmlSchemaPtr schema = xmlSchemaParse(parser);
  xmlSchemaFreeParserCtxt(parser);
  return schema;
}


// A root that names its schema by a hint is validated against it only when
// the context reads hints: without them it has no declaration.
TEST(LibxmlInternals, AValidationContextReadsHintsOnlyWhileToldTo) {
  testsupport::TemporaryDirectory folder;
  folder.write("r.xsd", "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema'><xs:element name='r'/></xs:schema>");
  const std::string location = folder.file("r.xsd");
  const auto* text = reinterpret_cast<const xmlChar*>(location.c_str());
  const xmlChar* hint[5] = {reinterpret_cast<const xmlChar*>("noNamespaceSchemaLocation"),
                            reinterpret_cast<const xmlChar*>("xsi"),
                            reinterpret_cast<const xmlChar*>("http://www.w3.org/2001/XMLSchema-instance"), text,
                            text + location.size()};
  const auto* root = reinterpret_cast<const xmlChar*>("r");
  for (const bool read : {false, true}) {
    SCOPED_TRACE(read ? "hints read" : "hints not read");
    PluggedContext plugged(nullptr);
    ASSERT_NE(nullptr, plugged.plug);
    internals::readHints(plugged.context, read);
    plugged.handler->startElementNs(plugged.data, root, nullptr, nullptr, 0, nullptr, 1, 0, hint);
    plugged.handler->endElementNs(plugged.data, root, nullptr, nullptr);
    EXPECT_EQ(read, plugged.errors == 0) << "the context no longer keeps whether it reads hints where it did";
    // Unplugging frees the assembled schema only while hints are read.
    internals::readHints(plugged.context, true);
  }
}

bool anyValue(const xmlSchemaType&, std::string_view) { return true; }
bool noValue(const xmlSchemaType&, std::string_view) { return false; }

// An element whose record loses its type at its end is not checked there;
// one with a fixed value keeps it.
TEST(LibxmlInternals, AnElementSettledBeforeItsEndIsNotCheckedThere) {
  xmlSchemaPtr schema = parseSchema("<xs:element name='n' type='xs:positiveInteger'/>"
                                    "<xs:element name='f' type='xs:positiveInteger' fixed='5'/>");
  ASSERT_NE(nullptr, schema);
  const struct {
    const char* element;
    bool (*valid)(const xmlSchemaType&, std::string_view);
    bool settled;
  } rows[] = {{"n", anyValue, true}, {"n", noValue, false}, {"f", anyValue, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.element) + (row.valid == anyValue ? ", any value" : ", no value"));
    PluggedContext plugged(schema);
    ASSERT_NE(nullptr, plugged.plug);
    const auto* name = reinterpret_cast<const xmlChar*>(row.element);
    plugged.handler->startElementNs(plugged.data, name, nullptr, nullptr, 0, nullptr, 0, 0, nullptr);
    plugged.handler->characters(plugged.data, reinterpret_cast<const xmlChar*>("0"), 1);
    EXPECT_EQ(row.settled, internals::settleContent(plugged.context, name, row.valid));
    plugged.handler->endElementNs(plugged.data, name, nullptr, nullptr);
    EXPECT_EQ(row.settled, plugged.errors == 0) << "the end of an element reads its record otherwise now";
  }
  xmlSchemaFree(schema);
}

// A local declaration without a value constraint may have its values left
// unchecked, and gets its type back; a fixed or global one is not offered.
TEST(LibxmlInternals, AnAttributeLeftUncheckedTakesAnyValueWhileItIsLeft) {
  xmlSchemaPtr schema = parseSchema("<xs:attribute name='g' type='xs:positiveInteger'/>"
                                    "<xs:element name='e'><xs:complexType>"
                                    "<xs:attribute name='n' type='xs:positiveInteger'/>"
                                    "<xs:attribute name='f' type='xs:positiveInteger' fixed='5'/>"
                                    "<xs:attribute ref='g'/></xs:complexType></xs:element>");
  ASSERT_NE(nullptr, schema);
  const auto* element = static_cast<xmlSchemaElementPtr>(xmlHashLookup(schema->elemDecl, BAD_CAST "e"));
  ASSERT_NE(nullptr, element);
  xmlSchemaAttributePtr local = nullptr;
  for (const internals::AttributeType& attribute : internals::attributeTypes(*element->subtypes)) {
    EXPECT_EQ(std::string_view("n") == reinterpret_cast<const char*>(attribute.name), attribute.local != nullptr)
        << attribute.name;
    local = attribute.local != nullptr ? attribute.local : local;
  }
  ASSERT_NE(nullptr, local);
  const internals::UncheckedAttributeLimits limits = internals::uncheckedAttributeLimits(schema);
  const xmlSchemaTypePtr own = local->subtypes;
  const xmlChar* invalid[5] = {BAD_CAST "n", nullptr, nullptr, BAD_CAST "0", BAD_CAST "0" + 1};
  for (const bool left : {false, true}) {
    SCOPED_TRACE(left ? "left unchecked" : "checked");
    PluggedContext plugged(schema);
    ASSERT_NE(nullptr, plugged.plug);
    {
      internals::UncheckedAttributes unchecked;
      EXPECT_TRUE(!left || unchecked.leave(local, limits.standIn));
      plugged.handler->startElementNs(plugged.data, BAD_CAST "e", nullptr, nullptr, 0, nullptr, 1, 0, invalid);
    }
    EXPECT_EQ(own, local->subtypes);
    plugged.handler->endElementNs(plugged.data, BAD_CAST "e", nullptr, nullptr);
    EXPECT_EQ(left, plugged.errors == 0) << "the schema layer no longer reads an attribute's type from its declaration";
  }
  xmlSchemaFree(schema);
  // None under an identity constraint; no ID where a global declaration
  // may hold IDs.
  const struct {
    const char* body;
    bool any;
    bool ids;
  } rows[] = {{"<xs:attribute name='g' type='xs:string'/>", true, true},
              {"<xs:attribute name='g' type='xs:ID'/>", true, false},
              {"<xs:element name='r'><xs:complexType><xs:attribute name='k'/></xs:complexType>"
               "<xs:key name='key'><xs:selector xpath='.'/><xs:field xpath='@k'/></xs:key></xs:element>",
               false, false}};
  for (const auto& row : rows) {
    xmlSchemaPtr bounding = parseSchema(row.body);
    ASSERT_NE(nullptr, bounding) << row.body;
    const internals::UncheckedAttributeLimits found = internals::uncheckedAttributeLimits(bounding);
    EXPECT_EQ(row.any, found.any) << row.body;
    EXPECT_EQ(row.ids, found.ids) << row.body;
    xmlSchemaFree(bounding);
  }
}

bool markMissing = false;
xmlParserInputPtr loadNothing(const char*, const char*, xmlParserCtxtPtr) {
  if (markMissing) {
    internals::markDocumentNotLocated();
  }
  return nullptr;
}

// An import whose document the loader does not give fails the schema as
// one that could not be parsed, unless the loader marks it not located.
TEST(LibxmlInternals, AnImportOfADocumentMarkedNotLocatedIsSkipped) {
  const std::string text = "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema'>"
                           "<xs:import namespace='urn:b' schemaLocation='b.xsd'/>"
                           "<xs:element name='r'/></xs:schema>";
  const xmlExternalEntityLoader previous = xmlGetExternalEntityLoader();
  xmlSetExternalEntityLoader(loadNothing);
  for (const bool marked : {false, true}) {
    SCOPED_TRACE(marked ? "marked" : "not marked");
    markMissing = marked;
    xmlResetLastError();
    xmlSchemaParserCtxtPtr parser = xmlSchemaNewMemParserCtxt(text.data(), static_cast<int>(text.size()));
    int errors = 0;
    xmlSchemaSetParserStructuredErrors(parser, countError, &errors);
    xmlSchemaPtr schema = xmlSchemaParse(parser);
    EXPECT_EQ(marked, schema != nullptr);
    xmlSchemaFree(schema);
    xmlSchemaFreeParserCtxt(parser);
  }
  xmlSetExternalEntityLoader(previous);
  xmlResetLastError();
}

} // namespace
