// Tests of our KORBEL.dll through its exports, in the Wine registry: records stored
// and read back whole, options files, single options, task keys, enumeration,
// policy, resume points, and the shell and help services.
#include <iterator>
#include <vector>

#include "Polvane.h"
#include "QmTestSupport.h"
#include "ScratchRegistry.h"

namespace {

class KorbelTest : public ScratchRegistry {};

// Gives every kind of field a value other than its default.
void FillRecord(ScanOptions& o) {
  lstrcpyW(o.szDisplayName, L"Nightly \\ scan = \u00e9t\u00e9\r\nsecond line");
  o.nRunMode = 3;
  o.nStartMarks[0] = 1;
  o.bAdvanced1 = TRUE;
  AddItem(o, L"C:\\DATA\\");
  AddItem(o, L"\\\\SERVER\\SHARE\\\u00c5RSBOK");
  o.bAllFiles = TRUE;
  o.bDefaultTypes = FALSE;
  lstrcpyW(o.szSpecifiedTypes, L"EXE  DLL COM");
  lstrcpyW(o.szAdditionalTypes, L"JS");
  o.bWhat3 = TRUE;
  o.nUtilisation = 40;
  o.nPrimaryAction = 4;
  lstrcpyW(o.szPrimaryMoveFolder, L"D:\\Quarantine");
  o.nSecondaryAction = 5;
  o.dwPromptResponses = 0x1d;
  o.wStatus = KORBEL_STATUS_RUNNING;
  o.schedule.enabled = 1;
  o.schedule.frequency = 2;
  o.schedule.daysOfWeek = 0x22;
  o.schedule.start.wYear = 2026;
  o.schedule.start.wHour = 23;
  lstrcpyW(o.szLogPath, L"%TEMP%\\scan.log");
  o.dwLogSizeLimit = 4096;
  o.bReport4 = TRUE;
  // The second exclusion as another version wrote it: a path without a flag field.
  o.hExclusions = ExclusionsCreateFromData(L"1|C:\\TEMP\\\0*.TMP\0");
}

// The exclusions object in its stored form.
std::wstring Exclusions(const ScanOptions& o) {
  std::wstring data(ExclusionsGetData(o.hExclusions, nullptr, 0), L'\0');
  ExclusionsGetData(o.hExclusions, data.data(), static_cast<DWORD>(data.size()));
  return data;
}

void ExpectSameRecord(const ScanOptions& a, const ScanOptions& b) {
  EXPECT_STREQ(a.szDisplayName, b.szDisplayName);
  EXPECT_EQ(a.nRunMode, b.nRunMode);
  EXPECT_EQ(a.nStartMarks[0], b.nStartMarks[0]);
  EXPECT_EQ(a.bAdvanced1, b.bAdvanced1);
  ASSERT_EQ(ItemCount(a), ItemCount(b));
  for (int i = 0; i < ItemCount(a); ++i) EXPECT_EQ(ItemAt(a, i), ItemAt(b, i)) << i;
  EXPECT_EQ(a.bAllFiles, b.bAllFiles);
  EXPECT_EQ(a.bDefaultTypes, b.bDefaultTypes);
  EXPECT_STREQ(a.szSpecifiedTypes, b.szSpecifiedTypes);
  EXPECT_STREQ(a.szAdditionalTypes, b.szAdditionalTypes);
  EXPECT_EQ(a.bWhat3, b.bWhat3);
  EXPECT_EQ(a.nUtilisation, b.nUtilisation);
  EXPECT_EQ(a.nPrimaryAction, b.nPrimaryAction);
  EXPECT_STREQ(a.szPrimaryMoveFolder, b.szPrimaryMoveFolder);
  EXPECT_EQ(a.nSecondaryAction, b.nSecondaryAction);
  EXPECT_EQ(a.dwPromptResponses, b.dwPromptResponses);
  EXPECT_EQ(a.wStatus, b.wStatus);
  EXPECT_EQ(0, memcmp(&a.schedule, &b.schedule, sizeof a.schedule));
  EXPECT_STREQ(a.szLogPath, b.szLogPath);
  EXPECT_EQ(a.dwLogSizeLimit, b.dwLogSizeLimit);
  EXPECT_EQ(a.bReport4, b.bReport4);
  EXPECT_EQ(Exclusions(a), Exclusions(b));
}

TEST_F(KorbelTest, InitSeedsTheDefaultTaskWhichLoadsEditable) {
  EXPECT_TRUE(KeyExists(L"DefaultTask"));
  Record record;
  BOOL editable = 0xdead;
  ASSERT_TRUE(LoadScanOptions(nullptr, nullptr, nullptr, 0, record.options, &editable));
  EXPECT_EQ(TRUE, editable);
  EXPECT_EQ(0, ItemCount(*record.options));
  EXPECT_EQ(90, record->nUtilisation);
  EXPECT_EQ(2, record->nPrimaryAction);
  EXPECT_EQ(0x18u, record->dwPromptResponses);
  EXPECT_EQ(TRUE, record->bReportConst5);

  // A second init keeps what the default task holds.
  SetDword(L"DefaultTask", L"Option120", 30);
  ASSERT_TRUE(Korbel_init());
  ASSERT_TRUE(LoadScanOptions(nullptr, nullptr, nullptr, 0, record.options, &editable));
  EXPECT_EQ(30, record->nUtilisation);
}

TEST_F(KorbelTest, NamedTaskRoundTripReportsChangesOnlyWhenValuesDiffer) {
  Record saved;
  FillRecord(*saved.options);
  BOOL changed = FALSE;
  ASSERT_TRUE(SaveScanOptions(nullptr, L"Alpha", nullptr, FALSE, saved.options, &changed));
  EXPECT_TRUE(changed);

  Record loaded;
  BOOL editable = FALSE;
  ASSERT_TRUE(LoadScanOptions(nullptr, L"Alpha", nullptr, 0, loaded.options, &editable));
  EXPECT_TRUE(editable);
  ExpectSameRecord(*saved.options, *loaded.options);
  EXPECT_EQ(std::wstring(L"1|C:\\TEMP\\\0" L"0|*.TMP\0\0", 20), Exclusions(*loaded.options));

  changed = 0xdead;
  ASSERT_TRUE(SaveScanOptions(nullptr, L"Alpha", nullptr, FALSE, loaded.options, &changed));
  EXPECT_EQ(FALSE, changed);
  loaded->bWhere2 = TRUE;
  ASSERT_TRUE(SaveScanOptions(nullptr, L"Alpha", nullptr, FALSE, loaded.options, &changed));
  EXPECT_EQ(TRUE, changed);

  // The local computer's own name addresses the local registry.
  wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  ASSERT_TRUE(GetComputerNameW(computer, &size));
  CharLowerW(computer);
  Record again;
  ASSERT_TRUE(LoadScanOptions(computer, L"Alpha", nullptr, 0, again.options, &editable));
  EXPECT_EQ(TRUE, again->bWhere2);
}

TEST_F(KorbelTest, FailedLoadLeavesTheRecordAndLoadReplacesTheItemsAndExclusions) {
  Record record;
  ASSERT_TRUE(LoadScanOptions(nullptr, nullptr, nullptr, 0, record.options, nullptr));
  // An array that owns its items, as a caller may hand in: KORBEL frees each item once.
  record->hScanItems = QmUtil().UTIL_ARRAY_Create(kQmArrayOwnsItems, 0);
  AddItem(*record.options, L"C:\\");
  AddItem(*record.options, L"D:\\");
  HUTILARRAY before = record->hScanItems;
  record->hExclusions->Release();
  record->hExclusions = ExclusionsCreateFromData(L"1|C:\\TEMP\0");
  HEXCLUSIONS exclusionsBefore = record->hExclusions;
  lstrcpyW(record->szDisplayName, L"kept");

  BOOL editable = 0x5a5a;
  EXPECT_FALSE(LoadScanOptions(nullptr, L"NoSuchTask", nullptr, 0, record.options, &editable));
  EXPECT_EQ(0x5a5a, editable);
  EXPECT_STREQ(L"kept", record->szDisplayName);
  EXPECT_EQ(before, record->hScanItems);
  EXPECT_EQ(2, ItemCount(*record.options));
  EXPECT_EQ(exclusionsBefore, record->hExclusions);

  ASSERT_TRUE(LoadScanOptions(nullptr, nullptr, nullptr, 0, record.options, nullptr));
  EXPECT_EQ(0, ItemCount(*record.options)) << "the default task has no items";
  ASSERT_NE(nullptr, record->hExclusions) << "nor exclusions, but an object to hold them";
  EXPECT_EQ(0, record->hExclusions->Count());
  EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));
  FreeScanOptionsResources(record.options);
  EXPECT_EQ(nullptr, record->hScanItems);
  EXPECT_EQ(nullptr, record->hExclusions);
  FreeScanOptionsResources(record.options);
}

