#include "e2e/VexlorRun.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/ExpectedOutput.h"

namespace e2e {

using namespace testsupport::expected;
using testsupport::ProcessOptions;
using testsupport::ProcessResult;
using testsupport::ProcessRunner;

const std::string fixturesDirectory = VEXLOR_E2E_FIXTURES;

ProcessResult runVexlor(const std::vector<std::string>& arguments, const ProcessOptions& options) {
  ProcessOptions effective = options;
  if (effective.workingDirectory.empty())
    effective.workingDirectory = fixturesDirectory;
  ProcessResult result = ProcessRunner::run(VEXLOR_BINARY, arguments, effective);
  EXPECT_FALSE(result.timedOut) << "vexlor did not finish in time";
  return result;
}

void expectValid(const std::string& argument, const ProcessOptions& options) {
  ProcessResult result = runVexlor({argument}, options);
  EXPECT_EQ(banner + "OK-" + argument + "\n", result.standardOutput);
  EXPECT_EQ("", result.standardError);
  EXPECT_EQ(0, result.exitCode);
}

void expectRejected(const std::string& argument, const std::vector<std::string>& errors,
                    const ProcessOptions& options) {
  ProcessResult result = runVexlor({argument}, options);
  EXPECT_EQ(banner, result.standardOutput);
  EXPECT_EQ(failureReport(argument, errors), result.standardError);
  EXPECT_EQ(failureExit, result.exitCode);
}

std::string shown(std::string relative) {
#ifdef _WIN32
  std::replace(relative.begin(), relative.end(), '/', '\\');
#endif
  return relative;
}

} // namespace e2e
