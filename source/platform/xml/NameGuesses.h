// What the schema layer gave the element of a name last seen, as a guess
// for the next element of that name, before the schema layer says.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace platform::xml {

/// A small table from local names (pointers into the parser's dictionary,
/// one per name) to what was remembered for each: a few loads to consult,
/// for work that has to start before the schema layer takes an element.
/// It holds the names of a large vocabulary; past that, a name may push
/// another out. A guess may be wrong, and its user must stay sound when it
/// is.
template <typename T>
class NameGuesses {
public:
  /// What was last remembered for localName; null when nothing is.
  const T* find(const unsigned char* localName) const {
    for (std::size_t i = home(localName), probe = 0; probe < probes; ++probe, i = (i + 1) % count) {
      if (guesses[i].localName == localName) {
        return guesses[i].value;
      }
      if (guesses[i].localName == nullptr) {
        return nullptr;
      }
    }
    return nullptr;
  }
  void remember(const unsigned char* localName, const T* value) {
    const std::size_t first = home(localName);
    for (std::size_t i = first, probe = 0; probe < probes; ++probe, i = (i + 1) % count) {
      if (guesses[i].localName == localName || guesses[i].localName == nullptr) {
        guesses[i] = {localName, value};
        return;
      }
    }
    guesses[first] = {localName, value};
  }
  void clear() { guesses = {}; }

private:
  struct Guess {
    const unsigned char* localName = nullptr;
    const T* value = nullptr;
  };
  static constexpr std::size_t count = 128;
  static constexpr std::size_t probes = 8;
  // The dictionary places names close together: the pointer's bits are
  // mixed.
  static std::size_t home(const unsigned char* localName) {
    const auto bits = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(localName));
    return static_cast<std::size_t>((bits * 0x9e3779b97f4a7c15ULL) >> 57);
  }

  std::array<Guess, count> guesses{};
};

} // namespace platform::xml
