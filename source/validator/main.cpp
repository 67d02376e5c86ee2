#include "platform/xml/DomDocument.h"
#include "validator/StandardDescriptors.h"
#include "validator/ValidationRun.h"

int main(int argc, char** argv) {
  reserveStandardDescriptors();
  platform::xml::registerDomDocument();
  return run(argc, argv);
}
