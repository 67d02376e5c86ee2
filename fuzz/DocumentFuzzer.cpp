// libFuzzer entry: one in-memory document through the document component,
// with DTD and schema validation on and external resources resolved.
//
// The document is named "fuzz-input.xml" in the working directory, so its
// relative references resolve there; fuzz/run starts the fuzzer in a copy of
// the end-to-end fixtures, where the seeds' DTDs and schemas are found.
// Remote URLs are sent to a proxy on a closed loopback port, so a generated
// http or https reference fails at once instead of reaching the network.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/xml/ErrorCollector.h"
#include "platform/xml/StreamingValidator.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "ALL_PROXY", "all_proxy"}) {
    setenv(name, "http://127.0.0.1:9", 1);
  }
  unsetenv("no_proxy");
  unsetenv("NO_PROXY");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const platform::xml::StreamingValidator validator(platform::xml::LoadOptions{true, true});
  platform::xml::ErrorCollector errors;
  validator.runMemory(reinterpret_cast<const char*>(data), size, "fuzz-input.xml", errors);
  return 0;
}
