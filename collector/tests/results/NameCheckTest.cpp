// The shared name check, one row per rule at its edge.
#include <gtest/gtest.h>

#include <string>

#include "NameCheck.h"

namespace {

TEST(NameCheck, OneName) {
  struct Case {
    std::string name;
    NameFault fault;
  } cases[] = {
      {"Run", NameFault::None},
      {"", NameFault::Empty},
      {".", NameFault::DotName},
      {"..", NameFault::DotName},
      {"...", NameFault::TrailingDot},
      {"a.", NameFault::TrailingDot},
      {"a ", NameFault::TrailingDot},
      {" a", NameFault::None},
      {"..a", NameFault::None},
      {"a:b", NameFault::Reserved},
      {"a\\b", NameFault::Reserved},
      {"a/b", NameFault::Reserved},
      {"a*", NameFault::Reserved},
      {"a\nb", NameFault::Control},
      // Devices in any case, with any extension and blanks before the dot.
      {"CON", NameFault::Device},
      {"nul.tgz", NameFault::Device},
      {"Aux.tar.gz", NameFault::Device},
      {"prn .txt", NameFault::Device},
      {"COM1", NameFault::Device},
      {"lpt9.log", NameFault::Device},
      {"COM\xB9", NameFault::Device},
      {"CONIN$", NameFault::Device},
      {"COM0", NameFault::None},
      {"COM10", NameFault::None},
      {"CONSOLE", NameFault::None},
      {"NULL.txt", NameFault::None},
      {"x.nul", NameFault::None},
      {std::string(255, 'n'), NameFault::None},
      {std::string(256, 'n'), NameFault::TooLong},
  };
  for (const Case& c : cases) EXPECT_EQ(c.fault, CheckName(c.name)) << c.name;
}

TEST(NameCheck, NamesInTheResults) {
  const std::string root = "C:\\out\\~QX_TEMP", folder = root + "\\Sample";
  // The output name of an entry: at most 99 characters after its folder's "/".
  EXPECT_EQ(NameFault::None, CheckResultsName(root, folder, std::string(95, 'r') + ".txt", false));
  EXPECT_EQ(NameFault::TooLong, CheckResultsName(root, folder, std::string(96, 'r') + ".txt", false));
  // A folder must be a prefix: 154 characters at most.
  EXPECT_EQ(NameFault::None, CheckResultsName(root, root, std::string(154, 'f'), true));
  EXPECT_EQ(NameFault::TooLong, CheckResultsName(root, root, std::string(155, 'f'), true));
  // The whole path within the platform's limits: 259 for a file, 247 for a folder.
  const std::string deep = "C:\\" + std::string(200, 'd') + "\\~QX_TEMP";
  ASSERT_EQ(212u, deep.size());
  EXPECT_EQ(NameFault::None, CheckResultsName(deep, deep, std::string(46, 'x'), false));
  EXPECT_EQ(NameFault::TooLong, CheckResultsName(deep, deep, std::string(47, 'x'), false));
  EXPECT_EQ(NameFault::None, CheckResultsName(deep, deep, std::string(34, 'x'), true));
  EXPECT_EQ(NameFault::TooLong, CheckResultsName(deep, deep, std::string(35, 'x'), true));
  EXPECT_EQ(NameFault::Device, CheckResultsName(root, folder, "con.txt", false));

  EXPECT_EQ(NameFault::None, CheckRelativeName("Sample\\Logs\\a.evt", false));
  EXPECT_EQ(NameFault::DotName, CheckRelativeName("Sample\\..\\a.evt", false));
  EXPECT_EQ(NameFault::Empty, CheckRelativeName("Sample\\\\a.evt", false));
  EXPECT_EQ("Unusable name con (a device name): action skipped",
            RefusedNameText("con", NameFault::Device, "action"));
}

}  // namespace
