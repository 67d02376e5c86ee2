// Apartment set-up and object creation: the part of the COM runtime that
// programs call before any interface.
#pragma once

#include "platform/com/ComTypes.h"
#include "platform/com/Unknown.h"

namespace platform::com {

/// Makes a new object of one class and hands out the interface iid of it in
/// *object, with one reference: S_OK. On failure *object is null and the
/// status says why (E_NOINTERFACE when the class does not offer iid).
using ClassFactory = HRESULT (*)(REFIID iid, void** object);

/// Initialises COM on the calling thread: S_OK the first time on a thread,
/// S_FALSE when it was already initialised there. E_INVALIDARG when
/// reserved is not null.
HRESULT CoInitialize(void* reserved);

/// Makes an object of the registered class classId through its factory. All
/// classes of the table are in-process servers, so context must include
/// CLSCTX_INPROC_SERVER. Failures, with *object null: E_POINTER (object is
/// null), CO_E_NOTINITIALIZED (no CoInitialize on this thread yet),
/// CLASS_E_NOAGGREGATION (outer is not null), REGDB_E_CLASSNOTREG (class
/// not registered, or not for this context), the factory's own status,
/// such as E_NOINTERFACE, and E_FAIL when it succeeded without an object.
HRESULT CoCreateInstance(REFCLSID classId, IUnknown* outer, DWORD context, REFIID iid,
                         void** object);

/// Enters classId in the process-wide class table, replacing the factory it
/// had; a null factory removes it. Safe to call from any thread.
void registerClass(REFCLSID classId, ClassFactory factory);

/// Removes classId from the class table; nothing happens when it is absent.
void unregisterClass(REFCLSID classId);

} // namespace platform::com
