// How far a long check has read, shown to a person at a terminal.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace platform::xml {

/// One line on standard error, drawn while a document is read: once the
/// check has run for a second, then at most four times a second, it shows
/// the bytes read and, where the size is known, the share of it ("read
/// 12.3 MB of 136.1 MB (9%)"). erase() (or the end of the object) blanks
/// the line and puts the cursor back at its start, so that what is written
/// next stands where it would have stood without it. Where standard error
/// is not a terminal, nothing is ever written.
class ProgressLine {
public:
  /// size: the document's size in bytes, 0 when it is not known.
  explicit ProgressLine(std::size_t size);
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;
  ~ProgressLine();

  /// Counts bytes more read, and redraws the line when it is due.
  void advance(std::size_t bytes);
  /// Blanks the line if one is shown; a later advance() draws it again.
  void erase();

private:
  using Clock = std::chrono::steady_clock;
  void write(const std::string& bytes);

  const bool terminal;
  const std::size_t size;
  std::size_t read = 0;
  const Clock::time_point started;
  Clock::time_point drawn;
  // Characters of the line on the screen now; 0 when none is shown.
  std::size_t shown = 0;
};

} // namespace platform::xml
