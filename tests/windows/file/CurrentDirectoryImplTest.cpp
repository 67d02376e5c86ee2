#include "windows/file/CurrentDirectoryImpl.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/PosixOnly.h"
#include "support/TestSupport.h"

namespace {

using testsupport::CurrentDirectoryChange;
using testsupport::TemporaryDirectory;
using windows::file::CurrentDirectoryImpl;

TEST(CurrentDirectoryImplTest, GetAppendsOneSeparator) {
  TemporaryDirectory temporary;
  CurrentDirectoryChange change(temporary.path());
  EXPECT_EQ(temporary.path().string() + "/", CurrentDirectoryImpl().getDirectory());
}

TEST(CurrentDirectoryImplTest, GetAtTheRootAppendsASecondSeparator) {
  VEXLOR_POSIX_ONLY("the root is POSIX's /");
  CurrentDirectoryChange change("/");
  EXPECT_EQ("//", CurrentDirectoryImpl().getDirectory());
}

TEST(CurrentDirectoryImplTest, GetReturnsADirectoryLongerThanThePathBuffer) {
  VEXLOR_POSIX_ONLY("Windows keeps the current directory within MAX_PATH characters");
  TemporaryDirectory temporary;
  std::filesystem::path deep = temporary.path();
  for (int level = 0; level < 4; ++level) {
    deep /= std::string(100, static_cast<char>('a' + level));
  }
  std::filesystem::create_directories(deep);
  CurrentDirectoryChange change(deep);
  ASSERT_GT(deep.string().size(), 260u);
  EXPECT_EQ(deep.string() + "/", CurrentDirectoryImpl().getDirectory());
}

TEST(CurrentDirectoryImplTest, SetThenGetGivesTheFullForm) {
  TemporaryDirectory temporary;
  std::filesystem::create_directory(temporary.path() / "sub");
  CurrentDirectoryChange restore(temporary.path());
  CurrentDirectoryImpl directory;
  directory.setDirectory("sub/../sub");
  EXPECT_EQ(temporary.file("sub") + "/", directory.getDirectory());
}

TEST(CurrentDirectoryImplTest, SetToAMissingDirectoryThrowsAndChangesNothing) {
  VEXLOR_POSIX_ONLY("the expected texts are glibc's; Windows has its own");
  TemporaryDirectory temporary;
  CurrentDirectoryChange restore(temporary.path());
  const std::string missing = temporary.file("missing");
  try {
    CurrentDirectoryImpl().setDirectory(missing);
    FAIL() << "no exception";
  } catch (const windows::file::SetCurrentDirectoryException& exception) {
    EXPECT_EQ("Could not set the directory, " + missing +
                  ", to the current directory.\n\nSystem error message: No such file or "
                  "directory\r\n",
              exception.message());
  }
  EXPECT_EQ(temporary.path(), std::filesystem::current_path());
}

TEST(CurrentDirectoryImplTest, GetInARemovedDirectoryThrows) {
  VEXLOR_POSIX_ONLY("Windows refuses to remove a directory that a process has as its current one");
  TemporaryDirectory temporary;
  const std::string gone = temporary.file("gone");
  ASSERT_TRUE(std::filesystem::create_directory(gone));
  CurrentDirectoryChange change(gone);
  ASSERT_EQ(0, rmdir(gone.c_str()));
  try {
    CurrentDirectoryImpl().getDirectory();
    FAIL() << "no exception";
  } catch (const windows::file::GetCurrentDirectoryException& exception) {
    EXPECT_EQ("Couldn't get the current directory.\n\n System error message: No such file or "
              "directory\r\n",
              exception.message());
  }
}

} // namespace
