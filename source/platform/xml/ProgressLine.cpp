#include "platform/xml/ProgressLine.h"

#include <algorithm>
#include <cstdio>

#include <unistd.h>

namespace platform::xml {

namespace {

constexpr std::chrono::milliseconds quietStart{1000};
constexpr std::chrono::milliseconds redrawEvery{250};

std::string amount(std::size_t bytes) {
  constexpr double megabyte = 1024.0 * 1024.0;
  if (bytes < 1024 * 1024) {
    return std::to_string(bytes / 1024) + " KB";
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / megabyte);
  return text;
}

// The line for read bytes of size (0: unknown).
std::string text(std::size_t read, std::size_t size) {
  std::string line = "read " + amount(read);
  // A compressed document reads more than its size: its share is not known.
  if (size > 0 && read <= size) {
    line += " of " + amount(size) + " (" + std::to_string(read * 100 / size) + "%)";
  }
  return line;
}

} // namespace

ProgressLine::ProgressLine(std::size_t size)
    : terminal(isatty(fileno(stderr)) == 1), size(size), started(Clock::now()), drawn(started) {}

ProgressLine::~ProgressLine() { erase(); }

void ProgressLine::advance(std::size_t bytes) {
  read += bytes;
  if (!terminal) {
    return;
  }
  const Clock::time_point now = Clock::now();
  if (now - started < quietStart || (shown > 0 && now - drawn < redrawEvery)) {
    return;
  }
  drawn = now;
  std::string line = text(read, size);
  const std::size_t length = line.size();
  // A shorter line than the one shown is padded over it.
  if (length < shown) {
    line.append(shown - length, ' ');
  }
  write("\r" + line);
  shown = std::max(shown, length);
}

void ProgressLine::erase() {
  if (shown == 0) {
    return;
  }
  write("\r" + std::string(shown, ' ') + "\r");
  shown = 0;
}

void ProgressLine::write(const std::string& bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stderr);
  std::fflush(stderr);
}

} // namespace platform::xml
