// Registry dump: the output lines byte for byte for keys this test creates under
// HKEY_CURRENT_USER\Software\Qirex\Test, the search over the roots, and the data texts.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "CollectorState.h"
#include "LineFileWriter.h"
#include "QXTRegistry.h"
#include "RegistryRoots.h"
#include "TestFiles.h"

namespace {

using namespace testfiles;

const char kTestKey[] = "Software\\Qirex\\Test";

size_t CountOf(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

void SetValue(HKEY key, const char* name, DWORD type, const void* data, DWORD size) {
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size)) << name;
}

HKEY CreateKey(const std::string& path) {
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                           &key, nullptr))
      << path;
  return key;
}

// Each case owns one scratch key (cases may run side by side) and one output folder.
class RegistryDump : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    scratch_ = std::string(kTestKey) + "\\" + name;
    RegDeleteTreeA(HKEY_CURRENT_USER, scratch_.c_str());
    folder_ = TempFolder("qxt_registry_" + name);
    output_ = folder_ + "\\Run.txt";
    logPath_ = folder_ + "\\Activity Log.csv";
    DeleteFileA(output_.c_str());
    DeleteFileA(logPath_.c_str());
  }
  void TearDown() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, scratch_.c_str());
    DeleteFileA(output_.c_str());
    DeleteFileA(logPath_.c_str());
    RemoveDirectoryA(folder_.c_str());
    TerminateRequested = 0;
    WriteFailed = 0;
  }

  void Key(const std::string& subpath) { RegCloseKey(CreateKey(scratch_ + subpath)); }

  std::vector<std::string> RunDump(const std::string& keyText) {
    LineFileWriter log(logPath_);
    CollectorContext context;
    context.scriptFolder = folder_;
    context.log = &log;
    QXTRegistry dump(context, "Run", keyText);
    EXPECT_TRUE(dump.Run());
    // A search walks the whole registry, which the cases and suites running beside this
    // one change meanwhile (a loop, a key deeper than the limit): its ERROR lines about
    // keys outside this case's scratch key are theirs.
    std::vector<std::string> own;
    for (const std::string& entry : LogEntries(logPath_))
      if (entry.rfind("ERROR,Registry key ", 0) != 0 || entry.find(scratch_ + "\\") != std::string::npos ||
          entry.find(scratch_ + " ") != std::string::npos)
        own.push_back(entry);
    return own;
  }

  std::string scratch_, folder_, output_, logPath_;
};

TEST_F(RegistryDump, DirectDumpWritesEveryValueAndSubkeyExactly) {
  // Created in name order: the registry's value index need not follow creation order.
  HKEY key = CreateKey(scratch_);
  SetValue(key, "", REG_SZ, "top", 4);
  const BYTE binary[] = {0x01, 0xAB};
  SetValue(key, "bin", REG_BINARY, binary, sizeof binary);
  const DWORD dword = 255;
  SetValue(key, "dw", REG_DWORD, &dword, sizeof dword);
  SetValue(key, "empty", REG_BINARY, nullptr, 0);
  SetValue(key, "estr", REG_SZ, "", 0);
  SetValue(key, "expand", REG_EXPAND_SZ, "%TEMP%\\x", 9);
  SetValue(key, "multi", REG_MULTI_SZ, "a\0b\0", 5);
  SetValue(key, "quote", REG_SZ, "say \"hi\" C:\\dir", 16);
  RegCloseKey(key);
  key = CreateKey(scratch_ + "\\Child1");
  SetValue(key, "v", REG_SZ, "1", 2);
  RegCloseKey(key);
  Key("\\Child1\\Grand");
  Key("\\Child2");

  // The root keeps the letter case of the key text.
  const std::string path = "HKEY_Current_User\\" + scratch_;
  std::vector<std::string> log = RunDump(path);

  const std::string expected = "[" + path + "]\r\n" +
                               "\"\"=\"top\"\r\n"
                               "\"bin\"=hex:01,AB\r\n"
                               "\"dw\"=dword:000000FF\r\n"
                               "\"empty\"=hex:\r\n"
                               "\"estr\"=\"\"\r\n"
                               "\"expand\"=hex(2):25,54,45,4D,50,25,5C,78,00\r\n"
                               "\"multi\"=hex(7):61,00,62,00,00\r\n"
                               "\"quote\"=\"say \"hi\" C:\\dir\"\r\n"
                               "\r\n"
                               "[" + path + "\\Child1]\r\n"
                               "\"v\"=\"1\"\r\n"
                               "\r\n"
                               "[" + path + "\\Child1\\Grand]\r\n"
                               "\r\n"
                               "[" + path + "\\Child2]\r\n"
                               "\r\n";
  EXPECT_EQ(expected, ReadAll(output_));
  EXPECT_EQ(std::vector<std::string>{"INFORMATION,Registry chunk dumped to " + output_}, log);
}

