// Our stand-in of another vendor's library KORBEL.dll, for development and tests; not part of what we ship.
// KORBEL's registry layer: roots (local, redirected for tests, or remote connections
// kept for the life of the process), option values of task keys, and task enumeration.
#include "KorbelInternal.h"

#include <map>
#include <mutex>

namespace korbel {
namespace {

const HKEY kPredefined[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,    HKEY_LOCAL_MACHINE, HKEY_USERS,
                            HKEY_PERFORMANCE_DATA, HKEY_CURRENT_CONFIG, HKEY_DYN_DATA};
constexpr ULONG_PTR kPredefinedCount = sizeof(kPredefined) / sizeof(kPredefined[0]);
// Remote roots are numbered from here, so no root value is ever a raw handle.
constexpr ULONG_PTR kRemoteBase = 0x100;

// Tests have no second computer: with KORBEL_REMOTE_ROOT set, every server's machine
// key is that key below HKEY_CURRENT_USER.
LONG ConnectTo(const std::wstring& unc, HKEY* key) {
  wchar_t standIn[512] = {};
  DWORD got = GetEnvironmentVariableW(L"KORBEL_REMOTE_ROOT", standIn, 512);
  if (got == 0 || got >= 512) return RegConnectRegistryW(unc.c_str(), HKEY_LOCAL_MACHINE, key);
  return RegCreateKeyExW(HKEY_CURRENT_USER, standIn, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key,
                         nullptr);
}

// Connections to remote registries, by upper-cased server name; closed when the
// library unloads.
class Connections {
 public:
  ~Connections() {
    for (HKEY key : keys_) RegCloseKey(key);
  }
  LONG Connect(const std::wstring& server, KORBEL_ROOT* root) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::wstring upper = server;
    CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    auto found = index_.find(upper);
    if (found != index_.end()) {
      *root = kRemoteBase + found->second;
      return ERROR_SUCCESS;
    }
    std::wstring unc = server.compare(0, 2, L"\\\\") == 0 ? server : L"\\\\" + server;
    HKEY key = nullptr;
    LONG rc = ConnectTo(unc, &key);
    if (rc != ERROR_SUCCESS) return rc;
    keys_.push_back(key);
    index_[upper] = keys_.size() - 1;
    *root = kRemoteBase + (keys_.size() - 1);
    return ERROR_SUCCESS;
  }
  HKEY Get(KORBEL_ROOT root) {
    std::lock_guard<std::mutex> lock(mutex_);
    ULONG_PTR i = root - kRemoteBase;
    return root >= kRemoteBase && i < keys_.size() ? keys_[i] : nullptr;
  }

 private:
  std::mutex mutex_;
  std::vector<HKEY> keys_;
  std::map<std::wstring, size_t> index_;
};

Connections& TheConnections() {
  static Connections connections;
  return connections;
}

int g_mode = KORBEL_MODE_STANDALONE;

std::wstring EnvironmentValue(const wchar_t* name) {
  DWORD need = GetEnvironmentVariableW(name, nullptr, 0);
  if (need == 0) return {};
  std::wstring value(need, L'\0');
  DWORD got = GetEnvironmentVariableW(name, value.data(), need);
  if (got == 0 || got >= need) return {};
  value.resize(got);
  return value;
}

std::wstring ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(name, &size)) return {};
  return name;
}

bool IsStringOption(int number) {
  switch (number) {
    case KORBEL_OPT_DISPLAY_NAME:
    case KORBEL_OPT_ALERT_TEXT:
    case 110:
    case 111:
    case 122:
    case 124:
    case 128:
      return true;
    default:
      return false;
  }
}

// Reads one value whole, whatever its size.
LONG QueryValue(HKEY key, const std::wstring& name, DWORD& type, std::vector<BYTE>& data) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD size = 0;
    LONG rc = RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
    if (rc != ERROR_SUCCESS) return rc;
    data.resize(size);
    rc = RegQueryValueExW(key, name.c_str(), nullptr, &type, data.empty() ? nullptr : data.data(), &size);
    if (rc == ERROR_MORE_DATA) continue;
    if (rc != ERROR_SUCCESS) return rc;
    data.resize(size);
    return ERROR_SUCCESS;
  }
  return ERROR_MORE_DATA;
}

