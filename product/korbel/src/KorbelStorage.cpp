// Our stand-in of another vendor's library KORBEL.dll, for development and tests; not part of what we ship.
// KORBEL's task storage: the default task, named and temporary tasks, options files,
// task creation from the default task, policy locks, resume points, MID flags and
// component paths.
#include "KorbelInternal.h"

#include <map>
#include <memory>
#include <mutex>

namespace korbel {
namespace {

std::mutex g_rootsMutex;
std::map<HKEY, KORBEL_ROOT>& KeyRoots() {
  static std::map<HKEY, KORBEL_ROOT> roots;
  return roots;
}

// A heap record: ScanOptions is too large to keep on the stack.
std::unique_ptr<ScanOptions> NewRecord() {
  auto record = std::make_unique<ScanOptions>();
  ZeroMemory(record.get(), sizeof(ScanOptions));
  return record;
}

bool ReadWholeFile(LPCWSTR path, std::string& out) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size = {};
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart < 16 * 1024 * 1024;
  if (ok) {
    out.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    ok = out.empty() || (ReadFile(file, out.data(), static_cast<DWORD>(out.size()), &read, nullptr) && read == out.size());
  }
  DWORD error = GetLastError();
  CloseHandle(file);
  SetLastError(error);
  return ok;
}

bool WriteWholeFile(LPCWSTR path, const std::string& text) {
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
  DWORD error = GetLastError();
  ok = CloseHandle(file) && ok;
  if (!ok) {
    DeleteFileW(path);  // a half-written options file must not be loadable later
    SetLastError(error ? error : ERROR_WRITE_FAULT);
  }
  return ok;
}

bool CanWrite(HKEY parent, const std::wstring& path) {
  Key key;
  return OpenUnder(parent, path, KEY_READ | KEY_WRITE, key) == ERROR_SUCCESS;
}

}  // namespace

void RememberKeyRoot(HKEY key, KORBEL_ROOT root) {
  std::lock_guard<std::mutex> lock(g_rootsMutex);
  KeyRoots()[key] = root;
}

bool KeyRoot(HKEY key, KORBEL_ROOT* root) {
  std::lock_guard<std::mutex> lock(g_rootsMutex);
  auto found = KeyRoots().find(key);
  if (found == KeyRoots().end()) return false;
  *root = found->second;
  return true;
}

void ForgetKeyRoot(HKEY key) {
  std::lock_guard<std::mutex> lock(g_rootsMutex);
  KeyRoots().erase(key);
}

namespace {

std::wstring FolderOf(HMODULE module) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD got = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (got == 0) return {};
    if (got < path.size()) {
      path.resize(got);
      break;
    }
    path.resize(path.size() * 2);
  }
  size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

}  // namespace

std::wstring ModuleFolder() {
  HMODULE self = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&ModuleFolder), &self))
    return {};
  return FolderOf(self);
}

std::wstring ProgramFolder() { return FolderOf(nullptr); }

}  // namespace korbel

using namespace korbel;

