// Path references of every kind, one row per case: the path as resolved, the result
// and the activity-log lines. Environment variables, registry values under
// HKCU\Software\Qirex\Test and an INI file are made here and removed afterwards.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "LineFileWriter.h"
#include "PathResolver.h"
#include "TestFiles.h"

namespace {

using namespace testfiles;

// CTest runs the tests of this file in parallel processes: each process keeps its
// scratch key, INI file and log apart by its process id.
const std::string kTestKey = "Software\\Qirex\\Test\\Resolver" + std::to_string(GetCurrentProcessId());
const std::string kKeyRef = "HKEY_CURRENT_USER\\" + kTestKey + "\\";

struct Row {
  std::string path;
  std::string expected;
  bool result;
  std::vector<std::string> log;
};

void CheckRows(PathResolver& resolver, const std::vector<Row>& rows) {
  const std::string logPath = TempPath("qir_resolver.csv");
  for (const Row& row : rows) {
    DeleteFileA(logPath.c_str());
    LineFileWriter log(logPath);
    resolver.SetLog(&log);
    std::string path = row.path;
    bool result = resolver.Resolve(path);
    EXPECT_EQ(row.expected, path) << "resolving " << row.path;
    EXPECT_EQ(row.result, result) << "resolving " << row.path;
    EXPECT_EQ(row.log, LogEntries(logPath)) << "resolving " << row.path;
    resolver.SetLog(nullptr);
  }
  DeleteFileA(logPath.c_str());
}

std::vector<std::string> Resolved(const std::string& path) { return {"INFORMATION,Path resolved to " + path}; }

// Installer components as the fake installer knows them; the code must keep its braces.
int WINAPI FakeLocate(const char* component, char* path, DWORD* size) {
  struct {
    const char* code;
    int state;
    const char* path;
  } static const known[] = {
      {"{11111111-2222-3333-4444-000000000001}", 3, "C:\\Prog\\Comp\\main.dll"},
      {"{11111111-2222-3333-4444-000000000002}", 3, ""},
      {"{11111111-2222-3333-4444-000000000003}", 2, "C:\\Prog\\Absent\\main.dll"},
  };
  for (const auto& entry : known) {
    if (strcmp(component, entry.code) != 0) continue;
    EXPECT_EQ(1024u, *size);
    snprintf(path, *size, "%s", entry.path);
    *size = static_cast<DWORD>(strlen(entry.path));
    return entry.state;
  }
  return -1;
}

class PathResolverTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    SetEnvironmentVariableA("QIRT_ONE", "one");
    SetEnvironmentVariableA("QIRT_TWO", "two");
    SetEnvironmentVariableA("QIRT_SELF", "x%QIRT_SELF%");
    SetEnvironmentVariableA("QIRT_LONG", LongValue().c_str());
    // "%%" hides the inner reference from the outer environment pass, so only the
    // temporary resolver of the INI reference expands it, and meets the INI reference again.
    SetEnvironmentVariableA("QIRT_NEST", "%%|%QIRT_NEST%|");
    SetEnvironmentVariableA("QIRT_REGREF", ("[" + kKeyRef + "Str]").c_str());

    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kTestKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &key, nullptr));
    SetString(key, "", REG_SZ, "deftext");
    SetString(key, "Str", REG_SZ, "regtext");
    SetString(key, "Exp", REG_EXPAND_SZ, "%QIRT_ONE%\\bin");
    SetString(key, "Fits", REG_SZ, std::string(509, 'F'));
    SetString(key, "TooBig", REG_SZ, std::string(510, 'B'));
    DWORD five = 5;
    RegSetValueExA(key, "Dword", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&five), sizeof five);
    RegCloseKey(key);

    std::ofstream ini(IniPath(), std::ios::binary);
    ini << "[Sect]\r\nKey=inivalue\r\nEmpty=\r\nNested=%QIRT_TWO%\\n\r\n";
  }

  static void TearDownTestSuite() {
    for (const char* name : {"QIRT_ONE", "QIRT_TWO", "QIRT_SELF", "QIRT_NEST", "QIRT_LONG", "QIRT_REGREF"})
      SetEnvironmentVariableA(name, nullptr);
    RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey.c_str());
    // Fails while another process still has its key there; the last one removes it.
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Qirex\\Test");
    DeleteFileA(IniPath().c_str());
  }

  static void SetString(HKEY key, const char* name, DWORD type, const std::string& value) {
    RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
  }

  static std::string LongValue() { return "<" + std::string(300, 'L') + ">"; }
  static std::string IniPath() { return TempPath("qir_resolver.ini"); }
};