// Length in characters of a registry string, up to its terminator or its end.
size_t StringChars(const std::vector<BYTE>& data) {
  size_t chars = data.size() / sizeof(wchar_t);
  const wchar_t* text = reinterpret_cast<const wchar_t*>(data.data());
  size_t n = 0;
  while (n < chars && text[n] != L'\0') ++n;
  return n;
}

}  // namespace

void Key::reset() {
  if (key_ && !IsPredefined(key_)) RegCloseKey(key_);
  key_ = nullptr;
}

bool IsPredefined(HKEY key) {
  for (HKEY p : kPredefined)
    if (p == key) return true;
  return false;
}

RootKey::RootKey(KORBEL_ROOT root) {
  if (root == KORBEL_ROOT_LOCAL_MACHINE) {
    std::wstring redirect = EnvironmentValue(L"KORBEL_MACHINE_ROOT");
    if (!redirect.empty()) {
      CreateUnder(HKEY_CURRENT_USER, redirect, KEY_ALL_ACCESS, owned_);
      return;
    }
  }
  if (root < kPredefinedCount) {
    borrowed_ = kPredefined[root];
    return;
  }
  borrowed_ = TheConnections().Get(root);
}

bool RootForServer(LPCWSTR server, KORBEL_ROOT* root) {
  if (!server || !*server || lstrcmpiW(server, ComputerName().c_str()) == 0) {
    *root = KORBEL_ROOT_LOCAL_MACHINE;
    return true;
  }
  LONG rc = TheConnections().Connect(server, root);
  SetLastError(rc);
  return rc == ERROR_SUCCESS;
}

LONG OpenUnder(HKEY parent, const std::wstring& path, REGSAM access, Key& out) {
  if (!parent) return ERROR_INVALID_HANDLE;
  return RegOpenKeyExW(parent, path.c_str(), 0, access, out.put());
}

LONG CreateUnder(HKEY parent, const std::wstring& path, REGSAM access, Key& out) {
  if (!parent) return ERROR_INVALID_HANDLE;
  return RegCreateKeyExW(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                         out.put(), nullptr);
}

bool UsableTaskName(LPCWSTR task) {
  if (!task) return true;
  size_t chars = 0;
  for (; task[chars]; ++chars)
    if (task[chars] == L'\\' || chars >= 255) return false;
  return true;
}

bool RootForTask(LPCWSTR server, LPCWSTR task, KORBEL_ROOT* root) {
  if (!UsableTaskName(task)) {
    SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  return RootForServer(server, root);
}

std::wstring TaskPath(LPCWSTR task, bool temporary) {
  std::wstring path = kProductPath;
  path += L'\\';
  if (!task || !*task) return path + kDefaultTaskSub;
  path += temporary ? kTempTasksSub : kTasksSub;
  path += L'\\';
  return path + task;
}

int ConfigMode() { return g_mode; }

std::wstring OptionValueName(int number) { return L"Option" + std::to_wstring(number); }

bool ReadTaskOptions(HKEY key, OptionList& out) {
  out.clear();
  for (DWORD index = 0;; ++index) {
    DWORD maxName = 0, maxData = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName,
                         &maxData, nullptr, nullptr) != ERROR_SUCCESS)
      return false;
    std::wstring name(maxName + 1, L'\0');
    OptionValue value;
    value.data.resize(maxData + sizeof(wchar_t));
    DWORD nameChars = maxName + 1;
    DWORD dataSize = static_cast<DWORD>(value.data.size());
    LONG rc = RegEnumValueW(key, index, name.data(), &nameChars, nullptr, &value.type, value.data.data(),
                            &dataSize);
    if (rc == ERROR_NO_MORE_ITEMS) return true;
    if (rc == ERROR_MORE_DATA) {  // a value grew between the two calls: ask again
      --index;
      continue;
    }
    if (rc != ERROR_SUCCESS) return false;
    name.resize(nameChars);
    if (name.compare(0, 6, L"Option") != 0 || name.size() == 6 || name.size() > 12) continue;
    bool digits = true;
    for (size_t i = 6; i < name.size(); ++i) digits = digits && name[i] >= L'0' && name[i] <= L'9';
    if (!digits) continue;
    value.number = _wtoi(name.c_str() + 6);
    value.data.resize(dataSize);
    out.push_back(std::move(value));
  }
}

