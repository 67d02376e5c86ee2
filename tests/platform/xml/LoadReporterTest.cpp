#include "platform/xml/LoadReporter.h"

#include <gtest/gtest.h>
#include <libxml/xmlerror.h>

#include <string>

#include "platform/xml/ErrorCollector.h"

namespace {

using platform::xml::ErrorCollector;
using platform::xml::LoadReporter;

xmlError error(int domain, int code, xmlErrorLevel level, const char* file, int line, int column,
               const char* message) {
  xmlError raised{};
  raised.domain = domain;
  raised.code = code;
  raised.level = level;
  raised.file = const_cast<char*>(file);
  raised.line = line;
  raised.int2 = column;
  raised.message = const_cast<char*>(message);
  return raised;
}

// Outside a load: no parser, no loader, no DOCTYPE.
TEST(LoadReporter, KeepsTheDocumentsProblemsPlacedAndOnOneLine) {
  const struct {
    xmlError raised;
    std::string expected; // "" when the error is no problem of the document
  } cases[] = {
      {error(XML_FROM_PARSER, XML_ERR_GT_REQUIRED, XML_ERR_FATAL, "a.xml", 3, 7, "expected '>'\n"),
       "a.xml:3:7: expected '>'"},
      {error(XML_FROM_VALID, XML_DTD_CONTENT_MODEL, XML_ERR_ERROR, "d.xml", 2, 1, "first\nsecond \r\n"),
       "d.xml:2:1: first second"},
      {error(XML_FROM_PARSER, XML_ERR_INVALID_URI, XML_ERR_ERROR, "a.xml", 1, 1, "Invalid URI: a b"), ""},
      {error(XML_FROM_PARSER, XML_WAR_UNDECLARED_ENTITY, XML_ERR_WARNING, "a.xml", 1, 1, "warning"), ""},
      {error(XML_FROM_IO, XML_IO_LOAD_ERROR, XML_ERR_WARNING, "a.xml", 1, 2, "failed to load"),
       "a.xml:1:2: failed to load"},
      {error(XML_FROM_SCHEMASP, XML_SCHEMAP_FAILED_LOAD, XML_ERR_WARNING, "s.xsd", 4, 0, "no schema"),
       "s.xsd:4:0: no schema"},
      {error(XML_FROM_VALID, XML_DTD_NO_DTD, XML_ERR_ERROR, "a.xml", 1, 1, "no DTD found"), ""},
      {error(XML_FROM_PARSER, XML_ERR_GT_REQUIRED, XML_ERR_FATAL, "big.xml", -2147483647, -5, "far"),
       "big.xml:0:0: far"},
  };
  for (const auto& row : cases) {
    ErrorCollector errors;
    LoadReporter reporter(errors);
    if (!reporter.ignores(row.raised)) {
      reporter.add(row.raised);
    }
    SCOPED_TRACE(row.raised.message);
    if (row.expected.empty()) {
      EXPECT_TRUE(errors.empty());
    } else {
      ASSERT_EQ(1u, errors.count());
      EXPECT_EQ(row.expected, errors.kept().front().toString());
    }
  }
}

TEST(LoadReporter, AnUnknownIdIsPlacedAtItsReferencesLine) {
  ErrorCollector errors;
  LoadReporter reporter(errors);
  xmlError raised = error(XML_FROM_VALID, XML_DTD_UNKNOWN_ID, XML_ERR_ERROR, "a.xml", 900, 1,
                          "IDREF attribute ref references an unknown ID \"x\"");
  raised.int1 = 12;
  reporter.add(raised);
  EXPECT_EQ("a.xml:12:0: IDREF attribute ref references an unknown ID \"x\"", errors.kept().front().toString());
}

} // namespace