TEST_F(PathResolverTest, EnvironmentReferences) {
  std::string selfExpanded = std::string(PathResolver::kMaxSweeps, 'x') + "%QIRT_SELF%";
  std::vector<Row> rows = {
      {"C:\\plain\\path", "C:\\plain\\path", true, {}},
      {"50%", "50%", true, {}},
      {"%%QIRT_ONE%", "%%QIRT_ONE%", true, {}},
      {"%QIRT_ONE%\\%QIRT_TWO%", "one\\two", true, Resolved("one\\two")},
      {"%NOSUCHVAR%\\x",
       "#NOSUCHVAR#\\x",
       false,
       {"ERROR,Cannot find environment variable NOSUCHVAR", "ERROR,Unable to resolve path (#NOSUCHVAR#\\x)"}},
      // Only the first percent sign opens a reference: "\" is looked up and fails.
      {"50%\\%QIRT_ONE%",
       "50#\\#QIRT_ONE%",
       false,
       {"ERROR,Cannot find environment variable \\", "ERROR,Unable to resolve path (50#\\#QIRT_ONE%)"}},
      {"%NOSUCHVAR%\\%QIRT_ONE%",
       "#NOSUCHVAR#\\one",
       false,
       {"ERROR,Cannot find environment variable NOSUCHVAR", "ERROR,Unable to resolve path (#NOSUCHVAR#\\one)"}},
      {"%QIRT_LONG%\\x", LongValue() + "\\x", true, Resolved(LongValue() + "\\x")},
      {"%QIRT_REGREF%\\x", "regtext\\x", true, Resolved("regtext\\x")},
      {"%QIRT_SELF%",
       selfExpanded,
       false,
       {"ERROR,Path %QIRT_SELF% still holds references after 128 expansions; a value refers to itself, resolution "
        "stopped",
        "ERROR,Unable to resolve path (" + selfExpanded + ")"}},
  };
  PathResolver resolver;
  CheckRows(resolver, rows);
}

TEST_F(PathResolverTest, IniReferenceThatReproducesItselfEndsWithinTheSweepAllowance) {
  const std::string logPath = TempPath("qir_resolver_nest.csv");
  DeleteFileA(logPath.c_str());
  LineFileWriter log(logPath);
  PathResolver resolver;
  resolver.SetLog(&log);
  std::string path = "%%|%QIRT_NEST%|";
  EXPECT_FALSE(resolver.Resolve(path));
  const std::vector<std::string> lines = LogEntries(logPath);
  DeleteFileA(logPath.c_str());
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(1, std::count(lines.begin(), lines.end(),
                          "ERROR,Path %QIRT_NEST% still holds references after 128 expansions; a value refers to itself, "
                          "resolution stopped"));
  EXPECT_EQ("ERROR,Unable to resolve path (" + path + ")", lines.back());
  EXPECT_EQ("%%#", path.substr(0, 3)) << path;

  // The allowance belongs to one resolution: the next path starts afresh.
  resolver.SetLog(nullptr);
  std::string next = "%QIRT_ONE%";
  EXPECT_TRUE(resolver.Resolve(next));
  EXPECT_EQ("one", next);
}

TEST_F(PathResolverTest, CollectorVariables) {
  char windows[MAX_PATH];
  ASSERT_NE(0u, GetWindowsDirectoryA(windows, MAX_PATH));
  const std::string drive = std::string(windows).substr(0, std::string(windows).find('\\'));

  char programFiles[512] = {};
  DWORD size = sizeof programFiles - 1;
  ASSERT_EQ(ERROR_SUCCESS, RegGetValueA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion",
                                        "ProgramFilesDir", RRF_RT_REG_SZ | RRF_NOEXPAND, nullptr, programFiles, &size));

  std::vector<Row> rows = {
      {"$TOOLDIR$\\$ACTNAME$.txt", "C:\\tool\\Act.txt", true, Resolved("C:\\tool\\Act.txt")},
      {"$datadir$\\x", "C:\\data\\x", true, Resolved("C:\\data\\x")},
      {"$sysvol$\\x", drive + "\\x", true, Resolved(drive + "\\x")},
      {"$SYSVOL$", drive, true, Resolved(drive)},
      {"$PFILES$\\Dir", std::string(programFiles) + "\\Dir", true, Resolved(std::string(programFiles) + "\\Dir")},
      {"$BOGUS$\\x",
       "#BOGUS#\\x",
       false,
       {"ERROR,Error resolving variable BOGUS", "ERROR,Unable to resolve path (#BOGUS#\\x)"}},
      {"$$ACTNAME$", "$$ACTNAME$", true, {}},
  };
  PathResolver resolver;
  resolver.SetActName("Act");
  resolver.SetToolDir("C:\\tool");
  resolver.SetDataDir("C:\\data");
  CheckRows(resolver, rows);

  PathResolver unset;
  CheckRows(unset, {{"$ACTNAME$$TOOLDIR$x", "x", true, Resolved("x")}});
}

