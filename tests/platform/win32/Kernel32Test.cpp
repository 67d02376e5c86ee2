#include "platform/win32/Kernel32.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "support/PosixOnly.h"
#include "support/TestSupport.h"

namespace {

namespace win32 = platform::win32;

TEST(Kernel32Test, FormatMessageIntoACallerBufferNeedsRoomForTheNul) {
  VEXLOR_POSIX_ONLY("pins the POSIX implementation's text for an errno code; on Windows FormatMessageA is the system's");
  const std::string expected = "Permission denied\r\n";
  char buffer[64];
  EXPECT_EQ(expected.size(), win32::FormatMessageA(win32::FORMAT_MESSAGE_FROM_SYSTEM, nullptr,
                                                   EACCES, 0, buffer, sizeof buffer, nullptr));
  EXPECT_EQ(expected, buffer);

  const win32::DWORD exact = static_cast<win32::DWORD>(expected.size());
  EXPECT_EQ(0u, win32::FormatMessageA(win32::FORMAT_MESSAGE_FROM_SYSTEM, nullptr, EACCES, 0,
                                      buffer, exact, nullptr));
}

TEST(Kernel32Test, GetCurrentDirectoryFillsOrAsksForTheNeededLength) {
  testsupport::TemporaryDirectory temporary;
  testsupport::CurrentDirectoryChange change(temporary.path());
  const std::string expected = temporary.path().string();

  char buffer[win32::MAX_PATH];
  ASSERT_EQ(expected.size(), win32::GetCurrentDirectoryA(win32::MAX_PATH, buffer));
  EXPECT_EQ(expected, buffer);

  const win32::DWORD small = static_cast<win32::DWORD>(expected.size());
  EXPECT_EQ(expected.size() + 1, win32::GetCurrentDirectoryA(small, buffer));
  EXPECT_EQ(expected.size() + 1, win32::GetCurrentDirectoryA(0, nullptr));
}

} // namespace
