// The bound on what entity references may stand for.
#pragma once

#include <cstddef>
#include <string>

namespace platform::xml {

/// Entity references can make a small document stand for gigabytes of text
/// (references nested in references, or one large entity referred to many
/// times); each one is parsed again. The guard counts what the references
/// of one pass stand for; they may exceed the allowance only while they stay
/// within a multiple of the document read.
class ExpansionGuard {
public:
  static constexpr std::size_t allowance = std::size_t{32} << 20;
  static constexpr std::size_t factor = 10;
  /// What a reference to an external entity of unknown size counts for.
  static constexpr std::size_t unknownSize = std::size_t{64} << 10;

  /// Counts a reference that stands for bytes of text, with documentRead
  /// bytes of the document read so far. False once the references stand
  /// for too much; from then on every charge is refused.
  bool charge(std::size_t bytes, std::size_t documentRead);

  bool refused() const { return exceeded; }

  /// The report's text for the first reference over the limit.
  static std::string refusalMessage();

private:
  std::size_t expanded = 0;
  bool exceeded = false;
};

} // namespace platform::xml
