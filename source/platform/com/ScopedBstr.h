// Ownership of one BSTR.
#pragma once

#include "platform/com/ComTypes.h"

namespace platform::com {

/// Owns one BSTR (or null) and frees it with SysFreeString when destroyed or
/// refilled, so a string received from an interface is freed on every way
/// out of the receiver.
class ScopedBstr {
public:
  ScopedBstr() = default;
  /// Takes over a BSTR that the caller owns.
  explicit ScopedBstr(BSTR owned);
  ScopedBstr(const ScopedBstr&) = delete;
  ScopedBstr& operator=(const ScopedBstr&) = delete;
  ~ScopedBstr();

  BSTR get() const { return string; }

  /// Frees the held string, if any, and returns the empty slot for a call
  /// that fills it.
  BSTR* address();

  /// Gives up the string without freeing it.
  BSTR detach();

private:
  BSTR string = nullptr;
};

} // namespace platform::com