TEST_F(KorbelTest, TemporaryTasksAreStoredApartAndNeverEnumerated) {
  Record record;
  ASSERT_TRUE(LoadScanOptions(nullptr, nullptr, nullptr, 0, record.options, nullptr));
  lstrcpyW(record->szDisplayName, L"Named one");
  ASSERT_TRUE(SaveScanOptions(nullptr, L"Named", nullptr, FALSE, record.options, nullptr));
  lstrcpyW(record->szDisplayName, L"Temporary one");
  ASSERT_TRUE(SaveScanOptions(nullptr, L"12345", nullptr, TRUE, record.options, nullptr));
  EXPECT_TRUE(KeyExists(L"TempTasks\\12345"));
  EXPECT_FALSE(KeyExists(L"Tasks\\12345"));

  struct Seen {
    std::vector<std::wstring> names, displayNames;
    int stopAfter;
  } seen{{}, {}, 100};
  auto collect = [](LPCWSTR name, HKEY key, LPARAM context) -> BOOL {
    auto* s = reinterpret_cast<Seen*>(context);
    wchar_t display[64] = {};
    REG_GetOpt(key, KORBEL_OPT_DISPLAY_NAME, display, sizeof display);
    s->names.push_back(name);
    s->displayNames.push_back(display);
    return static_cast<int>(s->names.size()) < s->stopAfter;
  };
  HKORBELENUM tasks = nullptr;
  ASSERT_TRUE(REG_Open(&tasks, KORBEL_ENUM_TASKS, KORBEL_ROOT_LOCAL_MACHINE));
  ASSERT_TRUE(REG_EnumTasks(tasks, collect, reinterpret_cast<LPARAM>(&seen)));
  ASSERT_TRUE(REG_Close(tasks));
  ASSERT_EQ(1u, seen.names.size());
  EXPECT_EQ(L"Named", seen.names[0]);
  EXPECT_EQ(L"Named one", seen.displayNames[0]);

  ASSERT_TRUE(SaveScanOptions(nullptr, L"Other", nullptr, FALSE, record.options, nullptr));
  seen = {{}, {}, 1};
  ASSERT_TRUE(REG_Open(&tasks, KORBEL_ENUM_TASKS, KORBEL_ROOT_LOCAL_MACHINE));
  EXPECT_TRUE(REG_EnumTasks(tasks, collect, reinterpret_cast<LPARAM>(&seen)));
  REG_Close(tasks);
  EXPECT_EQ(1u, seen.names.size()) << "the callback's FALSE stops the enumeration";

  EXPECT_FALSE(REG_Open(&tasks, 7, KORBEL_ROOT_LOCAL_MACHINE));
}

