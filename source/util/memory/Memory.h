// Ownership of temporary arrays.
#pragma once

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

} // namespace util
