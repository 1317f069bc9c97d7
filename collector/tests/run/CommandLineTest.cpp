// Command-line options and path normalisation, one row per case.
#include <gtest/gtest.h>

#include <map>

#include "CommandLine.h"

namespace {

struct ExtractCase {
  const char* line;
  const char* name;
  bool present;
  const char* value;
  const char* rest;  // the working copy afterwards
};

TEST(CommandLine, ExtractOption) {
  const ExtractCase cases[] = {
      {"/xmlfile=a.qir", "/xmlfile=", true, "a.qir", ""},
      {"  /XMLFILE=C:\\Scripts\\A.QIR /silent", "/xmlfile=", true, "c:\\scripts\\a.qir", " /silent"},
      {"/xmlfile=\"c:\\my scripts\\a.qir\" /silent", "/xmlfile=", true, "c:\\my scripts\\a.qir", " /silent"},
      {"/xmlfile=\"\" /silent", "/xmlfile=", true, "", " /silent"},
      // No closing mark: only the name goes, the rest stays for the other options.
      {"/xmlfile=\"c:\\a.qir /silent", "/xmlfile=", true, "", "\"c:\\a.qir /silent"},
      {"/xmlfile= /outfile=r.tgz", "/xmlfile=", true, "", " /outfile=r.tgz"},
      {"/outfile=r.tgz /xmlfile=", "/xmlfile=", true, "", "/outfile=r.tgz "},
      {"/outfile=r.tgz", "/xmlfile=", false, "", "/outfile=r.tgz"},
      {"/silentplease /x", "/silent", true, "please", " /x"},
      {"/Silent", "/silent", true, "", ""},
      {"", "/silent", false, "", ""},
  };
  for (const ExtractCase& c : cases) {
    std::string copy = c.line;
    std::string value = "sentinel";
    EXPECT_EQ(c.present, ExtractOption(copy, c.name, &value)) << c.line;
    EXPECT_EQ(c.value, value) << c.line;
    EXPECT_EQ(c.rest, copy) << c.line;
  }
}

TEST(CommandLine, ParseTakesAllThreeInAnyOrderAndCase) {
  CollectorApp app = ParseCommandLine("/SILENT /OutFile=Out.TGZ /XmlFile=\"a b.qir\"");
  EXPECT_EQ("a b.qir", app.xmlFile);
  EXPECT_EQ("out.tgz", app.outFile);
  EXPECT_TRUE(app.silent);

  app = ParseCommandLine("/xmlfile=/silent");
  EXPECT_EQ("/silent", app.xmlFile) << "the value runs to the next space";
  EXPECT_FALSE(app.silent);

  app = ParseCommandLine("");
  EXPECT_EQ("", app.xmlFile);
  EXPECT_EQ("", app.outFile);
  EXPECT_FALSE(app.silent);
}

struct PathCase {
  const char* path;
  const char* currentDir;
  const char* expected;
};

TEST(CommandLine, NormalisePath) {
  // Short forms of the folders that exist in this table's world.
  const std::map<std::string, std::string> shortForms = {
      {"c:\\work dir", "C:\\WORKDI~1"},
      {"c:\\work dir\\sub", "C:\\WORKDI~1\\SUB"},
      {"c:", "C:"},
      {"c:\\work dir\\..", "C:\\WORKDI~1\\.."},
  };
  const ShortFolderFn shortFolder = [&shortForms](const std::string& folder, std::string* shortForm) {
    auto found = shortForms.find(folder);
    if (found == shortForms.end()) return false;
    *shortForm = found->second;
    return true;
  };
  const PathCase cases[] = {
      {"r.tgz", "c:\\work dir", "C:\\WORKDI~1\\r.tgz"},
      {"sub\\r.tgz", "c:\\work dir", "C:\\WORKDI~1\\SUB\\r.tgz"},
      {"..\\r.tgz", "c:\\work dir", "C:\\WORKDI~1\\..\\r.tgz"},
      {"\\r.tgz", "c:\\work dir", "C:\\r.tgz"},
      {"missing\\r.tgz", "c:\\work dir", ""},
      {"r.tgz", "c:\\", "C:\\r.tgz"},
      {"d:\\x\\r.tgz", "c:\\work dir", "d:\\x\\r.tgz"},
      {"ab", "c:\\work dir", "ab"},
      {"r.tgz", "", "r.tgz"},
      {"\\r.tgz", "\\\\server\\share", "\\r.tgz"},
  };
  for (const PathCase& c : cases)
    EXPECT_EQ(c.expected, NormalisePath(c.path, c.currentDir, shortFolder)) << c.path << " in " << c.currentDir;
}

}  // namespace