TEST_F(KorbelTest, OptionsFileRoundTripAndRefusals) {
  std::wstring path = TempFilePath(L"korbel-options-");
  Record saved;
  FillRecord(*saved.options);
  BOOL changed = FALSE;
  ASSERT_TRUE(SaveScanOptions(nullptr, nullptr, path.c_str(), FALSE, saved.options, &changed));
  EXPECT_TRUE(changed);

  Record loaded;
  BOOL editable = FALSE;
  ASSERT_TRUE(LoadScanOptions(nullptr, nullptr, path.c_str(), 0, loaded.options, &editable));
  EXPECT_TRUE(editable);
  ExpectSameRecord(*saved.options, *loaded.options);

  // Text files that are not options files, or are damaged, load nothing.
  const char* broken[] = {
      "",
      "12=d:5\r\n",
      "[Vardex Scan Task]\r\n120=d:abc\r\n",
      "[Vardex Scan Task]\r\n120=x:5\r\n",
      "[Vardex Scan Task]\r\n21=s:bad escape \\q\r\n",
      "[Vardex Scan Task]\r\n126=b:0g\r\n",
      "[Vardex Scan Task]\r\n120=d:99999999999\r\n",
  };
  for (const char* text : broken) {
    WriteTextFile(path, text);
    lstrcpyW(loaded->szDisplayName, L"unchanged");
    EXPECT_FALSE(LoadScanOptions(nullptr, nullptr, path.c_str(), 0, loaded.options, &editable)) << text;
    EXPECT_STREQ(L"unchanged", loaded->szDisplayName) << text;
  }
  // Options missing from a file take their defaults; a byte-order mark, as editors
  // write it, is no part of the header. A second one is.
  WriteTextFile(path, "\xEF\xBB\xBF[Vardex Scan Task]\n120=d:70\n");
  ASSERT_TRUE(LoadScanOptions(nullptr, nullptr, path.c_str(), 0, loaded.options, &editable));
  EXPECT_EQ(70, loaded->nUtilisation);
  EXPECT_EQ(2, loaded->nPrimaryAction);
  WriteTextFile(path, "\xEF\xBB\xBF\xEF\xBB\xBF[Vardex Scan Task]\n120=d:70\n");
  EXPECT_FALSE(LoadScanOptions(nullptr, nullptr, path.c_str(), 0, loaded.options, &editable));
  DeleteFileW(path.c_str());
  EXPECT_FALSE(LoadScanOptions(nullptr, nullptr, path.c_str(), 0, loaded.options, &editable));
}

