// Our stand-in of another vendor's library QMUTILU.DLL, for development and tests; not part of what we ship.
// QMUTILU.DLL: arrays, hash tables, profiles, the activity log, message strings,
// memory and small system queries.
//
// Not provided (they answer 0 with ERROR_CALL_NOT_IMPLEMENTED): UTIL_SysAttrToVsAttr,
// the NW-style name forms (UTIL_NameMakeUNCNetwareStyle, UTIL_NameSeparateNWPath and
// their Ex forms) and the output formats of names (UTIL_NameOutputFormat and its Ex form).
#include "UtilInternal.h"

#include <climits>
#include <cstddef>
#include <cwchar>
#include <new>
#include <string>
#include <unordered_map>

QM_NOT_IMPLEMENTED(DWORD, UTIL_SysAttrToVsAttr, (DWORD))

// ---- arrays: one heap block holding the header and the item pointers, so that a
// growing array may move; UTIL_ARRAY_Add therefore takes the address of the handle.

struct QmArray_ {
  DWORD flags;
  int count;
  int capacity;
  void* items[1];
};

namespace {

SIZE_T ArrayBytes(int capacity) {
  return offsetof(QmArray_, items) + static_cast<SIZE_T>(capacity) * sizeof(void*);
}
constexpr int kMaxArrayItems = INT_MAX / 2;

bool ValidIndex(HQMARRAY array, int index) { return array && index >= 0 && index < array->count; }

}  // namespace

extern "C" HQMARRAY WINAPI UTIL_ARRAY_Create(DWORD flags, int capacity) {
  if (capacity < 0 || capacity > kMaxArrayItems) return qm::InvalidArgument<HQMARRAY>();
  if (capacity == 0) capacity = 16;
  auto* array = static_cast<HQMARRAY>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, ArrayBytes(capacity)));
  if (!array) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  array->flags = flags;
  array->capacity = capacity;
  return array;
}

extern "C" void WINAPI UTIL_ARRAY_Destroy(HQMARRAY array) {
  if (!array) return;
  if (array->flags & kQmArrayOwnsItems)
    for (int i = 0; i < array->count; ++i)
      if (array->items[i]) HeapFree(GetProcessHeap(), 0, array->items[i]);
  HeapFree(GetProcessHeap(), 0, array);
}

// With a null handle a new array (not owning its items) is made first.
extern "C" BOOL WINAPI UTIL_ARRAY_Add(HQMARRAY* address, void* item) {
  if (!address) return qm::InvalidArgument<BOOL>();
  if (!*address && !(*address = UTIL_ARRAY_Create(0, 0))) return FALSE;
  HQMARRAY array = *address;
  if (array->count == array->capacity) {
    if (array->capacity >= kMaxArrayItems) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return FALSE;
    }
    int grown = array->capacity > kMaxArrayItems / 2 ? kMaxArrayItems : array->capacity * 2;
    void* moved = HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, array, ArrayBytes(grown));
    if (!moved) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return FALSE;
    }
    array = *address = static_cast<HQMARRAY>(moved);
    array->capacity = grown;
  }
  array->items[array->count++] = item;
  return TRUE;
}

extern "C" int WINAPI UTIL_ARRAY_GetCount(HQMARRAY array) { return array ? array->count : 0; }

extern "C" void* WINAPI UTIL_ARRAY_GetAt(HQMARRAY array, int index) {
  return ValidIndex(array, index) ? array->items[index] : qm::InvalidArgument<void*>();
}

// Hands the item back to the caller, even from an owning array.
extern "C" void* WINAPI UTIL_ARRAY_RemoveAt(HQMARRAY array, int index) {
  if (!ValidIndex(array, index)) return qm::InvalidArgument<void*>();
  void* item = array->items[index];
  for (int i = index + 1; i < array->count; ++i) array->items[i - 1] = array->items[i];
  array->items[--array->count] = nullptr;
  return item;
}

