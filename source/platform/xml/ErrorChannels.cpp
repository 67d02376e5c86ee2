#include "platform/xml/ErrorChannels.h"

#include <libxml/globals.h>
#include <libxml/xmlerror.h>

namespace platform::xml {

namespace {

// Swallows what libxml2 would otherwise print on its generic channel.
void discardGenericError(void*, const char*, ...) {}

void discardStructuredError(void*, LibxmlError) {}

} // namespace

ErrorChannels::ErrorChannels(void* data, Handler handler)
    : structured(xmlStructuredError), structuredData(xmlStructuredErrorContext),
      generic(xmlGenericError), genericData(xmlGenericErrorContext) {
  xmlSetStructuredErrorFunc(data, handler != nullptr ? handler : discardStructuredError);
  xmlSetGenericErrorFunc(nullptr, discardGenericError);
}

ErrorChannels::~ErrorChannels() {
  xmlSetStructuredErrorFunc(structuredData, structured);
  xmlSetGenericErrorFunc(genericData, generic);
}

} // namespace platform::xml