TEST_F(RegistryDump, PathsThatOpenNoKeyDumpNothing) {
  Key("");
  const std::string cases[] = {
      "HKEY_CURRENT_USER",                                    // a root alone
      "HKEY_CURRENT_USER\\" + scratch_ + "\\NoSuchKey",       // a missing key
      "HKEY_CU\\" + scratch_,                                 // an abbreviated root
      "HKEY_NOWHERE\\Software",                               // no root at all
  };
  for (const std::string& keyText : cases) {
    DeleteFileA(logPath_.c_str());
    EXPECT_EQ(std::vector<std::string>{"INFORMATION,No matching keys found"}, RunDump(keyText)) << keyText;
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(output_.c_str())) << keyText;
  }
}

TEST_F(RegistryDump, StopsBeforeTheFirstKeyWhenTerminationWasRequested) {
  Key("\\Child");
  TerminateRequested = 1;
  EXPECT_EQ(std::vector<std::string>{"INFORMATION,No matching keys found"},
            RunDump("HKEY_CURRENT_USER\\" + scratch_));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(output_.c_str()));
}

// The registry's own limit is 512 levels; a deeper key (a link can make one) is an ERROR
// line, and the dump goes on with the keys beside it.
TEST_F(RegistryDump, AKeyDeeperThan512LevelsIsAnErrorAndTheDumpGoesOn) {
  Key("\\z");
  const std::string top = "HKEY_CURRENT_USER\\" + scratch_;
  std::string path = top;
  HKEY key = CreateKey(scratch_);
  for (size_t depth = CountOf(top, "\\"); depth <= 512 && key; ++depth) {
    HKEY sub = nullptr;
    if (RegCreateKeyExA(key, "k", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr) != ERROR_SUCCESS)
      sub = nullptr;
    RegCloseKey(key);
    key = sub;
    path += "\\k";
  }
  if (!key) GTEST_SKIP() << "the registry makes no key as deep as " << CountOf(path, "\\") << " levels";
  RegCloseKey(key);

  const std::vector<std::string> log = RunDump(top);
  EXPECT_EQ(std::vector<std::string>({"ERROR,Registry key " + path + " lies deeper than 512 levels: skipped",
                                      "INFORMATION,Registry chunk dumped to " + output_}),
            log);
  const std::string dump = ReadAll(output_);
  const std::string deepest = path.substr(0, path.size() - 2);
  EXPECT_NE(std::string::npos, dump.find("[" + deepest + "]\r\n"));
  EXPECT_EQ(std::string::npos, dump.find("[" + path + "]"));
  EXPECT_NE(std::string::npos, dump.find("[" + top + "\\z]\r\n"));
}

