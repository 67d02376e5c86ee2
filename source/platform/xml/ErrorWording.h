// libxml2's errors that a report words in its own terms, or drops.
#pragma once

struct _xmlError;

namespace platform::xml {

/// What a report makes of libxml2's wording, the same on every series:
/// - the "Content error in the external subset" that libxml2 2.13 and
///   later add to the syntax error that ends a declaration of the external
///   subset early says nothing more, and is dropped;
/// - the refusal of one entity reference that stands for too much (2.11
///   and later) and the refusal of nesting too deep name settings that are
///   not the user's; the report says what is wrong with the document.
class ErrorWording {
public:
  ErrorWording() = delete;

  /// Whether error only adds to what has been reported (reportedAny: the
  /// pass has reported something).
  static bool repeats(const _xmlError& error, bool reportedAny);

  /// The message that a report gives in place of error's; null when
  /// error's own stands.
  static const char* replacement(const _xmlError& error);
};

} // namespace platform::xml
