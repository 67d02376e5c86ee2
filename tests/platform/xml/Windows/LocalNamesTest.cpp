// Windows names: how arguments, URIs and paths map onto each other, and
// which names LocalFile refuses without opening them.
#include "platform/xml/LocalNames.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <utility>

#include "platform/xml/LocalFile.h"
#include "platform/xml/ResourceName.h"

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

// Device names are refused before anything is opened; a name that only
// starts like one is a file.
TEST(WindowsNames, DevicesAreRefusedWithoutOpeningThem) {
  for (const auto& [name, error] : {std::pair{"CON", ENODEV}, {"nul", ENODEV}, {"C:\\any\\COM1.txt", ENODEV},
                                    {"LPT3", ENODEV}, {"conin$", ENODEV}, {"aux.xml", ENODEV},
                                    {"\\\\.\\pipe\\vexlor", ENODEV}, {"//./C:", ENODEV},
                                    {"console-missing.xml", ENOENT}}) {
    const LocalFile file(name);
    EXPECT_FALSE(file.isOpen()) << name;
    EXPECT_EQ(file.error(), error) << name;
  }
}

} // namespace
