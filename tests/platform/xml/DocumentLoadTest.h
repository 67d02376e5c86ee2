// Loads documents through the document component, as the validation run
// does, and reads what it reports: the base of the component's table tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/com/Bstr.h"
#include "platform/com/ComRuntime.h"
#include "platform/com/ErrorInfo.h"
#include "platform/com/ScopedBstr.h"
#include "platform/com/ScopedVariant.h"
#include "platform/xml/DomDocument.h"
#include "platform/xml/WideText.h"
#include "support/TestSupport.h"

namespace platform::xml {

struct Outcome {
  HRESULT status = com::S_OK;
  VARIANT_BOOL loaded = com::VARIANT_FALSE;
  bool errorObject = false;
  std::string description;
  std::string source;
};

inline std::string text(com::BSTR string) { return narrow(string, com::SysStringLen(string)); }

class DocumentLoadTest : public ::testing::Test {
protected:
  void SetUp() override {
    com::CoInitialize(nullptr);
    registerDomDocument();
    ASSERT_EQ(com::S_OK, com::CoCreateInstance(CLSID_DOMDocument30, nullptr, com::CLSCTX_INPROC_SERVER,
                                          IID_IXMLDOMDocument2,
                                          reinterpret_cast<void**>(document.address())));
  }

  Outcome load(const std::string& location) {
    com::ScopedVariant source;
    source.setString(allocateBstr(location));
    Outcome outcome;
    outcome.status = document->load(source.get(), &outcome.loaded);
    com::ComPtr<com::IErrorInfo> error;
    if (com::GetErrorInfo(0, error.address()) == com::S_OK && error) {
      outcome.errorObject = true;
      com::ScopedBstr description;
      com::ScopedBstr origin;
      error->GetDescription(description.address());
      error->GetSource(origin.address());
      outcome.description = text(description.get());
      outcome.source = text(origin.get());
    }
    return outcome;
  }

  // A table row's verdict: valid when fault is null, else refused with a
  // report that holds fault.
  static void expectVerdict(const Outcome& outcome, const char* fault, const char* row) {
    if (fault == nullptr) {
      EXPECT_EQ(com::VARIANT_TRUE, outcome.loaded) << row << ": " << outcome.description;
    } else {
      EXPECT_EQ(com::VARIANT_FALSE, outcome.loaded) << row;
      EXPECT_NE(std::string::npos, outcome.description.find(fault)) << row << ": " << outcome.description;
    }
  }

  testsupport::TemporaryDirectory directory;
  com::ComPtr<IXMLDOMDocument2> document;
};

} // namespace platform::xml