extern "C" {

BOOL WINAPI Korbel_init(void) {
  // A machine without a default task yet gets the built-in one, as an installation
  // would have left it; a registry that refuses the write is not fatal here.
  RootKey root(KORBEL_ROOT_LOCAL_MACHINE);
  Key existing;
  if (root && OpenUnder(root.get(), TaskPath(nullptr, false), KEY_READ, existing) == ERROR_FILE_NOT_FOUND) {
    Key created;
    if (CreateUnder(root.get(), TaskPath(nullptr, false), KEY_READ | KEY_WRITE, created) == ERROR_SUCCESS) {
      auto record = NewRecord();
      DefaultOptions(*record);
      OptionList values;
      if (EncodeOptions(*record, values)) WriteTaskOptions(created.get(), values, nullptr);
    }
  }
  return TRUE;
}

BOOL WINAPI LoadScanOptions(LPCWSTR server, LPCWSTR task, LPCWSTR file, DWORD reserved, ScanOptions* options,
                            BOOL* editable) {
  (void)reserved;
  if (!options) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  OptionList values;
  BOOL canWrite = TRUE;
  if (file && *file) {
    std::string text;
    if (!ReadWholeFile(file, text)) return FALSE;
    if (!ParseOptionsFile(text, values)) {
      SetLastError(ERROR_INVALID_DATA);
      return FALSE;
    }
  } else {
    KORBEL_ROOT rootValue = 0;
    if (!RootForTask(server, task, &rootValue)) return FALSE;
    RootKey root(rootValue);
    std::wstring path = TaskPath(task, false);
    Key key;
    LONG rc = OpenUnder(root.get(), path, KEY_READ, key);
    if (rc != ERROR_SUCCESS) {
      SetLastError(rc);
      return FALSE;
    }
    if (!ReadTaskOptions(key.get(), values)) return FALSE;
    canWrite = CanWrite(root.get(), path);
  }
  auto loaded = NewRecord();
  loaded->hExclusions = options->hExclusions;
  if (!DecodeOptions(values, *loaded)) return FALSE;
  ItemsFree(options->hScanItems);
  CopyMemory(options, loaded.get(), sizeof(ScanOptions));
  if (editable) *editable = canWrite;
  return TRUE;
}

BOOL WINAPI SaveScanOptions(LPCWSTR server, LPCWSTR task, LPCWSTR file, BOOL temporary, const ScanOptions* options,
                            BOOL* changed) {
  if (changed) *changed = FALSE;
  if (!options) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  OptionList values;
  if (!EncodeOptions(*options, values)) return FALSE;
  if (file && *file) {
    if (!WriteWholeFile(file, FormatOptionsFile(values))) return FALSE;
    if (changed) *changed = TRUE;
    return TRUE;
  }
  KORBEL_ROOT rootValue = 0;
  if (!RootForTask(server, task, &rootValue)) return FALSE;
  RootKey root(rootValue);
  Key key;
  LONG rc = CreateUnder(root.get(), TaskPath(task, temporary != FALSE), KEY_READ | KEY_WRITE, key);
  if (rc != ERROR_SUCCESS) {
    SetLastError(rc);
    return FALSE;
  }
  bool differed = false;
  if (!WriteTaskOptions(key.get(), values, &differed)) return FALSE;
  if (changed) *changed = differed;
  return TRUE;
}

void WINAPI FreeScanOptionsResources(ScanOptions* options) {
  if (!options) return;
  ItemsFree(options->hScanItems);
  options->hScanItems = nullptr;
}

BOOL WINAPI REG_TaskOpenEntry(LPCWSTR server, LPCWSTR task, INT write, KORBEL_ROOT* root, HKEY* key) {
  if (!root || !key) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *key = nullptr;
  KORBEL_ROOT rootValue = 0;
  if (!RootForTask(server, task, &rootValue)) return FALSE;
  *root = rootValue;
  RootKey parent(rootValue);
  std::wstring path = TaskPath(task, false);
  Key opened;
  LONG rc;
  if (!write)
    rc = OpenUnder(parent.get(), path, KEY_READ, opened);
  else if (task && *task && ConfigMode() != KORBEL_MODE_STANDALONE)
    rc = CreateUnder(parent.get(), path, KEY_READ | KEY_WRITE, opened);  // MID tasks come into being on write
  else
    rc = OpenUnder(parent.get(), path, KEY_READ | KEY_WRITE, opened);
  if (rc != ERROR_SUCCESS) {
    SetLastError(rc);
    return FALSE;
  }
  RememberKeyRoot(opened.get(), rootValue);
  *key = opened.release();
  return TRUE;
}

HKEY WINAPI REG_TaskOpen2(HKEY defaultTaskWriteKey, HKEY defaultTaskOptionsKey, LPCWSTR newName, REGSAM access) {
  KORBEL_ROOT rootValue = 0;
  if (!defaultTaskOptionsKey || !newName || !*newName || !UsableTaskName(newName) ||
      !KeyRoot(defaultTaskWriteKey, &rootValue)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  RootKey root(rootValue);
  std::wstring path = TaskPath(newName, false);
  Key existing;
  if (OpenUnder(root.get(), path, KEY_READ, existing) == ERROR_SUCCESS) {
    SetLastError(ERROR_ALREADY_EXISTS);
    return nullptr;
  }
  OptionList values;
  if (!ReadTaskOptions(defaultTaskOptionsKey, values)) return nullptr;
  Key created;
  LONG rc = CreateUnder(root.get(), path, access | KEY_READ | KEY_WRITE, created);
  if (rc != ERROR_SUCCESS) {
    SetLastError(rc);
    return nullptr;
  }
  if (!WriteTaskOptions(created.get(), values, nullptr)) {
    DWORD error = GetLastError();
    created.reset();
    RegDeleteKeyW(root.get(), path.c_str());
    SetLastError(error);
    return nullptr;
  }
  RememberKeyRoot(created.get(), rootValue);
  return created.release();
}

BOOL WINAPI UIP(INT area, INT item, HKEY productKey) {
  if (!productKey) return FALSE;
  Key policy;
  if (OpenUnder(productKey, std::wstring(kPolicySub) + L"\\" + std::to_wstring(area), KEY_READ, policy) !=
      ERROR_SUCCESS)
    return FALSE;
  DWORD value = 0, size = sizeof value, type = REG_NONE;
  if (RegQueryValueExW(policy.get(), std::to_wstring(item).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value),
                       &size) != ERROR_SUCCESS ||
      type != REG_DWORD)
    return FALSE;
  return value != 0;
}

BOOL WINAPI SetLastScanFileAt(LPCWSTR server, LPCWSTR task, LPCWSTR file, INT itemIndex) {
  if (!task || !*task || !UsableTaskName(task) || itemIndex < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  KORBEL_ROOT rootValue = 0;
  if (!RootForServer(server, &rootValue)) return FALSE;
  RootKey root(rootValue);
  Key taskKey, resume;
  LONG rc = OpenUnder(root.get(), TaskPath(task, false), KEY_READ | KEY_WRITE, taskKey);
  if (rc == ERROR_SUCCESS) rc = CreateUnder(taskKey.get(), kResumeSub, KEY_READ | KEY_WRITE, resume);
  if (rc == ERROR_SUCCESS) {
    std::wstring text = file ? file : L"";
    rc = RegSetValueExW(resume.get(), std::to_wstring(itemIndex).c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }
  SetLastError(rc);
  return rc == ERROR_SUCCESS;
}

BOOL WINAPI MID_WriteFlag(LPCWSTR flagName) {
  if (!flagName || !*flagName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  RootKey root(KORBEL_ROOT_LOCAL_MACHINE);
  Key mid;
  LONG rc = CreateUnder(root.get(), std::wstring(kProductPath) + L"\\" + kMidSub, KEY_READ | KEY_WRITE, mid);
  if (rc == ERROR_SUCCESS) {
    DWORD one = 1;
    rc = RegSetValueExW(mid.get(), flagName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
  }
  SetLastError(rc);
  return rc == ERROR_SUCCESS;
}

BOOL WINAPI GetComponentPath(LPCWSTR component, LPWSTR buffer, DWORD chars) {
  if (!component || !buffer || chars == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::wstring path;
  RootKey root(KORBEL_ROOT_LOCAL_MACHINE);
  Key components;
  if (OpenUnder(root.get(), std::wstring(kProductPath) + L"\\" + kComponentsSub, KEY_READ, components) ==
      ERROR_SUCCESS) {
    DWORD size = 0, type = REG_NONE;
    if (RegQueryValueExW(components.get(), component, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        type == REG_SZ) {
      std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
      DWORD got = size;
      if (RegQueryValueExW(components.get(), component, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &got) ==
          ERROR_SUCCESS)
        path = text.data();
    }
  }
  if (path.empty()) {
    // Without an installation entry the programs are looked for beside the library.
    if (lstrcmpW(component, KORBEL_COMPONENT_SCANNER) == 0)
      path = ModuleFolder() + L"OnDemandScanner.exe";
    else if (lstrcmpW(component, KORBEL_COMPONENT_REMOTE_LAUNCHER) == 0)
      path = ModuleFolder() + L"RemoteScanLauncher.exe";
    else {
      SetLastError(ERROR_NOT_FOUND);
      return FALSE;
    }
  }
  if (path.size() + 1 > chars) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  lstrcpynW(buffer, path.c_str(), static_cast<int>(chars));
  return TRUE;
}

}  // extern "C"