bool WriteTaskOptions(HKEY key, const OptionList& options, bool* changed) {
  for (const OptionValue& option : options) {
    std::wstring name = OptionValueName(option.number);
    DWORD type = REG_NONE;
    std::vector<BYTE> current;
    if (QueryValue(key, name, type, current) == ERROR_SUCCESS && type == option.type && current == option.data)
      continue;
    LONG rc = RegSetValueExW(key, name.c_str(), 0, option.type, option.data.empty() ? nullptr : option.data.data(),
                             static_cast<DWORD>(option.data.size()));
    if (rc != ERROR_SUCCESS) {
      SetLastError(rc);
      return false;
    }
    if (changed) *changed = true;
  }
  return true;
}

}  // namespace korbel

using namespace korbel;

struct KorbelTaskEnum_ {
  Key tasks;  // empty when the product has no named tasks yet
};

extern "C" {

void WINAPI REG_SetConfigSrcDest(INT mode) {
  if (mode >= KORBEL_MODE_STANDALONE && mode <= KORBEL_MODE_MIDRW) g_mode = mode;
}

LONG WINAPI REG_OpenKeyEx(KORBEL_ROOT root, LPCWSTR path, LPWSTR keyClass, REGSAM access, HKEY* key) {
  (void)keyClass;
  if (!key) return ERROR_INVALID_PARAMETER;
  *key = nullptr;
  RootKey parent(root);
  if (!parent) return ERROR_INVALID_HANDLE;
  Key opened;
  LONG rc = OpenUnder(parent.get(), path ? path : L"", access, opened);
  if (rc == ERROR_SUCCESS) *key = opened.release();
  return rc;
}

KORBEL_ROOT WINAPI HKEY_Make(HKEY predefined, INT flavour) {
  if (flavour != KORBEL_REGISTRY_WIN32) return KORBEL_ROOT_NONE;
  for (ULONG_PTR i = 0; i < kPredefinedCount; ++i)
    if (kPredefined[i] == predefined) return i;
  return KORBEL_ROOT_NONE;
}

BOOL WINAPI REG_GetOpt(HKEY key, INT option, void* buffer, DWORD size) {
  if (!key || !buffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  LONG rc = QueryValue(key, OptionValueName(option), type, data);
  if (rc != ERROR_SUCCESS) {
    SetLastError(rc);
    return FALSE;
  }
  switch (type) {
    case REG_DWORD: {
      if (data.size() != sizeof(DWORD) || (size != sizeof(DWORD) && size != sizeof(WORD))) break;
      DWORD value = 0;
      memcpy(&value, data.data(), sizeof value);
      if (size == sizeof(WORD)) {
        WORD word = LOWORD(value);
        memcpy(buffer, &word, sizeof word);
      } else {
        memcpy(buffer, &value, sizeof value);
      }
      return TRUE;
    }
    case REG_SZ:
    case REG_EXPAND_SZ: {
      size_t chars = StringChars(data);
      if ((chars + 1) * sizeof(wchar_t) > size) {
        SetLastError(ERROR_MORE_DATA);
        return FALSE;
      }
      wchar_t* out = static_cast<wchar_t*>(buffer);
      memcpy(out, data.data(), chars * sizeof(wchar_t));
      out[chars] = L'\0';
      return TRUE;
    }
    default:
      if (data.size() > size) {
        SetLastError(ERROR_MORE_DATA);
        return FALSE;
      }
      if (!data.empty()) memcpy(buffer, data.data(), data.size());
      return TRUE;
  }
  SetLastError(ERROR_INVALID_DATA);
  return FALSE;
}

BOOL WINAPI REG_SetOpt(HKEY key, INT option, const void* buffer, DWORD size) {
  if (!key || !buffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  OptionValue value;
  value.number = option;
  if (IsStringOption(option)) {
    const wchar_t* text = static_cast<const wchar_t*>(buffer);
    size_t limit = size / sizeof(wchar_t), chars = 0;
    while (chars < limit && text[chars] != L'\0') ++chars;
    value.type = REG_SZ;
    value.data.assign(reinterpret_cast<const BYTE*>(text), reinterpret_cast<const BYTE*>(text + chars));
    value.data.insert(value.data.end(), sizeof(wchar_t), 0);
  } else if (size == sizeof(WORD) || size == sizeof(DWORD)) {
    DWORD number = 0;
    if (size == sizeof(WORD)) {
      WORD word = 0;
      memcpy(&word, buffer, sizeof word);
      number = word;
    } else {
      memcpy(&number, buffer, sizeof number);
    }
    value.type = REG_DWORD;
    value.data.assign(reinterpret_cast<const BYTE*>(&number), reinterpret_cast<const BYTE*>(&number) + sizeof number);
  } else {
    value.type = REG_BINARY;
    value.data.assign(static_cast<const BYTE*>(buffer), static_cast<const BYTE*>(buffer) + size);
  }
  return WriteTaskOptions(key, OptionList{value}, nullptr) ? TRUE : FALSE;
}

BOOL WINAPI REG_FlushKey(HKEY key) {
  LONG rc = key ? RegFlushKey(key) : ERROR_INVALID_HANDLE;
  SetLastError(rc);
  return rc == ERROR_SUCCESS;
}

BOOL WINAPI REG_CloseKey(HKEY key) {
  if (!key || IsPredefined(key)) return key != nullptr;
  ForgetKeyRoot(key);
  return RegCloseKey(key) == ERROR_SUCCESS;
}

LONG WINAPI REG_ConnectRegistry(LPCWSTR server, INT flavour, KORBEL_ROOT* root) {
  if (!root || flavour != KORBEL_REGISTRY_WIN32) return ERROR_INVALID_PARAMETER;
  *root = KORBEL_ROOT_NONE;
  KORBEL_ROOT found = KORBEL_ROOT_NONE;
  if (!RootForServer(server, &found)) {
    LONG rc = static_cast<LONG>(GetLastError());
    return rc ? rc : ERROR_BAD_NETPATH;
  }
  *root = found;
  return ERROR_SUCCESS;
}

BOOL WINAPI REG_Open(HKORBELENUM* handle, INT kind, KORBEL_ROOT root) {
  if (!handle || kind != KORBEL_ENUM_TASKS) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *handle = nullptr;
  RootKey parent(root);
  Key product;
  LONG rc = OpenUnder(parent.get(), kProductPath, KEY_READ, product);
  if (rc != ERROR_SUCCESS) {
    SetLastError(rc);
    return FALSE;
  }
  auto* enumeration = new (std::nothrow) KorbelTaskEnum_;
  if (!enumeration) return FALSE;
  rc = OpenUnder(product.get(), kTasksSub, KEY_READ, enumeration->tasks);
  if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
    delete enumeration;
    SetLastError(rc);
    return FALSE;
  }
  *handle = enumeration;
  return TRUE;
}

BOOL WINAPI REG_EnumTasks(HKORBELENUM handle, KORBEL_TASK_CALLBACK callback, LPARAM context) {
  if (!handle || !callback) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!handle->tasks) return TRUE;
  for (DWORD index = 0;; ++index) {
    DWORD maxName = 0;
    if (RegQueryInfoKeyW(handle->tasks.get(), nullptr, nullptr, nullptr, nullptr, &maxName, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      return FALSE;
    std::wstring name(maxName + 1, L'\0');
    DWORD chars = maxName + 1;
    LONG rc = RegEnumKeyExW(handle->tasks.get(), index, name.data(), &chars, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) return TRUE;
    if (rc == ERROR_MORE_DATA) {
      --index;
      continue;
    }
    if (rc != ERROR_SUCCESS) {
      SetLastError(rc);
      return FALSE;
    }
    name.resize(chars);
    Key task;
    if (OpenUnder(handle->tasks.get(), name, KEY_READ, task) != ERROR_SUCCESS) continue;
    if (!callback(name.c_str(), task.get(), context)) return TRUE;
  }
}

BOOL WINAPI REG_Close(HKORBELENUM handle) {
  delete handle;
  return handle != nullptr;
}

}  // extern "C"