TEST_F(KorbelTest, SingleOptionsByWidth) {
  KORBEL_ROOT root = 0;
  HKEY write = nullptr;
  ASSERT_TRUE(REG_TaskOpenEntry(nullptr, L"", 1, &root, &write));
  EXPECT_EQ(KORBEL_ROOT_LOCAL_MACHINE, root);

  DWORD status = 0x4000 | KORBEL_STATUS_RUNNING;
  ASSERT_TRUE(REG_SetOpt(write, KORBEL_OPT_STATUS, &status, sizeof status));
  WORD word = 0;
  ASSERT_TRUE(REG_GetOpt(write, KORBEL_OPT_STATUS, &word, sizeof word));
  EXPECT_EQ(0x5000, word);
  WORD poll = 0x2000;
  ASSERT_TRUE(REG_SetOpt(write, KORBEL_OPT_STATUS, &poll, sizeof poll));
  DWORD wide = 0;
  ASSERT_TRUE(REG_GetOpt(write, KORBEL_OPT_STATUS, &wide, sizeof wide));
  EXPECT_EQ(0x2000u, wide);
  BYTE odd[3] = {1, 2, 3};
  EXPECT_FALSE(REG_GetOpt(write, KORBEL_OPT_STATUS, odd, sizeof odd));

  const wchar_t name[] = L"Twelve chars";
  ASSERT_TRUE(REG_SetOpt(write, KORBEL_OPT_DISPLAY_NAME, name, sizeof name));
  EXPECT_EQ(L"Twelve chars", OptionText(L"DefaultTask", KORBEL_OPT_DISPLAY_NAME));
  wchar_t small[12];
  wmemset(small, L'#', 12);
  EXPECT_FALSE(REG_GetOpt(write, KORBEL_OPT_DISPLAY_NAME, small, sizeof small)) << "no room for the terminator";
  EXPECT_EQ(L'#', small[0]);
  wchar_t fits[13] = {};
  EXPECT_TRUE(REG_GetOpt(write, KORBEL_OPT_DISPLAY_NAME, fits, sizeof fits));
  EXPECT_STREQ(name, fits);

  BYTE alert[2050] = {'x'};
  ASSERT_TRUE(REG_SetOpt(write, KORBEL_OPT_ALERT_TEXT, alert, sizeof alert));
  DWORD missing = 0xdeadbeef;
  EXPECT_FALSE(REG_GetOpt(write, 999, &missing, sizeof missing));
  EXPECT_EQ(0xdeadbeefu, missing);
  EXPECT_TRUE(REG_FlushKey(write));
  EXPECT_TRUE(REG_CloseKey(write));
}

