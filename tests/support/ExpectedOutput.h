// What the vexlor command prints, written out here byte for byte so that
// tests compare the program's output against texts of their own.
#pragma once

#include <string>
#include <vector>

namespace testsupport::expected {

/// Standard output's first line on every run.
inline const std::string banner = "Download the Vexlor at https://vexlor.dev/download\n";

/// Standard error when the command gets no argument or more than one.
inline const std::string usage = "Usage: vexlor.exe url/file\n"
                                 "Example 1: vexlor.exe c:\\test.xml\n"
                                 "Example 2: vexlor.exe https://vexlor.dev/samples/order.xml\n";

/// The source the validating component gives in its error objects.
inline const std::string componentName = "Vexlor XML component";

/// The exit code of every run that does not end in "OK-".
constexpr int failureExit = 255;

/// How standard error starts when argument did not load or validate; the
/// component's description follows.
inline std::string reportHead(const std::string& argument) {
  return "Problems validating url/file: " + argument + "\nCOM Exception, Description: ";
}

/// How that report ends, after the description.
inline const std::string reportEnd = " Source: '" + componentName + "\n";

/// The whole report for argument; errors are the component's lines, each
/// "LOCATION:LINE:COLUMN: MESSAGE".
inline std::string failureReport(const std::string& argument, const std::vector<std::string>& errors) {
  std::string report = reportHead(argument);
  for (const std::string& error : errors) {
    report += error + "\n";
  }
  return report + reportEnd;
}

} // namespace testsupport::expected
