// Schema documents that include themselves.
#pragma once

struct _xmlParserCtxt;

namespace platform::xml {

/// A schema document met again is the same document: one that includes
/// itself includes nothing more. libxml2's schema layer takes such an
/// include for an error, so it is taken out of the document as it is read.
class SelfInclusion {
public:
  SelfInclusion() = delete;

  /// Makes reader, about to read a schema document as a tree, drop from it
  /// the top-level xs:include elements that name the document itself.
  static void dropWhenRead(_xmlParserCtxt* reader);
};

} // namespace platform::xml
