// What a pass checks of the encodings it reads, beyond libxml2.
#pragma once

#include <string>
#include <string_view>

struct _xmlError;
struct _xmlParserCtxt;

namespace platform::xml {

/// The encoding faults libxml2 misses or misplaces, for one pass.
/// - A byte order mark that the encoding declaration contradicts is a
///   fatal error (libxml2 believes the mark).
/// - UTF-32 (UCS-4) is an encoding libxml2 2.9 cannot read: it reads such
///   a document as empty or as broken text. The document is refused by name.
/// - libxml2 decodes ahead of its parser: a byte the encoding cannot decode
///   is reported where the parser stands then (lines before the byte),
///   again at each attempt, and the parser then stops at the byte with a
///   message about what it was reading ("Premature end of data"), or with
///   none at all for some encodings. One report, at the byte, names it.
class EncodingCheck {
public:
  /// The document's first bytes (up to four).
  void documentStarts(std::string_view head);
  /// Why the document cannot be read, from its first bytes: "" when it can.
  std::string unsupported() const;
  /// After the XML declaration: what is wrong when the byte order mark
  /// contradicts the declared encoding; "" when nothing is.
  std::string contradiction(const std::string& declared) const;

  /// Whether error is libxml2's early report of bytes it cannot decode,
  /// which the pass places itself (see stoppedAt and unplaced).
  bool absorbs(const _xmlError& error);

  /// The contradiction that error stands for, or "": libxml2 2.12 and
  /// later check the declaration against the mark themselves, warn, and
  /// put the mark's encoding in its place before the document starts.
  std::string overruledDeclaration(const _xmlError& error) const;
  /// When context's parser has stopped because the bytes ahead cannot be
  /// decoded: the report for the place where it stands, the first time;
  /// suppressed is set when the error being raised there is to be dropped
  /// (it is about what the bytes ahead cut short).
  std::string stoppedAt(const _xmlParserCtxt* context, bool& suppressed);
  /// When error says that context's decoder refused bytes ahead of where
  /// its parser stands: the report, with line and column set to where the
  /// bytes stand, the first time for that input; "" otherwise.
  std::string refusedAhead(const _xmlParserCtxt* context, const _xmlError& error, int& line, int& column);
  /// A failure to decode that libxml2 reported and no parser error placed.
  std::string unplaced() const { return placed ? "" : pending; }

private:
  std::string mark;
  std::string wide;
  std::string placeRefusal(const _xmlParserCtxt* context, const std::string& encoding, const std::string& bytes);

  std::string pending;
  bool placed = false;
  const void* stoppedInput = nullptr;
};

} // namespace platform::xml
