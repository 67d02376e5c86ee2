#include "validator/ValidationRun.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <iostream>

#include "platform/com/Bstr.h"
#include "platform/com/ComPtr.h"
#include "platform/com/ComRuntime.h"
#include "platform/com/ScopedVariant.h"
#include "platform/win32/Kernel32.h"
#include "platform/xml/XmlDom.h"
#include "util/memory/Memory.h"
#include "validator/ComErrorText.h"
#include "validator/VexlorException.h"

namespace com = platform::com;
using platform::xml::IXMLDOMDocument2;
using platform::xml::IXMLDOMParseError;

namespace {

const char* const downloadPageUrl = "https://vexlor.dev/download";
const char* const sampleDocumentUrl = "https://vexlor.dev/samples/order.xml";

// The argument as a VT_BSTR, converted from the thread's ANSI code page; a
// VT_ERROR holding E_OUTOFMEMORY when it cannot be converted, which load then
// rejects like any unusable source.
void makeSource(const char* argument, com::ScopedVariant& source) {
  const std::size_t length = std::strlen(argument);
  if (length >= static_cast<std::size_t>(INT_MAX)) {
    source.setError(com::E_OUTOFMEMORY);
    return;
  }
  const int capacity = static_cast<int>(length) + 1;
  util::ScopedArray<wchar_t> wide(new wchar_t[capacity]);
  com::BSTR string = nullptr;
  if (platform::win32::MultiByteToWideChar(platform::win32::CP_THREAD_ACP, 0, argument, -1,
                                           wide.get(), capacity) != 0) {
    string = com::SysAllocString(wide.get());
  }
  if (string != nullptr) {
    source.setString(string);
  } else {
    source.setError(com::E_OUTOFMEMORY);
  }
}

// Returns when the document loaded and validated, with every COM object
// released; throws the failure's report otherwise.
void validate(const char* argument) {
  throwUnlessOk(com::CoInitialize(nullptr),
                "Could not initializes the COM library using 'CoInitialize'.");

  void* created = nullptr;
  const com::HRESULT creation = com::CoCreateInstance(
      platform::xml::CLSID_DOMDocument30, nullptr,
      com::CLSCTX_INPROC_SERVER | com::CLSCTX_INPROC_HANDLER | com::CLSCTX_LOCAL_SERVER,
      platform::xml::IID_IXMLDOMDocument2, &created);
  com::ComPtr<IXMLDOMDocument2> document(static_cast<IXMLDOMDocument2*>(created));
  // Whatever error object was pending before is not this run's to report.
  getComErrorInfo();
  throwUnlessOk(creation, "Could not create the COM object using 'CoCreateInstance'.");

  throwUnlessOk(document->put_validateOnParse(com::VARIANT_TRUE),
                "Error setting validation option using 'put_validateOnParse'.");
  throwUnlessOk(document->put_resolveExternals(com::VARIANT_TRUE),
                "Error setting resolveexternal option using 'put_resolveExternals'.");
  throwUnlessOk(document->put_async(com::VARIANT_FALSE),
                "Error setting sync loading option using 'put_async'.");

  com::VARIANT_BOOL isSuccessful = com::VARIANT_FALSE;
  com::ScopedVariant source;
  makeSource(argument, source);
  const com::HRESULT loading = document->load(source.get(), &isSuccessful);
  if (loading == com::S_OK && isSuccessful == com::VARIANT_TRUE) {
    return;
  }

  std::string message = "Problems validating url/file: ";
  message += argument;
  message += "\n";
  com::ComPtr<IXMLDOMParseError> parseError;
  if (document->get_parseError(parseError.address()) == com::S_OK) {
    message += getComErrorText();
  }
  throw VexlorException(message);
}

} // namespace

void throwUnlessOk(com::HRESULT status, const std::string& message) {
  if (status != com::S_OK) {
    throw VexlorException(message);
  }
}

int run(int argc, char** argv) {
  std::cout << "Download the Vexlor at " << downloadPageUrl << "\n";
  if (argc != 2) {
    std::cerr << "Usage: vexlor.exe url/file" << "\n";
    std::cerr << "Example 1: vexlor.exe c:\\test.xml" << "\n";
    std::cerr << "Example 2: vexlor.exe " << sampleDocumentUrl << "\n";
    return -1;
  }
  try {
    validate(argv[1]);
  } catch (const exceptions::Exception& failure) {
    std::cerr << failure << "\n";
    return -1;
  }
  // Standard output is buffered: a full disk or a closed descriptor shows
  // when it is flushed (or when a long argument fills the buffer), and "OK-"
  // that never arrived must not exit 0.
  errno = 0;
  std::cout << "OK-" << argv[1] << "\n";
  if (!std::cout.flush()) {
    const int error = errno;
    std::cerr << "Could not write to standard output";
    if (error != 0) {
      std::cerr << ": " << std::strerror(error);
    }
    std::cerr << "\n";
    return -1;
  }
  return 0;
}
