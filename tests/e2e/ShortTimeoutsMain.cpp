// vexlor with a 2-second stall timeout, for the end-to-end test of a server
// that never answers; otherwise the same as source/validator/main.cpp.
#include <chrono>

#include "platform/xml/DomDocument.h"
#include "platform/xml/RemoteResource.h"
#include "validator/StandardDescriptors.h"
#include "validator/ValidationRun.h"

int main(int argc, char** argv) {
  reserveStandardDescriptors();
  platform::xml::RemoteResource::Options options;
  options.stallTimeout = std::chrono::seconds(2);
  platform::xml::RemoteResource::setDefaults(options);
  platform::xml::registerDomDocument();
  return run(argc, argv);
}
