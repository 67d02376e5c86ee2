// Reference counting shared by the objects this layer and its users implement.
#pragma once

#include <atomic>

#include "platform/com/ComTypes.h"
#include "platform/com/Unknown.h"

namespace platform::com {

/// Implements AddRef and Release of Interface for an object made with new:
/// the count starts at 1 (the creator's reference) and the last Release
/// deletes the object through its virtual destructor. The count is atomic,
/// so references may be taken and dropped on any thread. The derived class
/// writes QueryInterface, usually as a call of offerInterface.
template <typename Interface>
class ComObject : public Interface {
public:
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  ULONG AddRef() override { return ++references; }

  ULONG Release() override {
    const ULONG remaining = --references;
    if (remaining == 0) {
      delete this;
    }
    return remaining;
  }

protected:
  ComObject() = default;
  virtual ~ComObject() = default;

  /// QueryInterface for an object that offers IUnknown and interfaceIid
  /// (Interface's own IID) and nothing else.
  HRESULT offerInterface(REFIID iid, void** object, REFIID interfaceIid) {
    if (object == nullptr) {
      return E_POINTER;
    }
    if (iid == IID_IUnknown) {
      *object = static_cast<IUnknown*>(this);
    } else if (iid == interfaceIid) {
      *object = static_cast<Interface*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }

private:
  std::atomic<ULONG> references{1};
};

} // namespace platform::com
