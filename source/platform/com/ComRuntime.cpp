#include "platform/com/ComRuntime.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

namespace platform::com {

namespace {

thread_local bool initialised = false;

class ClassTable {
public:
  void enter(REFCLSID classId, ClassFactory factory) {
    std::lock_guard<std::mutex> lock(mutex);
    const auto entry = find(classId);
    if (entry != entries.end()) {
      entries.erase(entry);
    }
    if (factory != nullptr) {
      entries.emplace_back(classId, factory);
    }
  }

  /// The class's factory, or null when it is not registered.
  ClassFactory factoryOf(REFCLSID classId) {
    std::lock_guard<std::mutex> lock(mutex);
    const auto entry = find(classId);
    return entry != entries.end() ? entry->second : nullptr;
  }

private:
  using Entry = std::pair<CLSID, ClassFactory>;

  std::vector<Entry>::iterator find(REFCLSID classId) {
    return std::find_if(entries.begin(), entries.end(),
                        [&classId](const Entry& entry) { return entry.first == classId; });
  }

  std::mutex mutex;
  std::vector<Entry> entries;
};

// Made on first use, so registration works from any static initialiser.
ClassTable& classTable() {
  static ClassTable table;
  return table;
}

} // namespace

HRESULT CoInitialize(void* reserved) {
  if (reserved != nullptr) {
    return E_INVALIDARG;
  }
  return std::exchange(initialised, true) ? S_FALSE : S_OK;
}

HRESULT CoCreateInstance(REFCLSID classId, IUnknown* outer, DWORD context, REFIID iid,
                         void** object) {
  if (object == nullptr) {
    return E_POINTER;
  }
  *object = nullptr;
  if (!initialised) {
    return CO_E_NOTINITIALIZED;
  }
  if (outer != nullptr) {
    return CLASS_E_NOAGGREGATION;
  }
  // Called outside the table's lock, so a factory may use the table itself.
  const ClassFactory factory = classTable().factoryOf(classId);
  if (factory == nullptr || (context & CLSCTX_INPROC_SERVER) == 0) {
    return REGDB_E_CLASSNOTREG;
  }
  const HRESULT status = factory(iid, object);
  if (FAILED(status)) {
    *object = nullptr;
    return status;
  }
  // Callers rely on an object after success; a factory that gives none fails.
  return *object != nullptr ? status : E_FAIL;
}

void registerClass(REFCLSID classId, ClassFactory factory) { classTable().enter(classId, factory); }

void unregisterClass(REFCLSID classId) { classTable().enter(classId, nullptr); }

} // namespace platform::com
