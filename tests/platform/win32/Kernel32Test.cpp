#include "platform/win32/Kernel32.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "support/TestSupport.h"

namespace {

namespace win32 = platform::win32;

const win32::DWORD allocateFromSystem = win32::FORMAT_MESSAGE_FROM_SYSTEM |
                                        win32::FORMAT_MESSAGE_IGNORE_INSERTS |
                                        win32::FORMAT_MESSAGE_ALLOCATE_BUFFER;

TEST(Kernel32Test, LastErrorIsTheThreadsErrno) {
  win32::SetLastError(0);
  EXPECT_EQ(0u, win32::GetLastError());
  EXPECT_EQ(-1, access("/nonexistent/vexlor", F_OK));
  EXPECT_EQ(2u, win32::GetLastError());
  win32::SetLastError(13);
  EXPECT_EQ(13, errno);
}

TEST(Kernel32Test, FormatMessageAllocatesTheSystemTextWithCrLf) {
  char* text = nullptr;
  const win32::DWORD length =
      win32::FormatMessageA(allocateFromSystem, nullptr, ENOENT, win32::LANG_NEUTRAL_DEFAULT,
                            reinterpret_cast<win32::LPSTR>(&text), 0, nullptr);
  ASSERT_NE(nullptr, text);
  EXPECT_EQ(std::string("No such file or directory\r\n"), text);
  EXPECT_EQ(std::strlen(text), length);
  EXPECT_EQ(nullptr, win32::LocalFree(text));
}

TEST(Kernel32Test, FormatMessageHasNoTextForUnknownCodes) {
  for (const win32::DWORD code : {100000u, 0xFFFFFFFFu}) {
    char* text = nullptr;
    EXPECT_EQ(0u, win32::FormatMessageA(allocateFromSystem, nullptr, code, 0,
                                        reinterpret_cast<win32::LPSTR>(&text), 0, nullptr))
        << code;
    EXPECT_EQ(nullptr, text);
  }
}

TEST(Kernel32Test, FormatMessageIntoACallerBufferNeedsRoomForTheNul) {
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

TEST(Kernel32Test, GetCurrentDirectoryFailsWhenTheDirectoryIsGone) {
  testsupport::TemporaryDirectory temporary;
  const std::string gone = temporary.file("gone");
  ASSERT_EQ(0, mkdir(gone.c_str(), 0700));
  testsupport::CurrentDirectoryChange change(gone);
  ASSERT_EQ(0, rmdir(gone.c_str()));

  char buffer[win32::MAX_PATH];
  EXPECT_EQ(0u, win32::GetCurrentDirectoryA(win32::MAX_PATH, buffer));
  EXPECT_EQ(2u, win32::GetLastError());
}

TEST(Kernel32Test, SetCurrentDirectoryChangesOrFailsWithTheCode) {
  testsupport::TemporaryDirectory temporary;
  testsupport::CurrentDirectoryChange restore(std::filesystem::current_path());

  EXPECT_NE(0, win32::SetCurrentDirectoryA(temporary.path().c_str()));
  EXPECT_EQ(temporary.path(), std::filesystem::current_path());

  EXPECT_EQ(0, win32::SetCurrentDirectoryA(temporary.file("missing").c_str()));
  EXPECT_EQ(2u, win32::GetLastError());
  EXPECT_EQ(temporary.path(), std::filesystem::current_path());
}

} // namespace