// ---- hash tables of named pointers (names compare exactly)

struct QmHash_ {
  std::unordered_map<std::wstring, void*> values;
};

extern "C" HQMHASH WINAPI UTIL_Hash_Init(DWORD buckets) {
  auto* hash = new (std::nothrow) QmHash_;
  if (!hash) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (buckets && buckets < 65536) hash->values.reserve(buckets);
  return hash;
}
extern "C" void WINAPI UTIL_Hash_End(HQMHASH hash) { delete hash; }
extern "C" BOOL WINAPI UTIL_Hash_Set(HQMHASH hash, LPCWSTR key, void* value) {
  if (!hash || !key) return qm::InvalidArgument<BOOL>();
  try {
    hash->values[key] = value;
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  return TRUE;
}
extern "C" void* WINAPI UTIL_Hash_Get(HQMHASH hash, LPCWSTR key) {
  if (!hash || !key) return qm::InvalidArgument<void*>();
  auto it = hash->values.find(key);
  return it == hash->values.end() ? nullptr : it->second;
}
extern "C" BOOL WINAPI UTIL_Hash_Find(HQMHASH hash, LPCWSTR key) {
  if (!hash || !key) return qm::InvalidArgument<BOOL>();
  return hash->values.count(key) != 0;
}
// FNV-1a over the UTF-16 code units.
extern "C" DWORD WINAPI UTIL_Hash(LPCWSTR key) {
  DWORD h = 2166136261u;
  for (; key && *key; ++key) {
    h = (h ^ (*key & 0xFF)) * 16777619u;
    h = (h ^ (*key >> 8)) * 16777619u;
  }
  return h;
}

// ---- CRC-32 (the zip polynomial); pass 0 to start, or the previous result to continue.

extern "C" DWORD WINAPI UTIL_CrcBuffer(const void* data, DWORD size, DWORD crc) {
  if (!data && size) return qm::InvalidArgument<DWORD>();
  static DWORD table[256];
  static bool ready = false;
  if (!ready) {
    for (DWORD n = 0; n < 256; ++n) {
      DWORD c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
    ready = true;
  }
  const BYTE* p = static_cast<const BYTE*>(data);
  crc = ~crc;
  for (DWORD i = 0; i < size; ++i) crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

// ---- profiles (INI files), always by full path: a bare name would land in the
// Windows folder.

struct QmProfile_ {
  std::wstring path;
};

extern "C" HQMPROFILE WINAPI UTIL_ProfileOpen(LPCWSTR path) {
  if (!path || !*path) return qm::InvalidArgument<HQMPROFILE>();
  DWORD need = GetFullPathNameW(path, 0, nullptr, nullptr);
  if (need == 0) return nullptr;
  std::wstring full(need, L'\0');
  DWORD got = GetFullPathNameW(path, need, &full[0], nullptr);
  if (got == 0 || got >= need) return nullptr;
  full.resize(got);
  auto* profile = new (std::nothrow) QmProfile_;
  if (!profile) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  profile->path = full;
  return profile;
}
extern "C" void WINAPI UTIL_ProfileClose(HQMPROFILE profile) {
  if (profile) UTIL_ProfileFlush(profile);
  delete profile;
}
extern "C" BOOL WINAPI UTIL_ProfileFlush(HQMPROFILE profile) {
  if (!profile) return qm::InvalidArgument<BOOL>();
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, profile->path.c_str());
  return TRUE;
}
extern "C" BOOL WINAPI UTIL_ProfileWriteString(HQMPROFILE profile, LPCWSTR section, LPCWSTR key, LPCWSTR value) {
  if (!profile || !section) return qm::InvalidArgument<BOOL>();
  return WritePrivateProfileStringW(section, key, value, profile->path.c_str());
}
extern "C" DWORD WINAPI UTIL_ProfileGetString(HQMPROFILE profile, LPCWSTR section, LPCWSTR key, LPCWSTR fallback,
                                              LPWSTR buffer, DWORD size) {
  if (!profile || !section || !key || !buffer || size == 0) return qm::InvalidArgument<DWORD>();
  return GetPrivateProfileStringW(section, key, fallback ? fallback : L"", buffer, size, profile->path.c_str());
}
extern "C" int WINAPI UTIL_ProfileGetInt(HQMPROFILE profile, LPCWSTR section, LPCWSTR key, int fallback) {
  if (!profile || !section || !key) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return fallback;
  }
  return static_cast<int>(GetPrivateProfileIntW(section, key, fallback, profile->path.c_str()));
}
extern "C" BOOL WINAPI UTIL_ProfileGetFileName(HQMPROFILE profile, LPWSTR buffer, DWORD size) {
  if (!profile) return qm::InvalidArgument<BOOL>();
  return qm::CopyOut(profile->path.c_str(), profile->path.size(), buffer, size);
}

// ---- activity log: UTF-8 lines "day/month/year hh:mm:ss, text"; a log that would
// grow beyond its size limit (0 = none) starts again empty.

struct QmLog_ {
  std::wstring path;
  DWORD maxSize;
};

namespace {
BOOL AppendBytes(HQMLOG log, const void* data, DWORD size) {
  HANDLE file = CreateFileW(log->path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FALSE;
  LARGE_INTEGER length = {};
  GetFileSizeEx(file, &length);
  CloseHandle(file);
  if (log->maxSize && static_cast<ULONGLONG>(length.QuadPart) + size > log->maxSize && !UTIL_ALOG_TruncateLog(log))
    return FALSE;
  file = CreateFileW(log->path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
  if (file == INVALID_HANDLE_VALUE) return FALSE;
  DWORD written = 0;
  BOOL ok = WriteFile(file, data, size, &written, nullptr) && written == size;
  DWORD error = GetLastError();
  CloseHandle(file);
  if (!ok && error == ERROR_SUCCESS) error = ERROR_WRITE_FAULT;
  SetLastError(ok ? ERROR_SUCCESS : error);
  return ok;
}
}  // namespace

extern "C" HQMLOG WINAPI UTIL_ALOG_Init(LPCWSTR path, DWORD maxSize) {
  if (!path || !*path) return qm::InvalidArgument<HQMLOG>();
  auto* log = new (std::nothrow) QmLog_{path, maxSize};
  if (!log) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return log;
}
extern "C" void WINAPI UTIL_ALOG_End(HQMLOG log) { delete log; }

extern "C" BOOL WINAPI UTIL_ALOG_BuildLogRecord(LPCWSTR text, LPWSTR buffer, DWORD size) {
  if (!text) return qm::InvalidArgument<BOOL>();
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t stamp[40];
  swprintf(stamp, 40, L"%02u/%02u/%04u %02u:%02u:%02u, ", now.wDay, now.wMonth, now.wYear, now.wHour, now.wMinute,
           now.wSecond);
  std::wstring record = stamp;
  record += text;
  return qm::CopyOut(record.c_str(), record.size(), buffer, size);
}

extern "C" BOOL WINAPI UTIL_ALOG_Write(HQMLOG log, LPCWSTR text) {
  if (!log || !text) return qm::InvalidArgument<BOOL>();
  std::wstring record(wcslen(text) + 40, L'\0');
  if (!UTIL_ALOG_BuildLogRecord(text, &record[0], static_cast<DWORD>(record.size()))) return FALSE;
  record.resize(wcslen(record.c_str()));
  record += L"\r\n";
  int n = WideCharToMultiByte(CP_UTF8, 0, record.c_str(), static_cast<int>(record.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return FALSE;
  std::string utf8(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, record.c_str(), static_cast<int>(record.size()), &utf8[0], n, nullptr, nullptr);
  return AppendBytes(log, utf8.data(), static_cast<DWORD>(utf8.size()));
}

extern "C" BOOL WINAPI UTIL_ALOG_BlockWrite(HQMLOG log, const void* data, DWORD size) {
  if (!log || (!data && size)) return qm::InvalidArgument<BOOL>();
  return AppendBytes(log, data, size);
}

extern "C" BOOL WINAPI UTIL_ALOG_TruncateLog(HQMLOG log) {
  if (!log) return qm::InvalidArgument<BOOL>();
  HANDLE file = CreateFileW(log->path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FALSE;
  CloseHandle(file);
  return TRUE;
}

// ---- numbered message strings of a module (none = the language module)

struct QmMsgStrings_ {
  HMODULE module;
};

extern "C" HQMMSGSTR WINAPI UTIL_MsgString_Init(HMODULE module) {
  if (!module) module = qmutil::LanguageModule();
  if (!module) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  auto* strings = new (std::nothrow) QmMsgStrings_{module};
  if (!strings) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return strings;
}
extern "C" void WINAPI UTIL_MsgString_End(HQMMSGSTR strings) { delete strings; }
extern "C" BOOL WINAPI UTIL_MsgString_Get(HQMMSGSTR strings, UINT number, LPWSTR buffer, DWORD size) {
  if (!strings) return qm::InvalidArgument<BOOL>();
  std::wstring text = qmutil::LoadText(strings->module, static_cast<int>(number));
  if (text.empty()) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return FALSE;
  }
  return qm::CopyOut(text.c_str(), text.size(), buffer, size);
}

// The format is the platform's wide printf format (%s takes a wide string). Output
// that does not fit is cut at size - 1 characters and the answer is -1.
extern "C" int WINAPI UTIL_mprintf(LPWSTR buffer, DWORD size, LPCWSTR format, va_list args) {
  if (!buffer || size == 0 || !format) return qm::InvalidArgument<int>() - 1;
  int n = _vsnwprintf(buffer, size, format, args);
  if (n < 0 || static_cast<DWORD>(n) >= size) {
    buffer[size - 1] = L'\0';
    return -1;
  }
  return n;
}

// ---- memory of the process heap, zero-filled

extern "C" void* WINAPI UTIL_MemorySubAlloc(SIZE_T size) {
  return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size ? size : 1);
}
extern "C" void WINAPI UTIL_MemorySubFree(void* block) {
  if (block) HeapFree(GetProcessHeap(), 0, block);
}

// ---- system queries

extern "C" BOOL WINAPI UTIL_CheckForFloppy(LPCWSTR path) {
  if (!path || !UTIL_NameHasDriveLetter(path)) return FALSE;
  wchar_t letter = static_cast<wchar_t>(towupper(path[0]));
  if (letter != L'A' && letter != L'B') return FALSE;
  wchar_t root[] = L"A:\\";
  root[0] = letter;
  return GetDriveTypeW(root) == DRIVE_REMOVABLE;
}

extern "C" BOOL WINAPI UTIL_GetOsVersion(DWORD* major, DWORD* minor, DWORD* build) {
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExW(&info)) return FALSE;
#pragma GCC diagnostic pop
  if (major) *major = info.dwMajorVersion;
  if (minor) *minor = info.dwMinorVersion;
  if (build) *build = info.dwBuildNumber;
  return TRUE;
}

extern "C" BOOL WINAPI UTIL_AddMessageToEventLog(LPCWSTR source, WORD type, DWORD eventId, LPCWSTR text) {
  if (!source || !text) return qm::InvalidArgument<BOOL>();
  HANDLE log = RegisterEventSourceW(nullptr, source);
  if (!log) return FALSE;
  LPCWSTR strings[] = {text};
  BOOL ok = ReportEventW(log, type, 0, eventId, nullptr, 1, 0, strings, nullptr);
  DWORD error = GetLastError();
  DeregisterEventSource(log);
  SetLastError(error);
  return ok;
}