TEST_F(PathResolverTest, RegistryValues) {
  const std::string ref = "[" + kKeyRef;
  auto failed = [](const std::string& content, const std::string& rest = "") {
    return Row{"[" + content + "]" + rest,
               "#" + content + "#" + rest,
               false,
               {"ERROR,Cannot read registry value " + content, "ERROR,Unable to resolve path (#" + content + "#" + rest +
                                                                   ")"}};
  };
  std::vector<Row> rows = {
      {ref + "Str]\\x", "regtext\\x", true, Resolved("regtext\\x")},
      {"[hkey_current_user\\" + kTestKey + "\\Str]", "regtext", true, Resolved("regtext")},
      {ref + "]", "deftext", true, Resolved("deftext")},
      // Not expanded by the registry pass: the environment pass of the next sweep does it.
      {ref + "Exp]", "one\\bin", true, Resolved("one\\bin")},
      {ref + "Fits]", std::string(509, 'F'), true, Resolved(std::string(509, 'F'))},
      failed(kKeyRef + "TooBig"),
      failed(kKeyRef + "Dword", "\\x"),
      failed(kKeyRef + "Missing"),
      failed("HKCU\\" + kTestKey + "\\Str"),
      failed("HKEY_CURRENT_USER\\Software\\Qirex\\NoSuchKey\\Str"),
      failed("HKEY_CURRENT_USER\\Str"),
      failed("HKEY_CURRENT_USER"),
      {"[]", "[]", true, {}},
  };
  PathResolver resolver;
  CheckRows(resolver, rows);
}

TEST_F(PathResolverTest, IniValues) {
  const std::string ini = IniPath();
  ASSERT_EQ(':', ini[1]) << "the INI file needs a drive path";
  std::vector<Row> rows = {
      {"|" + ini + ":Sect:Key|\\x", "inivalue\\x", true, Resolved("inivalue\\x")},
      {"|" + ini + ":Sect:Nested|", "two\\n", true, Resolved("two\\n")},
      // The outer variable pass takes the first reference; the one inside the bars is
      // resolved by the temporary resolver, whose variables are empty.
      {"$ACTNAME$|" + ini + ":Sect:Key$ACTNAME$|",
       "Actinivalue",
       true,
       {"INFORMATION,Path resolved to " + ini + ":Sect:Key", "INFORMATION,Path resolved to Actinivalue"}},
      {"%QIRT_ONE%|%NOSUCHVAR%:S:K|",
       "one##NOSUCHVAR#:S:K#",
       false,
       {"ERROR,Cannot find environment variable NOSUCHVAR", "ERROR,Unable to resolve path (#NOSUCHVAR#:S:K)",
        "ERROR,Cannot read INI value #NOSUCHVAR#:S:K", "ERROR,Unable to resolve path (one##NOSUCHVAR#:S:K#)"}},
  };
  // Missing key, empty value, missing section, missing file, too few colons.
  for (const std::string& text :
       {ini + ":Sect:Missing", ini + ":Sect:Empty", ini + ":NoSect:Key", ini + "x:Sect:Key", std::string("a.ini:Key")})
    rows.push_back({"|" + text + "|",
                    "#" + text + "#",
                    false,
                    {"ERROR,Cannot read INI value " + text, "ERROR,Unable to resolve path (#" + text + "#)"}});
  PathResolver resolver;
  resolver.SetActName("Act");
  CheckRows(resolver, rows);
}

TEST_F(PathResolverTest, InstallerComponents) {
  const std::vector<Row> rows = {
      {"{11111111-2222-3333-4444-000000000001}\\x", "C:\\Prog\\Comp\\x", true, Resolved("C:\\Prog\\Comp\\x")},
      {"{11111111-2222-3333-4444-000000000002}",
       "#11111111-2222-3333-4444-000000000002#",
       false,
       {"ERROR,Missing component path", "ERROR,Unable to resolve path (#11111111-2222-3333-4444-000000000002#)"}},
      {"{11111111-2222-3333-4444-000000000003}",
       "#11111111-2222-3333-4444-000000000003#",
       false,
       {"ERROR,Cannot find component 11111111-2222-3333-4444-000000000003",
        "ERROR,Unable to resolve path (#11111111-2222-3333-4444-000000000003#)"}},
      {"{}", "{}", true, {}},
  };
  PathResolver resolver;
  ASSERT_TRUE(resolver.InstallerAvailable());
  resolver.SetComponentLocator(FakeLocate);
  CheckRows(resolver, rows);

  // The installer library itself knows no such component.
  PathResolver real;
  CheckRows(real, {{"{22222222-2222-3333-4444-000000000009}\\x",
                    "#22222222-2222-3333-4444-000000000009#\\x",
                    false,
                    {"ERROR,Cannot find component 22222222-2222-3333-4444-000000000009",
                     "ERROR,Unable to resolve path (#22222222-2222-3333-4444-000000000009#\\x)"}}});

  // Availability is decided at creation from the system folder under WINDIR.
  char windir[MAX_PATH] = {};
  GetEnvironmentVariableA("WINDIR", windir, MAX_PATH);
  SetEnvironmentVariableA("WINDIR", "C:\\NoWindowsHere\\");
  PathResolver without;
  SetEnvironmentVariableA("WINDIR", windir);
  EXPECT_FALSE(without.InstallerAvailable());
  without.SetComponentLocator(FakeLocate);
  CheckRows(without, {{"{11111111-2222-3333-4444-000000000001}",
                       "#11111111-2222-3333-4444-000000000001#",
                       false,
                       {"ERROR,Cannot find Microsoft Intaller",
                        "ERROR,Unable to resolve path (#11111111-2222-3333-4444-000000000001#)"}}});
}

}  // namespace
