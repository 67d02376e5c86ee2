// Ownership and copies of temporary arrays.
#pragma once

#include <cstddef>

namespace util {

/// Owns one array made with new[] (or null) and releases it with delete[]
/// when destroyed, so every way out of a scope, a throw included, frees it.
template <typename T>
class ScopedArray {
public:
  explicit ScopedArray(T* array) : owns(true), array(array) {}
  ScopedArray(const ScopedArray&) = delete;
  ScopedArray& operator=(const ScopedArray&) = delete;
  virtual ~ScopedArray() {
    if (owns) {
      delete[] array;
    }
  }

  /// The array, still owned.
  T* get() const { return array; }

private:
  bool owns;
  T* array;
};

/// A new[] array of size characters holding a copy of the size bytes at src;
/// the caller owns it and releases it with delete[]. A null src or a zero
/// size is reported as a failed check; a null src is never read, and the
/// array then holds size NUL characters.
char* duplicate(const char* src, std::size_t size);

} // namespace util
