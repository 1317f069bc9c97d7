// Test helpers around the product libraries: where the built DLLs lie, scratch
// folders laid out by a test, and environment variables restored after a test.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "Texts.h"

namespace qmtest {

// Folder of the test program (build/<t>/tests).
inline std::wstring TestFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.find_last_of(L'\\'));
}

// Folder of the programs and DLLs (build/<t>/bin).
inline std::wstring BinFolder() {
  std::wstring tests = TestFolder();
  return tests.substr(0, tests.find_last_of(L'\\')) + L"\\bin";
}

// A fresh folder under the temporary folder, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder() {
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    static int counter = 0;
    path_ = std::wstring(temp) + L"qmlibs-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(++counter);
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~ScratchFolder() { Remove(path_); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::wstring& path() const { return path_; }
  std::wstring Sub(const std::wstring& name) const { return path_ + L"\\" + name; }
  std::wstring MakeFolder(const std::wstring& name) const {
    std::wstring p = Sub(name);
    CreateDirectoryW(p.c_str(), nullptr);
    return p;
  }
  // Copies DLLs (full paths) into a subfolder, made when missing.
  std::wstring Populate(const std::wstring& name, const std::vector<std::wstring>& files) const {
    std::wstring folder = MakeFolder(name);
    for (const std::wstring& f : files)
      CopyFileW(f.c_str(), (folder + f.substr(f.find_last_of(L'\\'))).c_str(), FALSE);
    return folder;
  }

 private:
  static void Remove(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring p = folder + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) Remove(p);
        else DeleteFileW(p.c_str());
      } while (FindNextFileW(find, &data));
      FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
  }
  std::wstring path_;
};

// Sets (or with null clears) an environment variable and restores it afterwards.
class EnvironmentSetting {
 public:
  EnvironmentSetting(const wchar_t* name, const wchar_t* value) : name_(name) {
    DWORD need = GetEnvironmentVariableW(name, nullptr, 0);
    if (need) {
      old_.resize(need);
      DWORD got = GetEnvironmentVariableW(name, &old_[0], need);
      old_.resize(got);
      had_ = true;
    }
    SetEnvironmentVariableW(name, value);
  }
  ~EnvironmentSetting() { SetEnvironmentVariableW(name_.c_str(), had_ ? old_.c_str() : nullptr); }
  EnvironmentSetting(const EnvironmentSetting&) = delete;
  EnvironmentSetting& operator=(const EnvironmentSetting&) = delete;

 private:
  std::wstring name_, old_;
  bool had_ = false;
};

// Changes the current folder and goes back afterwards.
class CurrentFolder {
 public:
  explicit CurrentFolder(const std::wstring& folder) {
    wchar_t old[MAX_PATH + 1];
    GetCurrentDirectoryW(MAX_PATH + 1, old);
    old_ = old;
    SetCurrentDirectoryW(folder.c_str());
  }
  ~CurrentFolder() { SetCurrentDirectoryW(old_.c_str()); }
  CurrentFolder(const CurrentFolder&) = delete;
  CurrentFolder& operator=(const CurrentFolder&) = delete;

 private:
  std::wstring old_;
};

inline std::wstring ModulePath(HMODULE module) {
  wchar_t path[MAX_PATH + 1] = {};
  GetModuleFileNameW(module, path, MAX_PATH + 1);
  return path;
}

// The built English language modules, loaded as data and made the program's modules
// (SetLanguageModules) for as long as the object lives.
class LanguageModulesLoaded {
 public:
  LanguageModulesLoaded() {
    std::wstring folder = BinFolder() + L"\\Res09\\";
    configurator_ = LoadLibraryExW((folder + L"Kestrune32.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    product_ = LoadLibraryExW((folder + L"Product.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    SetLanguageModules(configurator_, product_);
  }
  ~LanguageModulesLoaded() {
    SetLanguageModules(nullptr, nullptr);
    if (configurator_) FreeLibrary(configurator_);
    if (product_) FreeLibrary(product_);
  }
  LanguageModulesLoaded(const LanguageModulesLoaded&) = delete;
  LanguageModulesLoaded& operator=(const LanguageModulesLoaded&) = delete;
  bool ok() const { return configurator_ && product_; }
  HMODULE configurator() const { return configurator_; }

 private:
  HMODULE configurator_ = nullptr, product_ = nullptr;
};

// Narrow text of a wide string for failure messages.
inline std::string Narrow(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
  return out;
}

}  // namespace qmtest
