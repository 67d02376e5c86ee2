#include "platform/com/ComRuntime.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/com/ComObject.h"

namespace {

using namespace platform::com;

const IID IID_IProbe = {0x6B1F0C2A, 0x1D3E, 0x4F50, {0x9A, 0x61, 0x72, 0x83, 0x94, 0xA5, 0xB6, 0xC7}};
const CLSID CLSID_Probe = {0x6B1F0C2A, 0x1D3E, 0x4F50, {0x9A, 0x61, 0x72, 0x83, 0x94, 0xA5, 0xB6, 0xC8}};
const DWORD inProcess = CLSCTX_INPROC_SERVER;

class IProbe : public IUnknown {
public:
  virtual int kind() = 0;

protected:
  ~IProbe() = default;
};

/// A class of the table whose instances are counted; Kind tells factories apart.
template <int Kind>
class Probe : public ComObject<IProbe> {
public:
  static inline int live = 0;
  Probe() { ++live; }
  ~Probe() override { --live; }
  HRESULT QueryInterface(REFIID iid, void** object) override {
    return offerInterface(iid, object, IID_IProbe);
  }
  int kind() override { return Kind; }

  static HRESULT create(REFIID iid, void** object) {
    auto* probe = new Probe;
    const HRESULT status = probe->QueryInterface(iid, object);
    probe->Release();
    return status;
  }
};

HRESULT createNothing(REFIID, void** object) {
  *object = nullptr;
  return S_OK;
}

/// CoCreateInstance with a slot that must come back null on failure.
HRESULT create(REFCLSID classId, IUnknown* outer, DWORD context, REFIID iid, void** object) {
  *object = &object;
  return CoCreateInstance(classId, outer, context, iid, object);
}

// CoInitialize is per thread, so each test works on threads of its own.
class ComRuntimeTest : public testing::Test {
protected:
  void SetUp() override { registerClass(CLSID_Probe, &Probe<1>::create); }
  void TearDown() override { unregisterClass(CLSID_Probe); }
};

TEST_F(ComRuntimeTest, CoInitializeSaysOkOncePerThreadAndCreationNeedsIt) {
  std::thread([] {
    EXPECT_EQ(S_OK, CoInitialize(nullptr));
    EXPECT_EQ(S_FALSE, CoInitialize(nullptr));
  }).join();
  std::thread([] {
    void* object = nullptr;
    EXPECT_EQ(CO_E_NOTINITIALIZED, create(CLSID_Probe, nullptr, inProcess, IID_IProbe, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(S_OK, CoInitialize(nullptr));
  }).join();
}

TEST_F(ComRuntimeTest, CreatesTheRegisteredClassWithOneReference) {
  std::thread([] {
    CoInitialize(nullptr);
    void* object = nullptr;
    ASSERT_EQ(S_OK, create(CLSID_Probe, nullptr, inProcess, IID_IProbe, &object));
    auto* probe = static_cast<IProbe*>(object);
    EXPECT_EQ(1, probe->kind());
    EXPECT_EQ(2u, probe->AddRef());
    EXPECT_EQ(1u, probe->Release());
    EXPECT_EQ(0u, probe->Release());
    EXPECT_EQ(0, Probe<1>::live);

    registerClass(CLSID_Probe, &Probe<2>::create);
    ASSERT_EQ(S_OK, create(CLSID_Probe, nullptr, inProcess, IID_IUnknown, &object));
    EXPECT_EQ(1, Probe<2>::live);
    static_cast<IUnknown*>(object)->Release();
  }).join();
}

TEST_F(ComRuntimeTest, CreationFailuresLeaveNoObject) {
  std::thread([] {
    CoInitialize(nullptr);
    CLSID unknown = CLSID_Probe;
    unknown.Data4[7] ^= 1;
    IUnknown* outer = reinterpret_cast<IUnknown*>(&outer);
    void* object = nullptr;

    EXPECT_EQ(REGDB_E_CLASSNOTREG, create(unknown, nullptr, inProcess, IID_IProbe, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(CLASS_E_NOAGGREGATION, create(CLSID_Probe, outer, inProcess, IID_IProbe, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(E_NOINTERFACE, create(CLSID_Probe, nullptr, inProcess, unknown, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(0, Probe<1>::live);
    EXPECT_EQ(REGDB_E_CLASSNOTREG,
              create(CLSID_Probe, nullptr, CLSCTX_LOCAL_SERVER, IID_IProbe, &object));
    EXPECT_EQ(E_POINTER, CoCreateInstance(CLSID_Probe, nullptr, inProcess, IID_IProbe, nullptr));
    registerClass(CLSID_Probe, &createNothing);
    EXPECT_EQ(E_FAIL, create(CLSID_Probe, nullptr, inProcess, IID_IProbe, &object));
    unregisterClass(CLSID_Probe);
    EXPECT_EQ(REGDB_E_CLASSNOTREG, create(CLSID_Probe, nullptr, inProcess, IID_IProbe, &object));
  }).join();
}

} // namespace
