// Windows names: how arguments, URIs and paths map onto each other, and
// which names LocalFile refuses without opening them.
#include "platform/xml/LocalNames.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/xml/LocalFile.h"
#include "platform/xml/ResourceName.h"
#include "support/TemporaryDirectory.h"

#include <windows.h>

namespace {

namespace localnames = platform::xml::localnames;
using platform::xml::LocalFile;
using platform::xml::nameArgument;
using platform::xml::resolveReference;

TEST(WindowsNames, ArgumentsReferencesAndPathsMapOntoEachOther) {
  for (const auto& [argument, relative] : {std::pair{"sub\\f.xml", true}, {"sub/f.xml", true},
                                           {"C:\\f.xml", false}, {"C:f.xml", false},
                                           {"\\f.xml", false}, {"\\\\server\\share\\f.xml", false}}) {
    EXPECT_EQ(localnames::isRelative(argument), relative) << argument;
  }
  EXPECT_EQ(localnames::absolute("C:\\dir\\..\\f.xml", ""), "/C:/f.xml");
  EXPECT_EQ(localnames::absolute("\\\\server\\share\\d\\f.xml", ""), "//server/share/d/f.xml");
  EXPECT_EQ(localnames::native("/C:/dir/f.xml"), "C:\\dir\\f.xml");
  EXPECT_EQ(localnames::native("//server/share/f.xml"), "\\\\server\\share\\f.xml");

  // The argument comes back in the bytes it came in: letters of the code
  // page beyond ISO 8859-1 (0x80 is the euro sign in 1252, Cyrillic Dje in
  // 1251) included; what the page cannot hold is '?', never a look-alike.
  for (const char* bytes : {"caf\xe9\\f.xml", "\x80uro\\f.xml"}) {
    wchar_t wide[32] = {};
    const int units = MultiByteToWideChar(CP_THREAD_ACP, 0, bytes, -1, wide, 32);
    ASSERT_GT(units, 1) << bytes;
    EXPECT_EQ(localnames::argumentBytes(wide, static_cast<std::size_t>(units - 1)), bytes);
  }
  if (GetACP() == 1252) {
    EXPECT_EQ(localnames::argumentBytes(L"\u041f\u00ef.xml", 6), "?\xef.xml");
  }

  const struct {
    const char* base;
    const char* reference;
    const char* path;
  } references[] = {
      {"file:///C:/dir/f.xml", "sub/g.dtd", "C:\\dir\\sub\\g.dtd"},
      {"file:///C:/dir/f.xml", "../caf%C3%A9/g.dtd", "C:\\caf\xc3\xa9\\g.dtd"},
      {"file://server/share/d/f.xml", "../g.dtd", "\\\\server\\share\\g.dtd"},
      {"file:///C:/dir/f.xml", "file:///D:/x.dtd", "D:\\x.dtd"},
  };
  for (const auto& row : references) {
    const auto name = resolveReference(row.base, row.reference);
    EXPECT_TRUE(name.isLocal()) << row.reference << ": " << name.problem;
    EXPECT_EQ(name.path, row.path) << row.reference;
  }

  const auto share = nameArgument("\\\\server\\share\\d\\..\\f.xml", "/C:/work", true);
  EXPECT_EQ(share.uri, "file://server/share/f.xml");
  EXPECT_EQ(nameArgument("C:\\dir\\f.xml", "/C:/work", true).uri, "file:///C:/dir/f.xml");
}

TEST(WindowsNames, DevicesAreRefusedAndOnlyRegularFilesOpen) {
  for (const char* device : {"CON", "nul", "C:\\any\\COM1.txt", "LPT3", "conin$", "aux.xml",
                             "\\\\.\\pipe\\vexlor", "//./C:"}) {
    const LocalFile file(device);
    EXPECT_FALSE(file.isOpen()) << device;
    EXPECT_EQ(file.error(), ENODEV) << device;
  }
  // A folder named in UTF-8, made through its UTF-16 name.
  const testsupport::TemporaryDirectory directory;
  const std::string folder = directory.file("caf\xc3\xa9");
  std::filesystem::create_directory(std::filesystem::u8path(folder));
  std::ofstream(std::filesystem::u8path(folder + "\\d.xml"), std::ios::binary) << "<d/>";
  LocalFile file(folder + "\\d.xml");
  ASSERT_TRUE(file.isOpen()) << file.failure();
  char buffer[8] = {};
  EXPECT_EQ(file.read(buffer, sizeof buffer), 4);
  EXPECT_EQ(std::string(buffer, 4), "<d/>");
  EXPECT_EQ(LocalFile(folder).error(), EISDIR);
  EXPECT_EQ(LocalFile(directory.file("missing.xml")).error(), ENOENT);
  // Names that only start like a device are files.
  EXPECT_EQ(LocalFile(directory.file("console.xml")).error(), ENOENT);
}

} // namespace