TEST_F(KorbelTest, TaskEntriesInStandaloneAndMidModes) {
  EXPECT_EQ(KORBEL_ROOT_LOCAL_MACHINE, HKEY_Make(HKEY_LOCAL_MACHINE, KORBEL_REGISTRY_WIN32));
  EXPECT_EQ(KORBEL_ROOT_NONE, HKEY_Make(HKEY_LOCAL_MACHINE, 1));
  EXPECT_EQ(KORBEL_ROOT_NONE, HKEY_Make(reinterpret_cast<HKEY>(0x1234), KORBEL_REGISTRY_WIN32));
  HKEY none = reinterpret_cast<HKEY>(0x5a5a);
  EXPECT_NE(ERROR_SUCCESS, REG_OpenKeyEx(KORBEL_ROOT_NONE, L"SOFTWARE", nullptr, KEY_READ, &none));
  EXPECT_EQ(nullptr, none);

  KORBEL_ROOT root = 0;
  HKEY key = nullptr;
  EXPECT_FALSE(REG_TaskOpenEntry(nullptr, L"Ghost", 0, &root, &key));
  EXPECT_FALSE(REG_TaskOpenEntry(nullptr, L"Ghost", 1, &root, &key));
  EXPECT_EQ(nullptr, key);
  EXPECT_FALSE(KeyExists(L"Tasks\\Ghost"));

  SetMode(kModeMidW);
  EXPECT_FALSE(REG_TaskOpenEntry(nullptr, L"Ghost", 0, &root, &key));
  ASSERT_TRUE(REG_TaskOpenEntry(nullptr, L"Ghost", 1, &root, &key)) << "a MID task comes into being on write";
  REG_CloseKey(key);
  EXPECT_TRUE(KeyExists(L"Tasks\\Ghost"));

  ASSERT_TRUE(MID_WriteFlag(L"bKestrune32"));
  HKEY product = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, REG_OpenKeyEx(HKEY_Make(HKEY_LOCAL_MACHINE, KORBEL_REGISTRY_WIN32),
                                         (ProductPath() + L"\\MID").c_str(), nullptr, KEY_READ, &product));
  DWORD flag = 0, size = sizeof flag;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(product, L"bKestrune32", nullptr, nullptr,
                                            reinterpret_cast<BYTE*>(&flag), &size));
  EXPECT_EQ(1u, flag);
  REG_CloseKey(product);
}

// A task name is one key below Tasks: a backslash would reach into another task's
// keys (its resume points, say), so such names open and store nothing.
TEST_F(KorbelTest, TaskNamesThatAreNotOneKeyAreRefused) {
  Record record;
  ASSERT_TRUE(LoadScanOptions(nullptr, nullptr, nullptr, 0, record.options, nullptr));
  ASSERT_TRUE(SaveScanOptions(nullptr, L"Real", nullptr, FALSE, record.options, nullptr));
  const std::wstring refused[] = {L"Real\\ResumePoints", L"..\\DefaultTask", std::wstring(256, L'n')};
  for (const std::wstring& name : refused) {
    KORBEL_ROOT root = 0;
    HKEY key = nullptr;
    EXPECT_FALSE(SaveScanOptions(nullptr, name.c_str(), nullptr, FALSE, record.options, nullptr)) << name.size();
    EXPECT_FALSE(LoadScanOptions(nullptr, name.c_str(), nullptr, 0, record.options, nullptr)) << name.size();
    SetMode(kModeMidRW);
    EXPECT_FALSE(REG_TaskOpenEntry(nullptr, name.c_str(), 1, &root, &key)) << name.size();
    SetMode(kModeStandalone);
    EXPECT_FALSE(SetLastScanFileAt(nullptr, name.c_str(), L"", 0)) << name.size();
  }
  EXPECT_FALSE(KeyExists(L"Tasks\\Real\\ResumePoints"));
  EXPECT_FALSE(KeyExists(L"Tasks\\.."));
  const std::wstring longest(255, L'n');
  EXPECT_TRUE(SaveScanOptions(nullptr, longest.c_str(), nullptr, FALSE, record.options, nullptr));
}

