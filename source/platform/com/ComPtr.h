// Owning pointer to a COM interface.
#pragma once

#include <utility>

namespace platform::com {

/// Holds one reference to a COM object and releases it when destroyed or
/// reset. address() hands out the slot for a call that fills it.
template <typename T>
class ComPtr {
public:
  ComPtr() = default;
  /// Takes over a reference that the caller already owns.
  explicit ComPtr(T* owned) : pointer(owned) {}
  ComPtr(const ComPtr& other) : pointer(other.pointer) {
    if (pointer != nullptr) {
      pointer->AddRef();
    }
  }
  ComPtr(ComPtr&& other) noexcept : pointer(std::exchange(other.pointer, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(pointer, other.pointer);
    return *this;
  }
  ~ComPtr() { reset(); }

  T* get() const { return pointer; }
  T* operator->() const { return pointer; }
  explicit operator bool() const { return pointer != nullptr; }

  /// Releases the held reference, if any, and returns the empty slot.
  T** address() {
    reset();
    return &pointer;
  }

  void reset() noexcept {
    if (pointer != nullptr) {
      std::exchange(pointer, nullptr)->Release();
    }
  }

  /// Gives up the reference without releasing it.
  T* detach() { return std::exchange(pointer, nullptr); }

private:
  T* pointer = nullptr;
};

} // namespace platform::com
