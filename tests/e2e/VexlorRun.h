// Runs the built vexlor binary on one argument and compares what it leaves
// (standard output, standard error, exit code) byte for byte. The working
// directory is the fixtures folder unless the options name another.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/ExpectedOutput.h"
#include "support/ProcessRunner.h"

namespace e2e {

inline const std::string fixturesDirectory = VEXLOR_E2E_FIXTURES;

inline testsupport::ProcessResult runVexlor(const std::vector<std::string>& arguments,
                                            testsupport::ProcessOptions options = {}) {
  if (options.workingDirectory.empty())
    options.workingDirectory = fixturesDirectory;
  testsupport::ProcessResult result = testsupport::ProcessRunner::run(VEXLOR_BINARY, arguments, options);
  EXPECT_FALSE(result.timedOut) << "vexlor did not finish in time";
  return result;
}

inline void expectValid(const std::string& argument, const testsupport::ProcessOptions& options = {}) {
  const testsupport::ProcessResult result = runVexlor({argument}, options);
  EXPECT_EQ(testsupport::expected::banner + "OK-" + argument + "\n", result.standardOutput);
  EXPECT_EQ("", result.standardError);
  EXPECT_EQ(0, result.exitCode);
}

inline void expectRejected(const std::string& argument, const std::vector<std::string>& errors,
                           const testsupport::ProcessOptions& options = {}) {
  const testsupport::ProcessResult result = runVexlor({argument}, options);
  EXPECT_EQ(testsupport::expected::banner, result.standardOutput);
  EXPECT_EQ(testsupport::expected::failureReport(argument, errors), result.standardError);
  EXPECT_EQ(testsupport::expected::failureExit, result.exitCode);
}

/// A file other than the document, named relative to the working directory
/// as a report writes it: with a backslash between folders on Windows.
inline std::string shown(std::string relative) {
#ifdef _WIN32
  std::replace(relative.begin(), relative.end(), '/', '\\');
#endif
  return relative;
}

} // namespace e2e
