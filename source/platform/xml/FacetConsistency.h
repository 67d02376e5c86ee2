// Facet constraints that libxml2 leaves unchecked when it compiles a schema.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

struct _xmlSchema;

namespace platform::xml {

/// A facet that contradicts another facet of its own type or of a type it
/// restricts.
struct FacetViolation {
  /// The schema document that holds the facet (as libxml2 loaded it: a URL
  /// or a path), "" when unknown.
  std::string location;
  /// The facet's line in it, 0 when unknown.
  long line = 0;
  /// For example: facet 'minLength' (5) is greater than 'maxLength' (3) of type 'T'.
  std::string message;
};

/// Checks the facets of every type that schema's global types, elements and
/// attributes reach, local types of elements and attributes included:
/// between the facets a type holds, and between them and those it inherits,
/// from built-in types too (minLength <= length <= maxLength, minInclusive <=
/// maxInclusive, minExclusive <= maxExclusive, minInclusive < maxExclusive,
/// minExclusive < maxInclusive, fractionDigits <= totalDigits); and each
/// facet against the same facet of the base type (a restriction may narrow,
/// never widen, never change a fixed facet, and never keep white space that
/// its base replaces or collapses).
/// Values compare as their primitive type does (decimal numbers by value,
/// dates and durations in their partial order; what does not compare is not
/// reported). Each violation is reported once, through report, at a facet
/// that the type itself holds. schema must have compiled without error;
/// it is only read. Returns the number of violations.
std::size_t checkFacetConsistency(const _xmlSchema& schema,
                                  const std::function<void(const FacetViolation&)>& report);

} // namespace platform::xml
