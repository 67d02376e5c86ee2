// Runs the built vexlor binary on one argument and checks what it leaves:
// standard output, standard error and the exit code, byte for byte.
#pragma once

#include <string>
#include <vector>

#include "support/ProcessRunner.h"

namespace e2e {

/// The fixtures folder: the binary's working directory unless the options
/// name another.
extern const std::string fixturesDirectory;

/// Runs vexlor with arguments; a run that outlives its time is a failure.
testsupport::ProcessResult runVexlor(const std::vector<std::string>& arguments,
                                     const testsupport::ProcessOptions& options = {});

/// The banner and "OK-" with the argument, nothing on standard error, exit 0.
void expectValid(const std::string& argument, const testsupport::ProcessOptions& options = {});

/// The banner, the failure report with these errors, the failure exit code.
void expectRejected(const std::string& argument, const std::vector<std::string>& errors,
                    const testsupport::ProcessOptions& options = {});

/// A file other than the document, named relative to the working directory
/// as a report writes it: with a backslash between folders on Windows.
std::string shown(std::string relative);

} // namespace e2e
