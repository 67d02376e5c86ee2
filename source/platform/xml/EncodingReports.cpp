#include "platform/xml/EncodingReports.h"

#include <string_view>
#include <utility>

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include "platform/xml/LibxmlInternals.h"
#include "platform/xml/LoadReporter.h"

namespace platform::xml {

// Looks at the document's first bytes (libxml2 would read them first
// anyway) for an encoding it cannot read.
bool EncodingReports::readable(xmlParserInputPtr input, const std::string& documentUri) {
  xmlParserInputGrow(input, 4);
  const std::size_t available = input->end > input->cur ? static_cast<std::size_t>(input->end - input->cur) : 0;
  check.documentStarts(
      std::string_view(reinterpret_cast<const char*>(input->cur), available < 4 ? available : 4));
  const std::string refusal = check.unsupported();
  if (!refusal.empty()) {
    reporter.report({documentUri, 1, 1, refusal});
  }
  return refusal.empty();
}

// A byte order mark says how the document is encoded; an encoding
// declaration that says otherwise is a fatal error, which libxml2 lets pass
// (it believes the mark).
void EncodingReports::declarationRead(xmlParserCtxtPtr parser) {
  const std::string contradiction = check.contradiction(internals::declaredEncoding(parser));
  if (contradiction.empty()) {
    return;
  }
  reporter.reportHere(contradiction);
  xmlStopParser(parser);
  parser->wellFormed = 0;
}

bool EncodingReports::places(xmlParserCtxtPtr context, const xmlError& error) {
  int line = 0;
  int column = 0;
  const std::string ahead = check.refusedAhead(context, error, line, column);
  if (!ahead.empty()) {
    ValidationError place = reporter.here();
    place.line = line;
    place.column = column;
    place.message = ahead;
    reporter.report(std::move(place));
    return true;
  }
  // The error is about what the undecodable bytes cut short.
  return (error.domain == XML_FROM_PARSER || internals::isDecoderFault(error)) && placeStall(context);
}

bool EncodingReports::overrules(const xmlError& error, xmlParserCtxtPtr parser) {
  const std::string overruled = check.overruledDeclaration(error);
  if (overruled.empty()) {
    return false;
  }
  reporter.reportHere(overruled);
  if (parser != nullptr) {
    parser->wellFormed = 0;
  }
  return true;
}

void EncodingReports::documentRead(xmlParserCtxtPtr parser, const std::string& documentUri) {
  // Text that ends where decoding stopped raises no parser error.
  const LoadReporter::Running running(reporter, parser);
  if (parser->wellFormed) {
    placeStall(parser);
  }
  // One that no parser reached (in an entity whose content ends
  // there) has no place to report but its resource's: line 0 (unknown).
  const std::string undecoded = check.unplaced();
  if (!undecoded.empty()) {
    reporter.report({documentUri, 0, 0, undecoded});
  }
}

// Reports bytes that context's input cannot decode, where its parser
// stopped before them (once); whether it has stopped so.
bool EncodingReports::placeStall(xmlParserCtxtPtr context) {
  bool stalled = false;
  const std::string report = check.stoppedAt(context, stalled);
  if (!report.empty()) {
    reporter.reportHere(report);
  }
  return stalled;
}

} // namespace platform::xml