// One walk of every root finds the name wherever it occurs (case-sensitively), dumps
// each occurrence whole and does not search inside what it dumped.
TEST_F(RegistryDump, SearchByBareNameDumpsEveryOccurrence) {
  const std::string name = "QxtFind" + std::to_string(GetCurrentProcessId());
  Key("\\A\\" + name + "\\Inner\\" + name);
  Key("\\B\\" + name);
  HKEY key = CreateKey(scratch_ + "\\C\\Deep\\" + name);
  const DWORD dword = 1;
  SetValue(key, "x", REG_DWORD, &dword, sizeof dword);
  RegCloseKey(key);
  std::string lower = name;
  for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  Key("\\D\\" + lower);

  std::vector<std::string> log = RunDump(name);
  const std::string text = ReadAll(output_);
  const std::string base = "HKEY_CURRENT_USER\\" + scratch_;
  const std::string blockA = "[" + base + "\\A\\" + name + "]\r\n\r\n[" + base + "\\A\\" + name + "\\Inner]\r\n\r\n[" +
                             base + "\\A\\" + name + "\\Inner\\" + name + "]\r\n\r\n";
  const std::string blockB = "[" + base + "\\B\\" + name + "]\r\n\r\n";
  const std::string blockC = "[" + base + "\\C\\Deep\\" + name + "]\r\n\"x\"=dword:00000001\r\n\r\n";
  EXPECT_EQ(1u, CountOf(text, blockA)) << text;
  EXPECT_EQ(1u, CountOf(text, blockB)) << text;
  EXPECT_EQ(1u, CountOf(text, blockC)) << text;
  EXPECT_EQ(std::string::npos, text.find("\\D\\")) << text;

  // The same keys may be reached through HKEY_USERS as well; each root reports its own.
  std::vector<std::string> found;
  size_t chunkLines = 0;
  for (const std::string& entry : log) {
    if (entry.rfind("DEBUG,Found matching key at " + base, 0) == 0) found.push_back(entry.substr(28));
    if (entry == "INFORMATION,Registry chunk(s) dumped to " + output_) ++chunkLines;
  }
  EXPECT_EQ((std::vector<std::string>{base + "\\A\\" + name, base + "\\B\\" + name, base + "\\C\\Deep\\" + name}),
            found);
  EXPECT_EQ(1u, chunkLines);
  EXPECT_EQ(CountOf(text, "\\" + name + "]\r\n") - CountOf(text, "\\Inner\\" + name + "]\r\n"),
            CountOf(ReadAll(logPath_), ",DEBUG,Found matching key at "));
}

TEST_F(RegistryDump, LowerCaseRootIsSearchedForAsAName) {
  Key("\\X");
  std::vector<std::string> log = RunDump("hkey_current_user\\" + scratch_ + "\\X");
  EXPECT_EQ(std::vector<std::string>{"INFORMATION,No matching keys found"}, log);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(output_.c_str()));
}

TEST(RegistryDataText, FormatsEachTypeAsTheExportFormDoes) {
  struct Case {
    DWORD type;
    std::vector<BYTE> data;
    const char* expected;
  };
  const Case cases[] = {
      {REG_SZ, {'a', 'b', 0}, "\"ab\""},
      {REG_SZ, {'a', 'b'}, "\"ab\""},  // stored without its terminator
      {REG_SZ, {'a', 0, 'b', 0}, "\"a\""},
      {REG_SZ, {}, "\"\""},
      {REG_BINARY, {0x00, 0x0f, 0xff}, "hex:00,0F,FF"},
      {REG_DWORD, {0xef, 0xbe, 0xad, 0xde}, "dword:DEADBEEF"},
      {REG_DWORD, {0x01}, "dword:00000001"},
      {REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}, "hex(11):01,00,00,00,00,00,00,00"},
      {REG_NONE, {}, "hex(0):"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.expected, QXTRegistry::DataText(c.type, c.data.data(), static_cast<DWORD>(c.data.size())))
        << "type " << c.type;
  std::vector<BYTE> wide(3000, 0x5a);
  std::string text = QXTRegistry::DataText(REG_BINARY, wide.data(), static_cast<DWORD>(wide.size()));
  EXPECT_EQ(4 + 3000 * 3 - 1, static_cast<int>(text.size()));
  EXPECT_EQ(std::string::npos, text.find('\n'));
}

TEST(RegistryRootByName, AcceptsTheFiveRootsInAnyCaseOnly) {
  EXPECT_EQ(HKEY_CLASSES_ROOT, RegistryRootByName("hkey_classes_root"));
  EXPECT_EQ(HKEY_CURRENT_CONFIG, RegistryRootByName("HKEY_CURRENT_CONFIG"));
  EXPECT_EQ(HKEY_CURRENT_USER, RegistryRootByName("Hkey_Current_User"));
  EXPECT_EQ(HKEY_LOCAL_MACHINE, RegistryRootByName("HKEY_LOCAL_MACHINE"));
  EXPECT_EQ(HKEY_USERS, RegistryRootByName("HKEY_USERS"));
  EXPECT_EQ(nullptr, RegistryRootByName("HKLM"));
  EXPECT_EQ(nullptr, RegistryRootByName("HKEY_PERFORMANCE_DATA"));
  EXPECT_EQ(nullptr, RegistryRootByName(""));
}

}  // namespace
