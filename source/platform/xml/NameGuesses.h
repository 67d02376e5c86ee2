// What the schema layer gave the element of a name last seen, as a guess
// for the next element of that name, before the schema layer says.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace platform::xml {

/// A small table from local names (pointers into the parser's dictionary,
/// one per name) to what was remembered for each: two loads to consult,
/// for work that has to start before the schema layer takes an element.
/// A name may push another out; a guess may be wrong, and its user must
/// stay sound when it is.
template <typename T>
class NameGuesses {
public:
  /// What was last remembered for localName; null when nothing is.
  const T* find(const unsigned char* localName) const {
    const Guess& guess = guesses[index(localName)];
    return guess.localName == localName ? guess.value : nullptr;
  }
  void remember(const unsigned char* localName, const T* value) { guesses[index(localName)] = {localName, value}; }
  void clear() { guesses = {}; }

private:
  struct Guess {
    const unsigned char* localName = nullptr;
    const T* value = nullptr;
  };
  static constexpr std::size_t count = 16;
  static std::size_t index(const unsigned char* localName) {
    return (reinterpret_cast<std::uintptr_t>(localName) >> 4) % count;
  }

  std::array<Guess, count> guesses{};
};

} // namespace platform::xml
