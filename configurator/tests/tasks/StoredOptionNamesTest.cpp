// The names, types and widths under which a scan task's fields are stored. Tasks
// already stored in registries and options files rely on them, so they are written out
// here and read back by name, never through the storage's own table.
#include <string>
#include <vector>

#include "Polvane.h"
#include "ScratchRegistry.h"

namespace {

class StoredOptionNamesTest : public ScratchRegistry {};

// Every field gets a value of its own, so two fields whose numbers were swapped show.
void FillDistinct(ScanOptions& o) {
  lstrcpyW(o.szDisplayName, L"name 21");
  o.nRunMode = 1100;
  o.nStartMarks[0] = 1101;
  o.nStartMarks[1] = 1102;
  o.bAdvanced1 = 1103;
  AddItem(o, L"C:\\ONE\\");
  AddItem(o, L"D:\\TWO\\");
  o.bAllFiles = 1105;
  o.bDefaultTypes = 1106;
  o.bAdditionalTypesOn = 1107;
  o.bWhere1 = 1108;
  o.bWhere2 = 1109;
  lstrcpyW(o.szSpecifiedTypes, L"types 110");
  lstrcpyW(o.szAdditionalTypes, L"types 111");
  o.bAdvanced2 = 1112;
  o.bAdvanced3 = 1113;
  o.bWhat1 = 1114;
  o.bWhat2 = 1115;
  o.bAdvanced4 = 1116;
  o.bAdvanced5 = 1117;
  o.bAdvanced6 = 1118;
  o.bWhat3 = 1119;
  o.nUtilisation = 1120;
  o.nPrimaryAction = 1121;
  lstrcpyW(o.szPrimaryMoveFolder, L"folder 122");
  o.nSecondaryAction = 1123;
  lstrcpyW(o.szSecondaryMoveFolder, L"folder 124");
  o.dwPromptResponses = 1125;
  o.wStatus = 0x1000;
  o.schedule.enabled = 1;
  o.schedule.dayOfMonth = 26;
  o.bLogEnabled = 1127;
  lstrcpyW(o.szLogPath, L"log 128");
  o.bLogSizeLimited = 1129;
  o.dwLogSizeLimit = 1130;
  o.bReportConst1 = 1131;
  o.bReportConst2 = 1132;
  o.bReportConst3 = 1133;
  o.bReportConst4 = 1134;
  o.bReport1 = 1135;
  o.bReport2 = 1136;
  o.bReportConst5 = 1137;
  o.bReport3 = 1138;
  o.bReport4 = 1139;
  o.hExclusions = ExclusionsCreateFromData(L"1|C:\\SKIP\\\0*.TMP\0");
}

struct Stored {
  int number;
  DWORD type;
  DWORD dword;         // REG_DWORD
  const wchar_t* text;  // REG_SZ
};

const Stored kNumbersAndTexts[] = {
    {21, REG_SZ, 0, L"name 21"},
    {100, REG_DWORD, 1100, nullptr},
    {101, REG_DWORD, 1101, nullptr},
    {102, REG_DWORD, 1102, nullptr},
    {103, REG_DWORD, 1103, nullptr},
    {105, REG_DWORD, 1105, nullptr},
    {106, REG_DWORD, 1106, nullptr},
    {107, REG_DWORD, 1107, nullptr},
    {108, REG_DWORD, 1108, nullptr},
    {109, REG_DWORD, 1109, nullptr},
    {110, REG_SZ, 0, L"types 110"},
    {111, REG_SZ, 0, L"types 111"},
    {112, REG_DWORD, 1112, nullptr},
    {113, REG_DWORD, 1113, nullptr},
    {114, REG_DWORD, 1114, nullptr},
    {115, REG_DWORD, 1115, nullptr},
    {116, REG_DWORD, 1116, nullptr},
    {117, REG_DWORD, 1117, nullptr},
    {118, REG_DWORD, 1118, nullptr},
    {119, REG_DWORD, 1119, nullptr},
    {120, REG_DWORD, 1120, nullptr},
    {121, REG_DWORD, 1121, nullptr},
    {122, REG_SZ, 0, L"folder 122"},
    {123, REG_DWORD, 1123, nullptr},
    {124, REG_SZ, 0, L"folder 124"},
    {125, REG_DWORD, 1125, nullptr},
    {19, REG_DWORD, 0x1000, nullptr},
    {127, REG_DWORD, 1127, nullptr},
    {128, REG_SZ, 0, L"log 128"},
    {129, REG_DWORD, 1129, nullptr},
    {130, REG_DWORD, 1130, nullptr},
    {131, REG_DWORD, 1131, nullptr},
    {132, REG_DWORD, 1132, nullptr},
    {133, REG_DWORD, 1133, nullptr},
    {134, REG_DWORD, 1134, nullptr},
    {135, REG_DWORD, 1135, nullptr},
    {136, REG_DWORD, 1136, nullptr},
    {137, REG_DWORD, 1137, nullptr},
    {138, REG_DWORD, 1138, nullptr},
    {139, REG_DWORD, 1139, nullptr},
};

std::vector<BYTE> ReadValue(HKEY key, const std::wstring& name, DWORD* type) {
  DWORD size = 0;
  *type = 0xdeadbeef;
  if (RegQueryValueExW(key, name.c_str(), nullptr, type, nullptr, &size) != ERROR_SUCCESS) return {};
  std::vector<BYTE> data(size);
  if (RegQueryValueExW(key, name.c_str(), nullptr, type, data.data(), &size) != ERROR_SUCCESS) return {};
  data.resize(size);
  return data;
}

std::vector<BYTE> WideBytes(const std::wstring& text) {
  const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
  return std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
}

TEST_F(StoredOptionNamesTest, EveryFieldIsStoredUnderItsOptionNumberWithItsType) {
  Record record;
  FillDistinct(*record.options);
  ASSERT_TRUE(SaveScanOptions(nullptr, L"Pinned", nullptr, FALSE, record.options, nullptr));

  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegOpenKeyExW(HKEY_CURRENT_USER, MachinePath(ProductPath(L"Tasks\\Pinned")).c_str(), 0, KEY_READ, &key));
  for (const Stored& row : kNumbersAndTexts) {
    const std::wstring name = L"Option" + std::to_wstring(row.number);
    DWORD type = 0;
    const std::vector<BYTE> data = ReadValue(key, name, &type);
    EXPECT_EQ(row.type, type) << row.number;
    if (row.type == REG_DWORD) {
      DWORD value = 0xdeadbeef;
      ASSERT_EQ(sizeof value, data.size()) << row.number;
      memcpy(&value, data.data(), sizeof value);
      EXPECT_EQ(row.dword, value) << row.number;
    } else {
      EXPECT_EQ(WideBytes(row.text), data) << row.number;
    }
  }

