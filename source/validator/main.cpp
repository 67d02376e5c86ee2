#include "platform/xml/DomDocument.h"
#include "validator/ValidationRun.h"

int main(int argc, char** argv) {
  platform::xml::registerDomDocument();
  return run(argc, argv);
}
