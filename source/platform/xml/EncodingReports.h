// Where a pass reports the encoding faults it finds.
#pragma once

#include <string>

#include "platform/xml/EncodingCheck.h"

struct _xmlError;
struct _xmlParserCtxt;
struct _xmlParserInput;

namespace platform::xml {

class LoadReporter;

/// The encoding faults of one pass (EncodingCheck), each reported once
/// through the pass's reporter, in place of what libxml2 makes of them. A
/// fault that stops the document makes it not well-formed.
class EncodingReports {
public:
  explicit EncodingReports(LoadReporter& reporter) : reporter(reporter) {}
  EncodingReports(const EncodingReports&) = delete;
  EncodingReports& operator=(const EncodingReports&) = delete;

  /// Whether the document can be read, judged by the first bytes of its
  /// input; why not is reported at the start of documentUri.
  bool readable(_xmlParserInput* input, const std::string& documentUri);
  /// The document's parser has read its XML declaration: a byte order mark
  /// that the declaration contradicts is reported, and stops parser.
  void declarationRead(_xmlParserCtxt* parser);

  /// Whether libxml2's error, raised by context, is about bytes that
  /// context cannot decode and has been dealt with: reported where the
  /// bytes stand, or dropped as being about what they cut short.
  bool places(_xmlParserCtxt* context, const _xmlError& error);
  /// EncodingCheck::absorbs.
  bool absorbs(const _xmlError& error) { return check.absorbs(error); }
  /// Whether error stands for a byte order mark that the declaration
  /// contradicts (EncodingCheck::overruledDeclaration); the contradiction
  /// is then reported where the parser stands, and the document's parser
  /// (when not null) has not read a well-formed document.
  bool overrules(const _xmlError& error, _xmlParserCtxt* parser);

  /// parser has read the document: the bytes it could not decode and no
  /// error placed are reported, where it stopped when it found the document
  /// well-formed, and at documentUri, line 0, when no parser reached them.
  void documentRead(_xmlParserCtxt* parser, const std::string& documentUri);

private:
  bool placeStall(_xmlParserCtxt* context);

  LoadReporter& reporter;
  EncodingCheck check;
};

} // namespace platform::xml