  DWORD type = 0;
  std::wstring items = std::wstring(L"C:\\ONE\\") + L'\0' + L"D:\\TWO\\" + L'\0';
  EXPECT_EQ(WideBytes(items), ReadValue(key, L"Option104", &type));
  EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), type);
  // Each exclusion as "<flags>|<path>", 1 for subfolders too; a bare path gets flag 0.
  std::wstring exclusions = std::wstring(L"1|C:\\SKIP\\") + L'\0' + L"0|*.TMP" + L'\0';
  EXPECT_EQ(WideBytes(exclusions), ReadValue(key, L"Option140", &type));
  EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), type);
  const std::vector<BYTE> schedule = ReadValue(key, L"Option126", &type);
  EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
  ASSERT_EQ(sizeof(KORBEL_SCHEDULE), schedule.size());
  EXPECT_EQ(0, memcmp(&record->schedule, schedule.data(), schedule.size()));
  RegCloseKey(key);
}

TEST_F(StoredOptionNamesTest, OptionsFileLinesCarryTheSameNumbers) {
  Record record;
  FillDistinct(*record.options);
  const std::wstring path = TempFilePath(L"pinned-options-");
  ASSERT_TRUE(SaveScanOptions(nullptr, nullptr, path.c_str(), FALSE, record.options, nullptr));
  std::string file(65536, '\0');
  HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, handle);
  DWORD read = 0;
  ReadFile(handle, &file[0], static_cast<DWORD>(file.size()), &read, nullptr);
  CloseHandle(handle);
  DeleteFileW(path.c_str());
  file.resize(read);

  EXPECT_EQ(0u, file.find("[Vardex Scan Task]"));
  for (const char* line : {"\n21=s:name 21\r", "\n100=d:1100\r", "\n110=s:types 110\r", "\n19=d:4096\r",
                           "\n120=d:1120\r", "\n121=d:1121\r", "\n125=d:1125\r", "\n130=d:1130\r", "\n139=d:1139\r",
                           "\n104=m:C:\\\\ONE\\\\\\0D:\\\\TWO\\\\\r", "\n140=m:1|C:\\\\SKIP\\\\\\00|*.TMP\r"})
    EXPECT_NE(std::string::npos, file.find(line)) << line;
}

}  // namespace