TEST_F(KorbelTest, TaskOpen2CreatesFromTheDefaultTaskOnce) {
  SetDword(L"DefaultTask", L"Option120", 60);
  KORBEL_ROOT root = 0;
  HKEY defaultWrite = nullptr, options = nullptr;
  ASSERT_TRUE(REG_TaskOpenEntry(nullptr, nullptr, 1, &root, &defaultWrite));
  ASSERT_EQ(ERROR_SUCCESS, REG_OpenKeyEx(KORBEL_ROOT_LOCAL_MACHINE, ProductPath(L"DefaultTask").c_str(), nullptr,
                                         KEY_READ, &options));

  HKEY created = REG_TaskOpen2(defaultWrite, options, L"{NEW}", KEY_READ | KEY_WRITE);
  ASSERT_NE(nullptr, created);
  EXPECT_EQ(60u, OptionNumber(L"Tasks\\{NEW}", 120));
  REG_CloseKey(created);
  EXPECT_EQ(nullptr, REG_TaskOpen2(defaultWrite, options, L"{NEW}", KEY_READ | KEY_WRITE)) << "exists already";
  EXPECT_EQ(nullptr, REG_TaskOpen2(options, options, L"{OTHER}", KEY_READ)) << "not a task entry of ours";
  EXPECT_EQ(nullptr, REG_TaskOpen2(defaultWrite, options, L"a\\b", KEY_READ));
  REG_CloseKey(options);
  REG_CloseKey(defaultWrite);
}

TEST_F(KorbelTest, PolicyResumePointsAndComponents) {
  HKEY product = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            REG_OpenKeyEx(KORBEL_ROOT_LOCAL_MACHINE, ProductPath().c_str(), nullptr, KEY_READ, &product));
  EXPECT_FALSE(UIP(KORBEL_POLICY_SCAN_TASKS, 9, product));
  SetDword(L"Policy\\4", L"9", 1);
  SetDword(L"Policy\\4", L"10", 0);
  SetDword(L"Policy\\3", L"11", 1);
  EXPECT_TRUE(UIP(KORBEL_POLICY_SCAN_TASKS, 9, product));
  EXPECT_FALSE(UIP(KORBEL_POLICY_SCAN_TASKS, 10, product));
  EXPECT_FALSE(UIP(KORBEL_POLICY_SCAN_TASKS, 11, product)) << "another area's lock";
  EXPECT_FALSE(UIP(KORBEL_POLICY_SCAN_TASKS, 9, nullptr));
  REG_CloseKey(product);

  EXPECT_FALSE(SetLastScanFileAt(nullptr, L"Missing", L"", 0));
  Record record;
  ASSERT_TRUE(LoadScanOptions(nullptr, nullptr, nullptr, 0, record.options, nullptr));
  ASSERT_TRUE(SaveScanOptions(nullptr, L"Beta", nullptr, FALSE, record.options, nullptr));
  ASSERT_TRUE(SetLastScanFileAt(nullptr, L"Beta", L"C:\\half\\way.dat", 1));
  ASSERT_TRUE(SetLastScanFileAt(nullptr, L"Beta", L"", 1));
  wchar_t text[64] = L"<unset>";
  DWORD size = sizeof text;
  EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, MachinePath(ProductPath(L"Tasks\\Beta\\ResumePoints")).c_str(),
                                        L"1", RRF_RT_REG_SZ, nullptr, text, &size));
  EXPECT_STREQ(L"", text);

  wchar_t path[KORBEL_PATH_CHARS] = {};
  ASSERT_TRUE(GetComponentPath(KORBEL_COMPONENT_SCANNER, path, KORBEL_PATH_CHARS));
  std::wstring fallback = path;
  EXPECT_EQ(L"\\OnDemandScanner.exe", fallback.substr(fallback.size() - 20));
  const wchar_t registered[] = L"E:\\Product\\Scan.exe";
  ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CURRENT_USER, MachinePath(ProductPath(L"Components")).c_str(),
                                           KORBEL_COMPONENT_REMOTE_LAUNCHER, REG_SZ, registered, sizeof registered));
  ASSERT_TRUE(GetComponentPath(KORBEL_COMPONENT_REMOTE_LAUNCHER, path, KORBEL_PATH_CHARS));
  EXPECT_STREQ(registered, path);
  EXPECT_FALSE(GetComponentPath(KORBEL_COMPONENT_REMOTE_LAUNCHER, path, 5));
  EXPECT_FALSE(GetComponentPath(L"Unknown", path, KORBEL_PATH_CHARS));
}

