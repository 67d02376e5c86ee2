#include "platform/xml/ErrorWording.h"

#include <cstring>

#include <libxml/xmlerror.h>

#include "platform/xml/LibxmlInternals.h"

namespace platform::xml {

namespace {

constexpr const char* amplificationRefusal =
    "Excessive entity expansion: one entity reference stands for far more text than the document holds";
constexpr const char* depthFault = "Excessive depth in document";
constexpr const char* depthRefusal = "Excessive depth in document: elements nested deeper than 256 levels";

} // namespace

// libxml2 2.13 and later add this to the syntax error that ends a
// declaration of the external subset early; it says nothing more.
bool ErrorWording::repeats(const xmlError& error, bool reportedAny) {
  return error.domain == XML_FROM_PARSER && error.code == XML_ERR_EXT_SUBSET_NOT_FINISHED && reportedAny;
}

const char* ErrorWording::replacement(const xmlError& error) {
  // libxml2 2.11 and later refuse one reference that stands for too much
  // in words of their own, naming a setting that is not the user's.
  if (internals::isAmplificationRefusal(error.message)) {
    return amplificationRefusal;
  }
  // The series word it differently, and the option it names is not the
  // user's to set.
  if (error.message != nullptr && std::strncmp(error.message, depthFault, std::strlen(depthFault)) == 0) {
    return depthRefusal;
  }
  return nullptr;
}

} // namespace platform::xml
