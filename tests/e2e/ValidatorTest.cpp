// Runs the built vexlor binary and checks standard output, standard error and
// the exit code byte for byte. Documents are named relative to the fixtures
// folder, which is the binary's working directory unless a test says otherwise.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "e2e/FolderMatrix.h"
#include "e2e/VexlorRun.h"
#include "support/ExpectedOutput.h"
#include "support/PosixOnly.h"
#include "support/ProcessRunner.h"
#include "support/TemporaryDirectory.h"

namespace {

using namespace e2e;
using namespace testsupport::expected;
using testsupport::ProcessOptions;
using testsupport::ProcessResult;
using testsupport::ProcessRunner;
using testsupport::TemporaryDirectory;

// --- The command line ------------------------------------------------------

TEST(CommandLine, NoArgumentPrintsUsageAndFails) {
  ProcessResult result = runVexlor({});
  EXPECT_EQ(banner, result.standardOutput);
  EXPECT_EQ(usage, result.standardError);
  EXPECT_EQ(failureExit, result.exitCode);
}

TEST(CommandLine, TwoArgumentsPrintUsageWithoutValidatingEither) {
  ProcessResult result = runVexlor({"wf/plain.xml", "wf/not-well-formed.xml"});
  EXPECT_EQ(banner, result.standardOutput);
  EXPECT_EQ(usage, result.standardError);
  EXPECT_EQ(failureExit, result.exitCode);
}

TEST(CommandLine, EmptyArgumentIsLoadedAndRejected) {
  expectRejected("", {":0:0: failed to load \"\": No such file or directory"});
}

TEST(CommandLine, MissingFileIsRejected) {
  expectRejected("no-such-file.xml",
                 {"no-such-file.xml:0:0: failed to load \"no-such-file.xml\": No such file or "
                  "directory"});
}

TEST(CommandLine, DirectoryIsRejected) {
  expectRejected("dtd", {"dtd:0:0: failed to load \"dtd\": it is a directory"});
}

TEST(CommandLine, FileUrlIsLoadedLikeAPath) {
  expectValid("file://" + fixturesDirectory + "/dtd/order-valid.xml");
}

TEST(CommandLine, AbsolutePathIsEchoedAndNamesTheErrors) {
  const std::string path = fixturesDirectory + "/wf/not-well-formed.xml";
  expectRejected(path, {path + ":5:9: Opening and ending tag mismatch: item line 4 and order"});
}

// "OK-" that does not arrive is no success: standard output on a full
// device, or closed (where no file the run opens may take its place).
TEST(CommandLine, ResultThatCannotBeWrittenFails) {
  VEXLOR_POSIX_ONLY("/bin/sh and /dev/full");
  const std::pair<const char*, const char*> cases[] = {
      {">/dev/full", "No space left on device"}, {">&-", "Bad file descriptor"}};
  for (const auto& [redirection, reason] : cases) {
    SCOPED_TRACE(redirection);
    ProcessOptions inFixtures;
    inFixtures.workingDirectory = fixturesDirectory;
    const ProcessResult result = ProcessRunner::run(
        "/bin/sh", {"-c", std::string("exec \"$0\" \"$1\" ") + redirection, VEXLOR_BINARY, "wf/plain.xml"},
        inFixtures);
    EXPECT_EQ(std::string("Could not write to standard output: ") + reason + "\n", result.standardError);
    EXPECT_EQ(failureExit, result.exitCode);
  }
}

// --- Documents without a grammar ---------------------------------------------

TEST(WellFormedness, DocumentWithoutGrammarIsCheckedForWellFormednessOnly) {
  expectValid("wf/plain.xml");
}

TEST(WellFormedness, MismatchedTagsAreReportedWithTheirPositions) {
  expectRejected("wf/not-well-formed.xml",
                 {"wf/not-well-formed.xml:5:9: Opening and ending tag mismatch: item line 4 and order"});
}

TEST(WellFormedness, EmptyFileIsRejected) {
  expectRejected("wf/empty.xml", {"wf/empty.xml:1:1: Document is empty"});
}

TEST(WellFormedness, UndeclaredPrefixIsANamespaceError) {
  expectRejected("ns/undeclared-prefix.xml",
                 {"ns/undeclared-prefix.xml:4:22: Namespace prefix o on item is not defined"});
}

TEST(WellFormedness, EntityExpansionBombIsStopped) {
  // libxml2 2.9 and 2.10 stop it first, in their own words.
  const ProcessResult result = runVexlor({"limits/entity-bomb.xml"});
  EXPECT_EQ(failureExit, result.exitCode);
  EXPECT_NE(std::string::npos, result.standardError.find("Description: limits/entity-bomb.xml:15:11: "))
      << result.standardError;
}

TEST(WellFormedness, NestingDeeperThan256LevelsIsRejected) {
  expectRejected("limits/deep-nesting.xml",
                 {"limits/deep-nesting.xml:2:772: Excessive depth in document: elements nested deeper than "
                  "256 levels"});
}

// --- DTD validation -------------------------------------------------------------

TEST(DtdValidation, ValidDocumentWithExternalSubsetInAnotherFolderPasses) {
  expectValid("dtd/order-valid.xml");
}

TEST(DtdValidation, EveryFaultIsReportedOnceInDocumentOrder) {
  expectRejected("dtd/order-invalid.xml",
                 {"dtd/order-invalid.xml:5:18: Element item does not carry attribute sku",
                  "dtd/order-invalid.xml:7:8: Element order content does not follow the DTD, "
                  "Misplaced gift",
                  "dtd/order-invalid.xml:7:8: No declaration for element gift",
                  "dtd/order-invalid.xml:6:0: attribute ref line 6 references an unknown ID \"o2\""});
}

TEST(DtdValidation, ReportStopsAfterFiftyErrorsAndCountsTheRest) {
  std::vector<std::string> errors;
  for (int line = 5; line < 55; ++line) {
    const int column = line < 14 ? 39 : 40; // after the record's attributes
    errors.push_back("dtd/order-many-errors.xml:" + std::to_string(line) + ":" +
                     std::to_string(column) +
                     ": No declaration for attribute colour of element item");
  }
  errors.push_back("... and 10 more errors.");
  expectRejected("dtd/order-many-errors.xml", errors);
}

TEST(DtdValidation, SyntaxErrorInExternalSubsetNamesTheSubset) {
  expectRejected("dtd/broken-dtd.xml",
                 {shown("dtds/broken.dtd") + ":1:33: ContentDecl : ',' '|' or ')' expected"});
}

TEST(DtdValidation, MissingExternalSubsetIsAnError) {
  expectRejected("dtd/missing-dtd.xml",
                 {"dtd/missing-dtd.xml:2:46: failed to load \"" + shown("dtds/no-such.dtd") +
                  "\": No such file or directory"});
}

// --- Schemas named by xsi hints ----------------------------------------------

TEST(SchemaHints, ValidDocumentsPass) {
  for (const char* document :
       {"xsd/order-valid.xml", "xsd/two-namespaces-valid.xml", "xsd/catalog-valid.xml",
        "xsd/note-valid.xml", "xsd/child-hint-valid.xml", "xsd/repeated-hints-valid.xml",
        "xsd/include-cycles-valid.xml", "xsd/include-cycles-in-marked-folder-valid.xml",
        "xsd/import-without-location-valid.xml", "xsd/identity-valid.xml",
        // The location of an import is a hint: one that names no document is skipped.
        "xsd/missing-import.xml"}) {
    SCOPED_TRACE(document);
    expectValid(document);
  }
}

TEST(SchemaHints, OneNamespaceSchemaLocationIsEnforced) {
  expectRejected(
      "xsd/order-invalid.xml",
      {"xsd/order-invalid.xml:6:29: Element '{urn:vexlor:order}item', attribute 'qty': '-2' is "
       "not a valid value of the atomic type 'xs:positiveInteger'.",
       "xsd/order-invalid.xml:7:16: Element '{urn:vexlor:order}item': The attribute 'sku' is "
       "required but missing."});
}

TEST(SchemaHints, EverySchemaOfATwoPairSchemaLocationIsEnforced) {
  expectRejected("xsd/two-namespaces-invalid.xml",
                 {"xsd/two-namespaces-invalid.xml:10:34: Element '{urn:vexlor:shipping}date': "
                  "'next Tuesday' is not a valid value of the atomic type 'xs:date'."});
}

TEST(SchemaHints, IncludedAndImportedSchemasAreEnforced) {
  expectRejected(
      "xsd/catalog-invalid.xml",
      {"xsd/catalog-invalid.xml:5:62: Element '{urn:vexlor:units}weight', attribute 'unit': "
       "[facet 'enumeration'] The value 'lb' is not an element of the set {'g', 'kg'}.",
       "xsd/catalog-invalid.xml:6:22: Element '{urn:vexlor:catalog}product', attribute 'sku': "
       "[facet 'pattern'] The value 'b200' is not accepted by the pattern '[A-Z]-[0-9]{3}'."});
}

TEST(SchemaHints, NoNamespaceSchemaLocationIsEnforced) {
  expectRejected("xsd/note-invalid.xml",
                 {"xsd/note-invalid.xml:3:71: Element 'note', attribute 'priority': 'high' is "
                  "not a valid value of the atomic type 'xs:int'.",
                  "xsd/note-invalid.xml:4:8: Element 'body': This element is not expected. "
                  "Expected is ( to )."});
}

// Both hint attributes on one element: the no-namespace schema and the
// namespaced ones apply together.
TEST(SchemaHints, BothHintAttributesOnOneElementAcceptAValidDocument) {
  expectValid("xsd/mixed-hints-valid.xml");
}

TEST(SchemaHints, BothHintAttributesOnOneElementAreEnforced) {
  expectRejected("xsd/mixed-hints-invalid.xml",
                 {"xsd/mixed-hints-invalid.xml:9:26: Element '{urn:vexlor:shipping}date': "
                  "'soon' is not a valid value of the atomic type 'xs:date'."});
}

TEST(SchemaHints, HintOnAnInnerElementIsEnforced) {
  expectRejected("xsd/child-hint-invalid.xml",
                 {"xsd/child-hint-invalid.xml:7:30: Element '{urn:vexlor:order}item', attribute "
                  "'qty': '0' is not a valid value of the atomic type 'xs:positiveInteger'."});
}

// Hints are read only on the elements that hold them: the identity
// constraints of a schema that an inner element's hint names still hold.
TEST(SchemaHints, IdentityConstraintsOfASchemaHintedInsideAreEnforced) {
  expectRejected("xsd/identity-invalid.xml",
                 {"xsd/identity-invalid.xml:6:24: Element '{urn:vexlor:stock}part': Duplicate key-sequence "
                  "['A-100'] in key identity-constraint '{urn:vexlor:stock}parts'.",
                  "xsd/identity-invalid.xml:8:11: Element '{urn:vexlor:stock}order': No match found for "
                  "key-sequence ['C-300'] of keyref '{urn:vexlor:stock}ordered'."});
}

// Each schema document is read once however often it is named (hints
// repeated, a schema including itself or its includer), the hinted schemas
// see each other's components, a hint's faults are named, and a schema's
// faults are placed in the schema document.
TEST(SchemaHints, HintsAreAssembledIntoOneSchema) {
  const struct {
    const char* document;
    std::string error;
  } rows[] = {
      {"xsd/repeated-hints-invalid.xml",
       "xsd/repeated-hints-invalid.xml:8:86: Element '{urn:vexlor:order}item', attribute 'qty': '0' is not a "
       "valid value of the atomic type 'xs:positiveInteger'."},
      {"xsd/include-cycles-invalid.xml",
       "xsd/include-cycles-invalid.xml:4:17: Element 'part': '0' is not a valid value of the atomic type "
       "'xs:positiveInteger'."},
      {"xsd/import-without-location-invalid.xml",
       "xsd/import-without-location-invalid.xml:4:22: Element '{urn:vexlor:units}weight', attribute 'unit': "
       "[facet 'enumeration'] The value 'lb' is not an element of the set {'g', 'kg'}."},
      {"xsd/late-hint.xml",
       "xsd/late-hint.xml:5:86: Element '{urn:vexlor:order}item': xsi:schemaLocation names a schema for "
       "namespace 'urn:vexlor:order' after elements or attributes of it have been validated; it is not read."},
      {"xsd/odd-hint.xml",
       "xsd/odd-hint.xml:3:45: Element '{urn:vexlor:order}order': xsi:schemaLocation must hold pairs of "
       "namespace and location; 'urn:vexlor:order' has no location."},
      {"xsd/bad-facets.xml",
       shown("xsd/schemas/bad-facets.xsd") +
           ":0:0: facet 'maxInclusive': 'maxInclusive' has to be greater than or equal to 'minInclusive'."},
      {"xsd/missing-include.xml",
       shown("xsd/schemas/missing-include.xsd") + ":3:0: failed to load \"" +
           shown("xsd/schemas/no-such-part.xsd") + "\": No such file or directory"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.document);
    expectRejected(row.document, {row.error});
  }
}

TEST(SchemaHints, SchemaThatCannotBeLoadedIsAnError) {
  expectRejected("xsd/missing-schema.xml",
                 {"xsd/missing-schema.xml:3:58: failed to load \"" + shown("xsd/schemas/no-such.xsd") +
                  "\": No such file or directory"});
}

TEST(SchemaHints, SchemaThatDoesNotCompileIsAnError) {
  expectRejected("xsd/broken-schema.xml",
                 {shown("xsd/schemas/broken.xsd") + ":3:0: element decl. 'note', attribute 'type': The QName "
                  "value 'NoSuchType' does not resolve to a(n) type definition."});
}

// --- A DOCTYPE and xsi hints together -----------------------------------------

TEST(DtdAndSchema, DocumentValidAgainstBothPasses) {
  expectValid("both/note-valid.xml");
}

TEST(DtdAndSchema, DtdIsEnforcedWhenTheSchemaAccepts) {
  expectRejected("both/note-dtd-invalid.xml",
                 {"both/note-dtd-invalid.xml:4:75: Value \"7\" for attribute priority of note is "
                  "not among the enumerated set"});
}

TEST(DtdAndSchema, SchemaIsEnforcedWhenTheDtdAccepts) {
  expectRejected("both/note-xsd-invalid.xml",
                 {"both/note-xsd-invalid.xml:5:8: Element 'body': This element is not expected. "
                  "Expected is ( to )."});
}

// --- Where names lead ----------------------------------------------------------

// Run from a folder whose looser DTD and schema sit where references taken
// relative to the current directory would lead.
TEST(ResourceNames, ReferencesResolveAgainstTheDocumentHoweverItIsNamed) {
  VEXLOR_POSIX_ONLY("POSIX names ('?' in a folder, bytes that are no UTF-8); tests/wine has Windows'");
  TemporaryDirectory scratch;
  const auto documents = e2e::writeFolderMatrix(
      [&scratch](const std::string& name, const std::string& content) { scratch.write(name, content); },
      {"invalid-utf8-\xff"});
  ProcessOptions fromDecoy;
  fromDecoy.workingDirectory = scratch.file("decoy/inner");
  for (const e2e::MatrixDocument& document : documents) {
    const std::string absolute = scratch.file(document.path);
    for (const std::string& argument :
         {"../../" + document.path, absolute, "file://" + e2e::escapePath(absolute)}) {
      SCOPED_TRACE(argument);
      const ProcessResult result = runVexlor({argument}, fromDecoy);
      EXPECT_EQ(document.valid ? 0 : failureExit, result.exitCode);
      EXPECT_EQ(std::string::npos, result.standardError.find("failed to load")) << result.standardError;
    }
  }
}

// Escapes, spaces and non-ASCII letters in system literals, and names that
// look like URI syntax or like standard input on the command line.
TEST(ResourceNames, NamesAreTakenAsWritten) {
  TemporaryDirectory scratch;
  ProcessOptions inScratch;
  inScratch.workingDirectory = scratch.path().u8string();
  const std::string emptyOnly = "<!ELEMENT d EMPTY>";
  for (const char* dtd : {"my file.dtd", "r\xC3\xA8gles.dtd", "dtds/-"}) {
    scratch.write(dtd, emptyOnly);
  }
  int count = 0;
  for (const char* literal :
       {"my file.dtd", "my%20file.dtd", "file:my%20file.dtd", "FILE:my file.dtd", "r\xC3\xA8gles.dtd", "dtds/-"}) {
    SCOPED_TRACE(literal);
    const std::string name = "doc" + std::to_string(++count) + ".xml";
    scratch.write(name, "<!DOCTYPE d SYSTEM '" + std::string(literal) + "'>\n<d/>\n");
    expectValid(name, inScratch);
    scratch.write(name, "<!DOCTYPE d SYSTEM '" + std::string(literal) + "'>\n<d>text</d>\n");
    expectRejected(name, {name + ":2:8: Element d was declared EMPTY this one has content"}, inScratch);
  }
  // Standard input stays unread: "-" names a file.
  scratch.write("-", "<d/>");
  expectValid("-", inScratch);
  scratch.write("x%41y/doc.xml", "<d/>");
  expectValid("x%41y/doc.xml", inScratch);
  expectRejected("ab:cd/doc.xml",
                 {"ab:cd/doc.xml:0:0: failed to load \"ab:cd/doc.xml\": No such file or directory"},
                 inScratch);
}

// A catalog that cannot be read (a FIFO nobody writes, a device, a file that
// is no catalog) is skipped: the next one still maps the DTD's web location
// to a local file.
TEST(ResourceNames, CatalogsThatCannotBeReadAreSkipped) {
  VEXLOR_POSIX_ONLY("a FIFO and /dev/zero");
#ifndef _WIN32
  TemporaryDirectory scratch;
  const std::string fifo = scratch.file("catalog.fifo");
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
  scratch.write("strict.dtd", "<!ELEMENT d EMPTY>");
  const std::string catalog = scratch.write(
      "catalog.xml", "<catalog xmlns='urn:oasis:names:tc:entity:xmlns:xml:catalog'>"
                     "<system systemId='http://vexlor.invalid/strict.dtd' uri='strict.dtd'/></catalog>");
  const std::string notACatalog = scratch.write("broken.xml", "no catalog <");
  scratch.write("doc.xml", "<!DOCTYPE d SYSTEM 'http://vexlor.invalid/strict.dtd'>\n<d/>\n");
  for (const std::string& unreadable : {fifo, std::string("/dev/zero"), notACatalog}) {
    SCOPED_TRACE(unreadable);
    ProcessOptions options;
    options.workingDirectory = scratch.path().u8string();
    options.environment = {{"XML_CATALOG_FILES", unreadable + " " + catalog}};
    options.timeLimit = std::chrono::seconds(10);
    expectValid("doc.xml", options);
  }
#endif
}

// --- Names and messages outside ASCII -----------------------------------------

const std::string nonAsciiName = "commande-\xC3\xA9t\xC3\xA9-\xE2\x82\xAC.xml"; // commande-été-€.xml

const std::string nonAsciiValid =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE commande [<!ELEMENT commande (#PCDATA)>]>\n"
    "<commande>caf\xC3\xA9</commande>\n";

const std::string nonAsciiInvalid =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE commande [<!ELEMENT commande (#PCDATA)>]>\n"
    "<commande><r\xC3\xA9sum\xC3\xA9/></commande>\n";

class NonAsciiNames : public ::testing::TestWithParam<const char*> {
protected:
  ProcessOptions inScratch() const {
    ProcessOptions options;
    options.workingDirectory = scratch.path().u8string();
    options.environment = {{"LC_ALL", GetParam()}};
    return options;
  }

  TemporaryDirectory scratch;
};

// On Windows the argument is in the ANSI code page, not UTF-8; tests/wine
// checks names in code pages 1252 and 1251.
TEST_P(NonAsciiNames, Utf8FileNameIsEchoedByteForByte) {
  VEXLOR_POSIX_ONLY("a UTF-8 argument");
  scratch.write(nonAsciiName, nonAsciiValid);
  expectValid(nonAsciiName, inScratch());
}

TEST_P(NonAsciiNames, Utf8FileNameAndElementNameSurviveInTheReport) {
  VEXLOR_POSIX_ONLY("a UTF-8 argument");
  scratch.write(nonAsciiName, nonAsciiInvalid);
  expectRejected(nonAsciiName,
                 {nonAsciiName + ":3:18: Element commande was declared #PCDATA but contains "
                                 "non text nodes",
                  nonAsciiName + ":3:18: No declaration for element r\xC3\xA9sum\xC3\xA9"},
                 inScratch());
}

INSTANTIATE_TEST_SUITE_P(Locales, NonAsciiNames, ::testing::Values("C", "C.UTF-8"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param) == "C" ? "CLocale" : "Utf8Locale";
                         });

} // namespace
