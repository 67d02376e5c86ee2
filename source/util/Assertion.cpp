#include "util/Assertion.h"

#include <cstdio>
#include <fstream>
#include <iostream>

namespace util {

namespace {

AssertionHandler* currentHandler = nullptr;

const char frame[] = "----------------------------------------";

std::string currentTimeStamp() {
  const std::time_t now = std::time(nullptr);
  // std::localtime's shared result is safe here: the program reads the
  // clock on one thread only.
  const std::tm* local = std::localtime(&now);
  return local != nullptr ? assertionTimeStamp(*local) : std::string();
}

// Out-of-range fields would index past the name tables; they print as "???".
const char* nameAt(const char* const names[], int count, int index) {
  return index >= 0 && index < count ? names[index] : "???";
}

} // namespace

AssertionHandler::~AssertionHandler() = default;

AssertionHandlerInstaller::AssertionHandlerInstaller(AssertionHandler* handler) {
  currentHandler = handler;
}

AssertionHandlerInstaller::~AssertionHandlerInstaller() { currentHandler = nullptr; }

std::string assertionTimeStamp(const std::tm& time) {
  // Formatted by hand, not with strftime, so the names stay English whatever
  // locale the host program sets.
  static const char* const weekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "%s %s %02d %02d:%02d:%02d %d",
                nameAt(weekdays, 7, time.tm_wday), nameAt(months, 12, time.tm_mon), time.tm_mday,
                time.tm_hour, time.tm_min, time.tm_sec, 1900 + time.tm_year);
  return buffer;
}

void assertionFailed(const char* expression, const char* file, unsigned int line) {
  std::string contact = defaultAssertionContact;
  if (currentHandler != nullptr) {
    contact = currentHandler->contactAddress();
  }

  std::string report;
  report += frame;
  report += "\n";
  report += "Assertion failed. Message: ";
  report += expression;
  report += "\n";
  report += "File: ";
  report += file;
  report += "\n";
  report += "Line: " + std::to_string(line) + "\n";
  report += "Occurred: " + currentTimeStamp() + "\n";
  report += "\n";
  report += "Please contact " + contact + " and include this message.\n";
  report += "Thank you for helping us improve the software.\n";
  report += frame;
  report += "\n";

  if (currentHandler != nullptr) {
    currentHandler->handleReport(report);
    return;
  }
  std::cout << report;
  // A file that cannot be opened or written is skipped: the copy on standard
  // output stands, and reporting must never fail the check site.
  std::ofstream copy("assertion.txt", std::ios_base::out | std::ios_base::app);
  if (copy.is_open()) {
    copy << report;
    copy.close();
  }
}

} // namespace util
