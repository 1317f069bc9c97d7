// Finding, loading and binding the product's run-time bound libraries.
#include "PlatformLibraryLoader.h"

#include <string>
#include <utility>
#include <vector>

namespace {

// Owns a module until it is handed over to the process-wide state.
class LoadedModule {
 public:
  explicit LoadedModule(HMODULE module) : module_(module) {}
  ~LoadedModule() {
    if (module_) FreeLibrary(module_);
  }
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;
  HMODULE get() const { return module_; }
  HMODULE release() { return std::exchange(module_, nullptr); }

 private:
  HMODULE module_;
};

class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey() {
    if (key_) RegCloseKey(key_);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  HKEY* put() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

struct State {
  wchar_t folder[kLibraryFolderChars + 1] = {};
  bool folderKnown = false;
  std::wstring valueName;
  HMODULE krnl = nullptr, util = nullptr, event = nullptr;
  QmKrnlTable krnlTable = {};
  QmUtilTable utilTable = {};
  QmEventTable eventTable = {};
};

State& Loader() {
  static State state;
  return state;
}

// The registry value, terminated; at most 2,048 bytes are accepted.
int ReadFolderValue(std::wstring& folder) {
  RegistryKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kLibraryFolderKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
    return kLibraryFolderKeyMissing;
  const wchar_t* name = Loader().valueName.c_str();
  DWORD type = 0, bytes = 0;
  if (RegQueryValueExW(key.get(), name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return kLibraryFolderValueMissing;
  if (bytes > 2048) return kLibraryFolderNotFound;
  wchar_t text[2048 / sizeof(wchar_t) + 1] = {};
  DWORD size = 2048;
  if (RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS)
    return kLibraryFolderValueMissing;
  text[size / sizeof(wchar_t)] = L'\0';
  folder = text;
  return kLibrariesLoaded;
}

// Decides the folder code; on success the folder is known from then on.
int FindFolder() {
  State& s = Loader();
  std::wstring folder;
  wchar_t variable[kLibraryFolderChars + 1];
  DWORD length = GetEnvironmentVariableW(kLibraryFolderVariable, variable, kLibraryFolderChars + 1);
  if (length > kLibraryFolderChars) return kLibraryFolderNotFound;
  if (length > 0) {
    folder.assign(variable, length);
  } else {
    int code = ReadFolderValue(folder);
    if (code != kLibrariesLoaded) return code;
  }
  if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  DWORD attributes = folder.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      folder.size() > kLibraryFolderChars)
    return kLibraryFolderNotFound;
  wmemcpy(s.folder, folder.c_str(), folder.size());
  s.folder[folder.size()] = L'\0';
  s.folderKnown = true;
  return kLibrariesLoaded;
}

template <typename Entry>
bool BindOne(HMODULE module, const char* name, Entry& entry) {
  FARPROC address = GetProcAddress(module, name);
  entry = reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(address));
  return address != nullptr;
}

#define QM_BIND_ENTRY(ret, name, params) complete = BindOne(module, #name, table.name) && complete;
bool Bind(HMODULE module, QmKrnlTable& table) {
  bool complete = true;
  QMKRNLU_EXPORTS(QM_BIND_ENTRY)
  return complete;
}
bool Bind(HMODULE module, QmUtilTable& table) {
  bool complete = true;
  QMUTILU_EXPORTS(QM_BIND_ENTRY)
  return complete;
}
bool Bind(HMODULE module, QmEventTable& table) {
  bool complete = true;
  QMEVENTU_EXPORTS(QM_BIND_ENTRY)
  return complete;
}
#undef QM_BIND_ENTRY

std::wstring FullPath(const std::wstring& path) {
  DWORD need = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (need == 0) return std::wstring();
  std::wstring full(need, L'\0');
  DWORD got = GetFullPathNameW(path.c_str(), need, &full[0], nullptr);
  if (got == 0 || got >= need) return std::wstring();
  full.resize(got);
  return full;
}

std::wstring ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (n == 0) return std::wstring();
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring CurrentFolder() {
  DWORD need = GetCurrentDirectoryW(0, nullptr);
  if (need == 0) return std::wstring();
  std::wstring folder(need, L'\0');
  DWORD got = GetCurrentDirectoryW(need, &folder[0]);
  if (got == 0 || got >= need) return std::wstring();
  folder.resize(got);
  return folder;
}

// The places a library is looked for, in order, as full paths: the folder found, then
// "..\qvpal\" and ".\", each taken from the program's folder and then from the current
// folder. Relative names are never handed to the loader, whose search would also take
// any folder of PATH.
std::vector<std::wstring> Candidates(const wchar_t* fileName) {
  State& s = Loader();
  std::vector<std::wstring> places;
  if (s.folderKnown) places.push_back(std::wstring(s.folder) + L"\\" + fileName);
  std::wstring bases[] = {ProgramFolder(), CurrentFolder()};
  for (const wchar_t* relative : {L"..\\qvpal\\", L".\\"}) {
    for (const std::wstring& base : bases) {
      if (base.empty()) continue;
      std::wstring full = FullPath(base + L"\\" + relative + fileName);
      if (full.empty()) continue;
      bool seen = false;
      for (const std::wstring& p : places)
        seen = seen || CompareStringOrdinal(p.c_str(), -1, full.c_str(), -1, TRUE) == CSTR_EQUAL;
      if (!seen) places.push_back(full);
    }
  }
  return places;
}

// Loads one library from the first place that has it and binds its whole table; a
// library that lacks an export is freed and its table left empty.
template <typename Table>
bool LoadOne(const wchar_t* fileName, HMODULE& handle, Table& table) {
  if (handle) return true;
  for (const std::wstring& path : Candidates(fileName)) {
    LoadedModule module(LoadLibraryW(path.c_str()));
    if (!module.get()) continue;
    Table bound = {};
    if (!Bind(module.get(), bound)) {
      SetLastError(ERROR_PROC_NOT_FOUND);
      return false;
    }
    table = bound;
    handle = module.release();
    return true;
  }
  return false;
}

template <typename Table>
void FreeOne(HMODULE& handle, Table& table) {
  if (handle) FreeLibrary(handle);
  handle = nullptr;
  table = Table{};
}

}  // namespace

int LoadPlatformLibraries(DWORD flags, const wchar_t* valueName) {
  flags &= kLoadQmKrnl | kLoadQmUtil | kLoadQmEvent;
  if (flags == 0) return kNoLibraryRequested;
  State& s = Loader();
  s.valueName = valueName ? valueName : L"";
  int folderCode = s.folderKnown ? kLibrariesLoaded : FindFolder();

  int failed = kLibrariesLoaded;
  if ((flags & kLoadQmKrnl) && !LoadOne(L"QMKRNLU.DLL", s.krnl, s.krnlTable))
    failed = kQmKrnlNotLoaded;
  else if ((flags & kLoadQmUtil) && !LoadOne(L"QMUTILU.DLL", s.util, s.utilTable))
    failed = kQmUtilNotLoaded;
  else if ((flags & kLoadQmEvent) && !LoadOne(L"QMEVENTU.DLL", s.event, s.eventTable))
    failed = kQmEventNotLoaded;
  if (failed == kLibrariesLoaded) return kLibrariesLoaded;
  ReleasePlatformLibraries(flags);
  return folderCode != kLibrariesLoaded ? folderCode : failed;
}

void ReleasePlatformLibraries(DWORD flags) {
  State& s = Loader();
  if (flags & kLoadQmEvent) FreeOne(s.event, s.eventTable);
  if (flags & kLoadQmUtil) FreeOne(s.util, s.utilTable);
  if (flags & kLoadQmKrnl) FreeOne(s.krnl, s.krnlTable);
}

const QmKrnlTable& QmKrnl() { return Loader().krnlTable; }
const QmUtilTable& QmUtil() { return Loader().utilTable; }
const QmEventTable& QmEvent() { return Loader().eventTable; }

HMODULE PlatformLibraryModule(DWORD flag) {
  State& s = Loader();
  switch (flag) {
    case kLoadQmKrnl: return s.krnl;
    case kLoadQmUtil: return s.util;
    case kLoadQmEvent: return s.event;
    default: return nullptr;
  }
}

const wchar_t* PlatformLibraryFolder() { return Loader().folder; }

void ForgetPlatformLibraryFolder() {
  State& s = Loader();
  s.folder[0] = L'\0';
  s.folderKnown = false;
}
