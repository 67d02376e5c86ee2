// An assertion handler that keeps the reports, for tests of check sites.
#pragma once

#include <string>
#include <vector>

#include "util/Assertion.h"

namespace testsupport {

/// Records every assertion report while installed; nothing reaches standard
/// output or assertion.txt meanwhile.
class RecordingAssertionHandler : public util::AssertionHandler {
public:
  RecordingAssertionHandler() : installer(this) {}

  void handleReport(const std::string& report) override { reports.push_back(report); }
  std::string contactAddress() override { return "tests"; }

  /// The condition text of report index: its second line after
  /// "Assertion failed. Message: ".
  std::string condition(std::size_t index) const { return field(index, "Assertion failed. Message: "); }

  /// The file named in report index.
  std::string file(std::size_t index) const { return field(index, "File: "); }

  std::vector<std::string> reports;

private:
  std::string field(std::size_t index, const std::string& label) const {
    if (index >= reports.size()) {
      return "<no report " + std::to_string(index) + ">";
    }
    const std::string& report = reports[index];
    const std::string::size_type start = report.find("\n" + label);
    if (start == std::string::npos) {
      return "<no " + label + ">";
    }
    const std::string::size_type begin = start + 1 + label.size();
    return report.substr(begin, report.find('\n', begin) - begin);
  }

  util::AssertionHandlerInstaller installer;
};

} // namespace testsupport
