#include "validator/ValidationRun.h"

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <sstream>
#include <thread>

#include "platform/com/ComRuntime.h"
#include "platform/com/ErrorInfo.h"
#include "platform/xml/XmlDom.h"
#include "support/ExpectedOutput.h"
#include "validator/StandInDocument.h"
#include "validator/StandInError.h"

namespace {

using namespace platform::com;
using testsupport::expected::banner;
using testsupport::expected::usage;
using testsupport::StandInDocument;
using testsupport::StandInError;

const std::vector<std::string> settings = {"put_validateOnParse(-1)", "put_resolveExternals(-1)",
                                           "put_async(0)"};

struct Outcome {
  int exitCode;
  std::string out;
  std::string err;
  /// Whether an error object was still pending on the run's thread after it.
  bool errorLeft;
  /// Whether COM was initialised on the run's thread after it.
  bool comInitialised;
};

/// Points a standard stream at a buffer for as long as it lives.
class Redirect {
public:
  Redirect(std::ostream& stream, std::ostream& target)
      : stream(stream), saved(stream.rdbuf(target.rdbuf())) {}
  ~Redirect() { stream.rdbuf(saved); }

private:
  std::ostream& stream;
  std::streambuf* saved;
};

/// Runs the command with arguments (program name first) on a thread of its
/// own, where COM is not initialised yet; before runs there first.
Outcome runOnFreshThread(std::vector<std::string> arguments,
                         const std::function<void()>& before = {}) {
  std::ostringstream out;
  std::ostringstream err;
  Redirect outRedirect(std::cout, out);
  Redirect errRedirect(std::cerr, err);
  Outcome outcome{};
  std::thread([&] {
    if (before) {
      before();
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
      argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    outcome.exitCode = run(static_cast<int>(arguments.size()), argv.data());
    IErrorInfo* left = nullptr;
    outcome.errorLeft = GetErrorInfo(0, &left) == S_OK;
    if (left != nullptr) {
      left->Release();
    }
    outcome.comInitialised = CoInitialize(nullptr) == S_FALSE;
  }).join();
  outcome.out = out.str();
  outcome.err = err.str();
  return outcome;
}

class ValidationRunTest : public testing::Test {
protected:
  void SetUp() override { StandInDocument::install(); }
  void TearDown() override {
    EXPECT_EQ(0, StandInDocument::live) << "a COM object outlived the run";
    EXPECT_EQ(0, StandInError::live);
  }
};

TEST_F(ValidationRunTest, WrongArgumentCountPrintsUsageWithoutTouchingCom) {
  for (const auto& arguments : {std::vector<std::string>{"vexlor"},
                                std::vector<std::string>{"vexlor", "a.xml", "b.xml"}}) {
    const Outcome outcome = runOnFreshThread(arguments);
    EXPECT_EQ(-1, outcome.exitCode);
    EXPECT_EQ(banner, outcome.out);
    EXPECT_EQ(usage, outcome.err);
    EXPECT_FALSE(outcome.comInitialised);
  }
  EXPECT_TRUE(StandInDocument::log.calls.empty());
}

TEST_F(ValidationRunTest, ValidDocumentEchoesTheArgumentBytes) {
  const Outcome outcome = runOnFreshThread({"vexlor", "caf\xE9 order.xml"});
  EXPECT_EQ(0, outcome.exitCode);
  EXPECT_EQ(banner + "OK-caf\xE9 order.xml\n", outcome.out);
  EXPECT_EQ("", outcome.err);

  std::vector<std::string> expected = settings;
  expected.push_back("load(0)");
  EXPECT_EQ(expected, StandInDocument::log.calls);
  EXPECT_EQ(VT_BSTR, StandInDocument::log.sourceType);
  EXPECT_EQ(L"caf\u00E9 order.xml", StandInDocument::log.sourceText);
}

TEST_F(ValidationRunTest, EachSettingFailureStopsTheRunWithItsOwnMessage) {
  struct Case {
    HRESULT status;
    HRESULT testsupport::DocumentScript::*setting;
    const char* message;
  };
  const Case cases[] = {
      {S_FALSE, &testsupport::DocumentScript::validateOnParse,
       "Error setting validation option using 'put_validateOnParse'.\n"},
      {E_NOTIMPL, &testsupport::DocumentScript::resolveExternals,
       "Error setting resolveexternal option using 'put_resolveExternals'.\n"},
      {E_FAIL, &testsupport::DocumentScript::async,
       "Error setting sync loading option using 'put_async'.\n"},
  };
  std::size_t callsMade = 1;
  for (const Case& failing : cases) {
    StandInDocument::install();
    StandInDocument::script.*failing.setting = failing.status;
    const Outcome outcome = runOnFreshThread({"vexlor", "a.xml"});
    EXPECT_EQ(-1, outcome.exitCode);
    EXPECT_EQ(banner, outcome.out);
    EXPECT_EQ(failing.message, outcome.err);
    EXPECT_EQ(std::vector<std::string>(settings.begin(), settings.begin() + callsMade++),
              StandInDocument::log.calls);
  }
}

TEST_F(ValidationRunTest, ComAlreadyInitialisedOnTheThreadIsAFailure) {
  const Outcome outcome = runOnFreshThread({"vexlor", "a.xml"}, [] { CoInitialize(nullptr); });
  EXPECT_EQ(-1, outcome.exitCode);
  EXPECT_EQ(banner, outcome.out);
  EXPECT_EQ("Could not initializes the COM library using 'CoInitialize'.\n", outcome.err);
  EXPECT_TRUE(StandInDocument::log.calls.empty());
}

TEST_F(ValidationRunTest, CreationFailureDropsTheErrorPendingBeforeIt) {
  unregisterClass(platform::xml::CLSID_DOMDocument30);
  const Outcome outcome = runOnFreshThread({"vexlor", "a.xml"}, [] {
    StandInError::raise(L"stale", L"elsewhere");
  });
  EXPECT_EQ(-1, outcome.exitCode);
  EXPECT_EQ(banner, outcome.out);
  EXPECT_EQ("Could not create the COM object using 'CoCreateInstance'.\n", outcome.err);
  EXPECT_FALSE(outcome.errorLeft);
}

TEST_F(ValidationRunTest, LoadFailuresReportTheArgumentAndTheComErrorText) {
  const std::string problem = "Problems validating url/file: order.xml\n";
  struct Case {
    const char* what;
    std::string argument;
    HRESULT load;
    VARIANT_BOOL flag;
    bool leavesError;
    std::optional<std::wstring> description;
    HRESULT parseError;
    std::string err;
  };
  const std::optional<std::wstring> none;
  const Case cases[] = {
      {"flag false", "order.xml", S_OK, VARIANT_FALSE, true, L"line 3: bad\nmore", S_OK,
       problem + "COM Exception, Description: line 3: bad\nmore Source: 'Component\n"},
      {"flag 1 is not true", "order.xml", S_OK, 1, false, none, S_OK, problem + "\n"},
      {"S_FALSE with flag true", "order.xml", S_FALSE, VARIANT_TRUE, true, L"d", S_OK,
       problem + "COM Exception, Description: d Source: 'Component\n"},
      {"no parse-error object", "order.xml", E_FAIL, VARIANT_FALSE, true, L"d", E_FAIL,
       problem + "\n"},
      {"source without description", "order.xml", S_FALSE, VARIANT_FALSE, true, none, S_OK,
       problem + "\n"},
      {"embedded NUL", "order.xml", S_FALSE, VARIANT_FALSE, true, std::wstring(L"cut\0off", 7),
       S_OK, problem + "COM Exception, Description: cut Source: 'Component\n"},
      {"description above U+00FF", "order.xml", S_FALSE, VARIANT_FALSE, true, L"\u20AC", S_OK,
       "Could convert the wide string to a normal string.\n"},
      {"empty argument", "", S_FALSE, VARIANT_FALSE, false, none, S_OK,
       "Problems validating url/file: \n\n"},
      {"argument bytes", "caf\xE9.xml", S_FALSE, VARIANT_FALSE, false, none, S_OK,
       "Problems validating url/file: caf\xE9.xml\n\n"},
  };
  for (const Case& failing : cases) {
    SCOPED_TRACE(failing.what);
    StandInDocument::install();
    testsupport::DocumentScript& script = StandInDocument::script;
    script.load = failing.load;
    script.loadFlag = failing.flag;
    script.loadLeavesError = failing.leavesError;
    script.description = failing.description;
    script.source = L"Component";
    script.parseError = failing.parseError;

    const Outcome outcome = runOnFreshThread({"vexlor", failing.argument});
    EXPECT_EQ(-1, outcome.exitCode);
    EXPECT_EQ(banner, outcome.out);
    EXPECT_EQ(failing.err, outcome.err);
    // Without the parse-error object the error object is not fetched.
    EXPECT_EQ(failing.leavesError && failing.parseError != S_OK, outcome.errorLeft);
    std::vector<std::string> expected = settings;
    expected.push_back("load(0)");
    expected.push_back("get_parseError");
    EXPECT_EQ(expected, StandInDocument::log.calls);
  }
}

} // namespace
