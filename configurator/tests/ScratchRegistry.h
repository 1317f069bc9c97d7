// Test fixture of the configurator's storage tests: KORBEL's local machine root is
// redirected to a scratch key under HKEY_CURRENT_USER, created for each test and
// deleted after it, so tests never see an installed product or each other.
#pragma once

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "Korbel.h"
#include "NotifyRecorder.h"
#include "PlatformLibraryLoader.h"
#include "TaskContext.h"

class ScratchRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = L"Software\\QirexTest\\Korbel-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter_);
    RegDeleteTreeW(HKEY_CURRENT_USER, base_.c_str());
    SetEnvironmentVariableW(L"KORBEL_MACHINE_ROOT", base_.c_str());
    g_configMode = kModeStandalone;
    REG_SetConfigSrcDest(kModeStandalone);
    ASSERT_TRUE(StartNotifyRecorder()) << "QMUTILU.DLL of the build cannot be bound";
    ASSERT_TRUE(Korbel_init());
  }
  void TearDown() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, base_.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, base_.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\QirexTest");  // only once no other test holds a key there
    SetEnvironmentVariableW(L"KORBEL_MACHINE_ROOT", nullptr);
    StopNotifyRecorder();
    g_configMode = kModeStandalone;
    REG_SetConfigSrcDest(kModeStandalone);
  }

  void SetMode(int mode) {
    g_configMode = mode;
    REG_SetConfigSrcDest(mode);
  }

  // A key of the scratch machine root, given by its path below HKEY_LOCAL_MACHINE.
  std::wstring MachinePath(const std::wstring& path) const { return base_ + L"\\" + path; }
  static std::wstring ProductPath(const std::wstring& sub = L"") {
    std::wstring path = L"SOFTWARE\\Quillmont\\Orlan\\Vardex Enterprise\\CurrentVersion";
    return sub.empty() ? path : path + L"\\" + sub;
  }

  bool KeyExists(const std::wstring& productSub) const {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, MachinePath(ProductPath(productSub)).c_str(), 0, KEY_READ, &key))
      return false;
    RegCloseKey(key);
    return true;
  }
  void DeleteProductKey(const std::wstring& productSub) const {
    RegDeleteTreeW(HKEY_CURRENT_USER, MachinePath(ProductPath(productSub)).c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, MachinePath(ProductPath(productSub)).c_str());
  }
  void SetDword(const std::wstring& productSub, const wchar_t* name, DWORD value) const {
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CURRENT_USER, MachinePath(ProductPath(productSub)).c_str(), name,
                                             REG_DWORD, &value, sizeof value));
  }
  // A stored option of a task key as a number; 0xdeadbeef when it cannot be read.
  DWORD OptionNumber(const std::wstring& productSub, int option) const {
    DWORD value = 0xdeadbeef, size = sizeof value;
    std::wstring name = L"Option" + std::to_wstring(option);
    RegGetValueW(HKEY_CURRENT_USER, MachinePath(ProductPath(productSub)).c_str(), name.c_str(), RRF_RT_REG_DWORD,
                 nullptr, &value, &size);
    return value;
  }
  std::wstring OptionText(const std::wstring& productSub, int option) const {
    wchar_t text[1100] = L"<unreadable>";
    DWORD size = sizeof text;
    std::wstring name = L"Option" + std::to_wstring(option);
    RegGetValueW(HKEY_CURRENT_USER, MachinePath(ProductPath(productSub)).c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr,
                 text, &size);
    return text;
  }

  static std::wstring TempFilePath(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + name + std::to_wstring(GetCurrentProcessId());
  }

  std::wstring base_;
  static inline int counter_ = 0;
};

// A zero-filled record on the heap, released through KORBEL when it goes.
struct Record {
  Record() : options(new ScanOptions) { ZeroMemory(options, sizeof(ScanOptions)); }
  ~Record() {
    FreeScanOptionsResources(options);
    delete options;
  }
  Record(const Record&) = delete;
  Record& operator=(const Record&) = delete;
  ScanOptions* operator->() { return options; }
  ScanOptions* options;
};

// Appends a stored item name to a record's item array, as the scan-locations page does.
inline void AddItem(ScanOptions& options, const wchar_t* text) {
  auto* item = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, SCANOPT_ITEM_BYTES));
  lstrcpynW(item, text, SCANOPT_ITEM_BYTES / sizeof(wchar_t));
  ASSERT_NE(nullptr, QmUtil().UTIL_ARRAY_Add);
  ASSERT_TRUE(QmUtil().UTIL_ARRAY_Add(&options.hScanItems, item));
}

inline int ItemCount(const ScanOptions& options) { return QmUtil().UTIL_ARRAY_GetCount(options.hScanItems); }

inline void WriteTextFile(const std::wstring& path, const std::string& text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file) << GetLastError();
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
  CloseHandle(file);
}

inline std::wstring ItemAt(const ScanOptions& options, int index) {
  auto* text = static_cast<const wchar_t*>(QmUtil().UTIL_ARRAY_GetAt(options.hScanItems, index));
  return text ? text : L"<none>";
}