TEST(KorbelServices, PathKindsAndTargetFolders) {
  qmtest::ScratchFolder folder;
  std::wstring file = folder.Sub(L"a.exe");
  HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  CloseHandle(h);
  struct Case {
    std::wstring path;
    int kind;
  } cases[] = {
      {file, KORBEL_FS_FILE},          {folder.path(), KORBEL_FS_FOLDER},
      {folder.Sub(L"none"), KORBEL_FS_NONE}, {L"C:", KORBEL_FS_DRIVE},
      {L"c:\\", KORBEL_FS_DRIVE},      {L"\\\\server\\share\\x", KORBEL_FS_NETWORK},
      {L"All local drives", KORBEL_FS_NONE}, {L"", KORBEL_FS_NONE},
  };
  for (const Case& c : cases) EXPECT_EQ(c.kind, GetFSType(c.path.c_str(), nullptr)) << qmtest::Narrow(c.path);
  EXPECT_EQ(KORBEL_FS_NONE, GetFSType(nullptr, nullptr));

  EXPECT_TRUE(Sh_VerifyMoveTo(folder.Sub(L"new").c_str()));
  EXPECT_FALSE(Sh_VerifyMoveTo(file.c_str())) << "a file is no folder";
  EXPECT_FALSE(Sh_VerifyMoveTo(L"relative\\folder"));
  EXPECT_FALSE(Sh_VerifyMoveTo(L"C:\\q*"));
  EXPECT_TRUE(Sh_CheckTargetDir(TRUE, folder.Sub(L"new").c_str())) << "its parent exists";
  EXPECT_FALSE(Sh_CheckTargetDir(TRUE, folder.Sub(L"no\\deeper").c_str()));
  EXPECT_FALSE(Sh_CheckTargetDir(TRUE, file.c_str()));
  EXPECT_TRUE(Sh_CheckTargetDir(FALSE, L"X:\\on\\the\\server"));

  std::wstring bin = GetRecycleBinName();
  EXPECT_EQ(L":\\$Recycle.Bin", bin.substr(1)) << qmtest::Narrow(bin);
}

TEST(KorbelServices, HelpRequestsAreRecordedInsteadOfOpened) {
  qmtest::ScratchFolder folder;
  std::wstring log = folder.Sub(L"help.log");
  qmtest::EnvironmentSetting recording(L"KORBEL_HELP_LOG", log.c_str());
  EXPECT_TRUE(InitializeHtmlHelpPath(L"::/context.txt")) << "the help page of the build exists";
  std::wstring path = GetHtmlHelpPath();
  EXPECT_EQ(L"\\Kestrune32Help.htm", path.substr(path.rfind(L'\\')));
  const DWORD table[] = {1, 7001, 1102, 7101, 0, 0};
  EXPECT_TRUE(PageLevelHtmlHelp(nullptr, 1, table));
  EXPECT_TRUE(LaunchWebHelp(3));
  EXPECT_FALSE(LaunchWebHelp(4));
  std::string text;
  HANDLE h = CreateFileW(log.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  char buffer[512] = {};
  DWORD read = 0;
  ReadFile(h, buffer, sizeof buffer - 1, &read, nullptr);
  CloseHandle(h);
  EXPECT_STREQ("page 1 7001\r\nweb https://www.quillmont.example/vardex/support\r\n", buffer);
}

}  // namespace
