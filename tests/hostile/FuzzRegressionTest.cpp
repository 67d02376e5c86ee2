// Inputs the fuzzer (fuzz/run) found to crash or leak, run in process through
// the document component as the fuzz target runs them: what they pin shows
// most under the sanitizer build, where a use after free or a leak fails the
// test outright.

#include <gtest/gtest.h>

#include <string>

#include "platform/xml/ErrorCollector.h"
#include "platform/xml/StreamingValidator.h"
#include "support/TemporaryDirectory.h"

namespace {

using platform::xml::ErrorCollector;
using platform::xml::LoadOptions;
using platform::xml::StreamingValidator;
using testsupport::TemporaryDirectory;

const std::string xsi = "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"";

/// Validates document in memory as folder/doc.xml; returns the first problem.
std::string firstProblem(const TemporaryDirectory& folder, const std::string& document,
                         ErrorCollector& errors) {
  StreamingValidator(LoadOptions{}).runMemory(document.data(), document.size(),
                                              folder.file("doc.xml"), errors);
  return errors.kept().empty() ? std::string() : errors.kept().front().message;
}

TEST(FuzzRegression, SchemaIncludeWithoutAValidUriEndsTheSchemaValidation) {
  // The schema layer's internal error left it without an element; the text
  // that followed crashed it.
  TemporaryDirectory folder;
  folder.write("include.xsd",
               "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">"
               "<xs:include schemaLocation=\"&gt;x.xsd\"/><xs:element name=\"r\"/></xs:schema>");
  ErrorCollector errors;
  EXPECT_EQ("Internal error: xmlSchemaParseIncludeOrRedefine, could not build an URI from the "
            "schemaLocation.",
            firstProblem(folder, "<r " + xsi + " xsi:noNamespaceSchemaLocation=\"include.xsd\">text<a/>"
                                 "<![CDATA[more]]></r>",
                         errors));
}

TEST(FuzzRegression, BothHintsWithAnUnusableNoNamespaceLocationEndTheSchemaValidation) {
  // The crash the fuzzer found: the schema composed of both hints includes
  // a location that is no URI.
  TemporaryDirectory folder;
  folder.write("shipping.xsd",
               "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
               "targetNamespace=\"urn:shipping\"><xs:element name=\"carrier\"/></xs:schema>");
  ErrorCollector errors;
  firstProblem(folder,
               "<shipment xmlns:s=\"urn:shipping\" " + xsi +
                   " xsi:noNamespaceSchemaLocation=\"s/>chemas/shipment.xsd\""
                   " xsi:schemaLocation=\"urn:shipping shipping.xsd\">\n"
                   "  <s:carrier>Rapid Parcel</s:carrier>\n</shipment>\n",
               errors);
  EXPECT_FALSE(errors.empty());
}

TEST(FuzzRegression, ErrorAfterEntityContentWasParsedIsPlacedWithoutItsFreedContext) {
  // The loop error comes after libxml2 freed the context of the entity
  // content last parsed, which the pass still took for the current one.
  TemporaryDirectory folder;
  std::string declarations = "<!ENTITY a0 \"ha\">\n";
  for (int level = 1; level <= 9; ++level) {
    std::string references;
    for (int i = 0; i < 10; ++i) {
      references += "&a" + std::to_string(level - 1) + ";";
    }
    declarations += "<!ENTITY a" + std::to_string(level) + " \"" + references + "\">\n";
  }
  ErrorCollector errors;
  firstProblem(folder, "<!DOCTYPE bomb [\n" + declarations + "<!ELEMENT bomb (#PCDATA)>\n]>\n<bomb>&a9;</bomb>\n",
               errors);
  ASSERT_FALSE(errors.kept().empty());
  EXPECT_EQ(14, errors.kept().front().line);
  EXPECT_EQ(folder.file("doc.xml"), errors.kept().front().location);
}

TEST(FuzzRegression, DtdValidationStackIsFreedForWholeAndForBrokenDocuments) {
  // libxml2 leaves the stack of push validation to its user.
  TemporaryDirectory folder;
  const std::string dtd = "<!DOCTYPE r [<!ELEMENT r (e, e)><!ELEMENT e (#PCDATA)>]>\n";
  ErrorCollector whole;
  EXPECT_EQ("", firstProblem(folder, dtd + "<r><e>1</e><e>2</e></r>\n", whole));
  ErrorCollector broken;
  EXPECT_NE("", firstProblem(folder, dtd + "<r><e>1</e><e>2", broken));
}

} // namespace
