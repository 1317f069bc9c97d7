// Our stand-in of another vendor's library QMKRNLU.DLL, for development and tests; not part of what we ship.
// QMKRNLU.DLL stand-in: files, disks, memory, strings and lists over the platform.
//
// Not provided (they answer 0/FALSE, or nothing, with ERROR_CALL_NOT_IMPLEMENTED):
// raw sector access and floppy controller queries (KRNL_DiskRead, KRNL_DiskWrite,
// KRNL_DiskGetFloppyStatus, KRNL_DiskGetFloppyType, KRNL_DiskIsDriveLocked), the
// real-mode copy (KRNL_V86_MEMCPY, KRNL_V86_END), the stream family (KRNL_StreamInit,
// KRNL_StreamEnd, KRNL_OpenFileStream, KRNL_QvGetWord, KRNL_QvGetByte,
// KRNL_CreateTempFileStream, KRNL_CopyStream) and the processor serial number and
// feature flags (KRNL_CPU_GetSerialNumber, KRNL_CPU_GetFlags).
#include "qmimpl.h"

#include <new>
#include <string>
#include <vector>

namespace {

bool Attributes(LPCWSTR path, DWORD* attributes) {
  if (!path || !*path) return false;
  DWORD a = GetFileAttributesW(path);
  if (a == INVALID_FILE_ATTRIBUTES) return false;
  *attributes = a;
  return true;
}

bool Usable(HANDLE file) { return file && file != INVALID_HANDLE_VALUE; }

}  // namespace

struct QmString_ {
  std::wstring text;
};
struct QmList_ {
  std::vector<void*> items;  // head first
};

QM_NOT_IMPLEMENTED(BOOL, KRNL_DiskRead, (int, DWORD, DWORD, void*))
QM_NOT_IMPLEMENTED(BOOL, KRNL_DiskWrite, (int, DWORD, DWORD, const void*))
QM_NOT_IMPLEMENTED(DWORD, KRNL_DiskGetFloppyStatus, (int))
QM_NOT_IMPLEMENTED(DWORD, KRNL_DiskGetFloppyType, (int))
QM_NOT_IMPLEMENTED(BOOL, KRNL_DiskIsDriveLocked, (int))
QM_NOT_IMPLEMENTED(BOOL, KRNL_V86_MEMCPY, (void*, DWORD, SIZE_T))
QM_NOT_IMPLEMENTED(void, KRNL_V86_END, (void))
QM_NOT_IMPLEMENTED(BOOL, KRNL_StreamInit, (void))
QM_NOT_IMPLEMENTED(void, KRNL_StreamEnd, (void))
QM_NOT_IMPLEMENTED(BOOL, KRNL_OpenFileStream, (LPCWSTR, HQMSTREAM*))
QM_NOT_IMPLEMENTED(BOOL, KRNL_QvGetWord, (HQMSTREAM, WORD*))
QM_NOT_IMPLEMENTED(BOOL, KRNL_QvGetByte, (HQMSTREAM, BYTE*))
QM_NOT_IMPLEMENTED(BOOL, KRNL_CreateTempFileStream, (HQMSTREAM*))
QM_NOT_IMPLEMENTED(BOOL, KRNL_CopyStream, (HQMSTREAM, HQMSTREAM))
QM_NOT_IMPLEMENTED(BOOL, KRNL_CPU_GetSerialNumber, (LPWSTR, DWORD))
QM_NOT_IMPLEMENTED(DWORD, KRNL_CPU_GetFlags, (void))

// ---- disks

extern "C" BOOL WINAPI KRNL_DiskGetSpace(LPCWSTR root, ULONGLONG* total, ULONGLONG* freeBytes) {
  ULARGE_INTEGER avail, all, unused;
  if (!GetDiskFreeSpaceExW(root, &avail, &all, &unused)) return FALSE;
  if (total) *total = all.QuadPart;
  if (freeBytes) *freeBytes = avail.QuadPart;
  return TRUE;
}

extern "C" BOOL WINAPI KRNL_TestFreeSpace(LPCWSTR path, ULONGLONG bytesNeeded) {
  ULONGLONG freeBytes = 0;
  if (!KRNL_DiskGetSpace(path, nullptr, &freeBytes)) return FALSE;
  if (freeBytes >= bytesNeeded) return TRUE;
  SetLastError(ERROR_DISK_FULL);
  return FALSE;
}

extern "C" BOOL WINAPI KRNL_DiskGetInfo(LPCWSTR root, DWORD* sectorsPerCluster, DWORD* bytesPerSector,
                                        DWORD* freeClusters, DWORD* totalClusters) {
  DWORD s = 0, b = 0, f = 0, t = 0;
  if (!GetDiskFreeSpaceW(root, &s, &b, &f, &t)) return FALSE;
  if (sectorsPerCluster) *sectorsPerCluster = s;
  if (bytesPerSector) *bytesPerSector = b;
  if (freeClusters) *freeClusters = f;
  if (totalClusters) *totalClusters = t;
  return TRUE;
}

extern "C" UINT WINAPI KRNL_DiskGetType(LPCWSTR root) { return GetDriveTypeW(root); }

// Drive numbers count from 0 for A:; only A: and B: are floppy drives.
extern "C" BOOL WINAPI KRNL_DiskIsFloppy(int drive) {
  if (drive < 0 || drive > 1) return FALSE;
  wchar_t root[] = L"A:\\";
  root[0] = static_cast<wchar_t>(L'A' + drive);
  return GetDriveTypeW(root) == DRIVE_REMOVABLE;
}

// ---- files

extern "C" HANDLE WINAPI KRNL_FileOpen(LPCWSTR path, DWORD access) {
  if (!path) return qm::InvalidArgument<HANDLE>();
  if (access == 0) access = GENERIC_READ;
  HANDLE h = CreateFileW(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

extern "C" HANDLE WINAPI KRNL_FileCreate(LPCWSTR path, DWORD attributes) {
  if (!path) return qm::InvalidArgument<HANDLE>();
  HANDLE h = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                         attributes ? attributes : FILE_ATTRIBUTE_NORMAL, nullptr);
  return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

extern "C" BOOL WINAPI KRNL_FileClose(HANDLE file) {
  if (!Usable(file)) return qm::InvalidArgument<BOOL>();
  return CloseHandle(file);
}

extern "C" DWORD WINAPI KRNL_FileRead(HANDLE file, void* buffer, DWORD size) {
  if (!Usable(file) || (!buffer && size)) return qm::InvalidArgument<DWORD>();
  DWORD done = 0;
  return ReadFile(file, buffer, size, &done, nullptr) ? done : 0;
}

extern "C" DWORD WINAPI KRNL_FileWrite(HANDLE file, const void* data, DWORD size) {
  if (!Usable(file) || (!data && size)) return qm::InvalidArgument<DWORD>();
  DWORD done = 0;
  return WriteFile(file, data, size, &done, nullptr) ? done : 0;
}

extern "C" BOOL WINAPI KRNL_FileWriteAnsi(HANDLE file, LPCWSTR text) {
  if (!Usable(file) || !text) return qm::InvalidArgument<BOOL>();
  int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return FALSE;
  std::string ansi(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, &ansi[0], n, nullptr, nullptr);
  DWORD length = static_cast<DWORD>(n - 1);
  return KRNL_FileWrite(file, ansi.data(), length) == length;
}

extern "C" BOOL WINAPI KRNL_FileSeek(HANDLE file, LONGLONG offset, DWORD origin, LONGLONG* position) {
  if (!Usable(file) || origin > FILE_END) return qm::InvalidArgument<BOOL>();
  LARGE_INTEGER move, now;
  move.QuadPart = offset;
  if (!SetFilePointerEx(file, move, &now, origin)) return FALSE;
  if (position) *position = now.QuadPart;
  return TRUE;
}

extern "C" BOOL WINAPI KRNL_FileEof(HANDLE file) {
  LONGLONG here = 0;
  ULONGLONG size = 0;
  if (!KRNL_FileSeek(file, 0, FILE_CURRENT, &here) || !KRNL_FileGetSize(file, &size)) return FALSE;
  return static_cast<ULONGLONG>(here) >= size;
}

extern "C" BOOL WINAPI KRNL_FileGetSize(HANDLE file, ULONGLONG* size) {
  if (!Usable(file) || !size) return qm::InvalidArgument<BOOL>();
  LARGE_INTEGER s;
  if (!GetFileSizeEx(file, &s)) return FALSE;
  *size = static_cast<ULONGLONG>(s.QuadPart);
  return TRUE;
}

// Sets the end of the file and leaves the file position where it was (or at the new
// end when it was beyond it).
extern "C" BOOL WINAPI KRNL_FileSetSize(HANDLE file, ULONGLONG size) {
  LONGLONG here = 0;
  if (!KRNL_FileSeek(file, 0, FILE_CURRENT, &here)) return FALSE;
  if (!KRNL_FileSeek(file, static_cast<LONGLONG>(size), FILE_BEGIN, nullptr) || !SetEndOfFile(file)) {
    KRNL_FileSeek(file, here, FILE_BEGIN, nullptr);
    return FALSE;
  }
  if (static_cast<ULONGLONG>(here) < size) KRNL_FileSeek(file, here, FILE_BEGIN, nullptr);
  return TRUE;
}

extern "C" BOOL WINAPI KRNL_FileChangeSize(HANDLE file, LONGLONG delta) {
  ULONGLONG size = 0;
  if (!KRNL_FileGetSize(file, &size)) return FALSE;
  if (delta < 0 && static_cast<ULONGLONG>(-delta) > size) return qm::InvalidArgument<BOOL>();
  return KRNL_FileSetSize(file, size + delta);
}

extern "C" BOOL WINAPI KRNL_FileDelete(LPCWSTR path) {
  if (!path) return qm::InvalidArgument<BOOL>();
  return DeleteFileW(path);
}

extern "C" BOOL WINAPI KRNL_FileExists(LPCWSTR path) {
  DWORD a = 0;
  return Attributes(path, &a) && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

extern "C" BOOL WINAPI KRNL_FolderExists(LPCWSTR path) {
  DWORD a = 0;
  return Attributes(path, &a) && (a & FILE_ATTRIBUTE_DIRECTORY);
}

extern "C" BOOL WINAPI KRNL_FileSize(LPCWSTR path, ULONGLONG* size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!size || !KRNL_FileGetAttributesEx(path, &data)) return FALSE;
  *size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return TRUE;
}

extern "C" ULONGLONG WINAPI KRNL_FileLength(LPCWSTR path) {
  ULONGLONG size = 0;
  return KRNL_FileSize(path, &size) ? size : 0;
}

extern "C" DWORD WINAPI KRNL_FileGetAttributes(LPCWSTR path) {
  if (!path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_FILE_ATTRIBUTES;
  }
  return GetFileAttributesW(path);
}

extern "C" BOOL WINAPI KRNL_FileGetAttributesEx(LPCWSTR path, WIN32_FILE_ATTRIBUTE_DATA* data) {
  if (!path || !data) return qm::InvalidArgument<BOOL>();
  return GetFileAttributesExW(path, GetFileExInfoStandard, data);
}

extern "C" BOOL WINAPI KRNL_FileSetAttributes(LPCWSTR path, DWORD attributes) {
  if (!path) return qm::InvalidArgument<BOOL>();
  return SetFileAttributesW(path, attributes);
}

namespace {
bool SetTimes(LPCWSTR path, const FILETIME* created, const FILETIME* accessed, const FILETIME* written) {
  HANDLE h = CreateFileW(path, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BOOL ok = SetFileTime(h, created, accessed, written);
  DWORD error = GetLastError();
  CloseHandle(h);
  SetLastError(error);
  return ok != FALSE;
}
}  // namespace

// Sets the times first: a read-only attribute set first would refuse them.
extern "C" BOOL WINAPI KRNL_FileSetAttributesEx(LPCWSTR path, const WIN32_FILE_ATTRIBUTE_DATA* data) {
  if (!path || !data) return qm::InvalidArgument<BOOL>();
  if (!SetTimes(path, &data->ftCreationTime, &data->ftLastAccessTime, &data->ftLastWriteTime)) return FALSE;
  return SetFileAttributesW(path, data->dwFileAttributes);
}

extern "C" BOOL WINAPI KRNL_FileSetLastAccess(LPCWSTR path, const FILETIME* time) {
  if (!path || !time) return qm::InvalidArgument<BOOL>();
  return SetTimes(path, nullptr, time, nullptr);
}

extern "C" BOOL WINAPI KRNL_FileGetLastAccess(LPCWSTR path, FILETIME* time) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!time || !KRNL_FileGetAttributesEx(path, &data)) return FALSE;
  *time = data.ftLastAccessTime;
  return TRUE;
}

// Creates the file (empty) so that the name stays unique until the caller uses it.
extern "C" BOOL WINAPI KRNL_FileGetUniqueNameEx(LPCWSTR folder, LPCWSTR prefix, LPCWSTR extension,
                                                LPWSTR buffer, DWORD size) {
  if (!folder || !buffer || size == 0) return qm::InvalidArgument<BOOL>();
  std::wstring base = folder;
  if (!base.empty() && base.back() != L'\\') base += L'\\';
  base += prefix ? prefix : L"QM";
  DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    wchar_t number[16];
    swprintf(number, 16, L"%04X", static_cast<unsigned>((seed + attempt) & 0xFFFF));
    std::wstring name = base + number;
    if (extension && *extension) name += (*extension == L'.' ? L"" : L".") + std::wstring(extension);
    HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      CloseHandle(h);
      if (qm::CopyOut(name.c_str(), name.size(), buffer, size)) return TRUE;
      DeleteFileW(name.c_str());
      return FALSE;
    }
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) return FALSE;
  }
  SetLastError(ERROR_FILE_EXISTS);
  return FALSE;
}

extern "C" BOOL WINAPI KRNL_FileGetUniqueName(LPCWSTR folder, LPCWSTR prefix, LPWSTR buffer, DWORD size) {
  return KRNL_FileGetUniqueNameEx(folder, prefix, L"TMP", buffer, size);
}

extern "C" BOOL WINAPI KRNL_FileCanCreate(LPCWSTR path) {
  if (!path || !*path) return qm::InvalidArgument<BOOL>();
  if (KRNL_FileExists(path)) {
    HANDLE h = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return FALSE;
    CloseHandle(h);
    return TRUE;
  }
  HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return FALSE;
  CloseHandle(h);
  DeleteFileW(path);
  return TRUE;
}

extern "C" BOOL WINAPI KRNL_FileRename(LPCWSTR from, LPCWSTR to) {
  if (!from || !to) return qm::InvalidArgument<BOOL>();
  return MoveFileW(from, to);
}

extern "C" BOOL WINAPI KRNL_FileMove(LPCWSTR from, LPCWSTR to) {
  if (!from || !to) return qm::InvalidArgument<BOOL>();
  return MoveFileExW(from, to, MOVEFILE_COPY_ALLOWED | MOVEFILE_REPLACE_EXISTING);
}

// A folder can be created when it exists already or its parent folder exists.
extern "C" BOOL WINAPI KRNL_FolderCanCreate(LPCWSTR path) {
  if (!path || !*path) return qm::InvalidArgument<BOOL>();
  if (KRNL_FolderExists(path)) return TRUE;
  std::wstring parent = path;
  while (!parent.empty() && parent.back() == L'\\') parent.pop_back();
  size_t cut = parent.find_last_of(L'\\');
  if (cut == std::wstring::npos) return FALSE;
  parent.resize(cut + 1);
  return KRNL_FolderExists(parent.c_str());
}

extern "C" BOOL WINAPI KRNL_FileSystemGetType(LPCWSTR root, LPWSTR buffer, DWORD size) {
  if (!buffer || size == 0) return qm::InvalidArgument<BOOL>();
  wchar_t name[MAX_PATH + 1];
  if (!GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, nullptr, name, MAX_PATH + 1)) return FALSE;
  return qm::CopyOut(name, buffer, size);
}

// ---- memory: zero-filled blocks of the process heap, so that any module may free them.

extern "C" void* WINAPI KRNL_MemoryPermAlloc(SIZE_T size) {
  return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size ? size : 1);
}
extern "C" void WINAPI KRNL_MemoryPermFree(void* block) {
  if (block) HeapFree(GetProcessHeap(), 0, block);
}
extern "C" void* WINAPI KRNL_MemoryTempAlloc(SIZE_T size) { return KRNL_MemoryPermAlloc(size); }
extern "C" void WINAPI KRNL_MemoryTempFree(void* block) { KRNL_MemoryPermFree(block); }

// ---- strings

extern "C" HQMSTRING WINAPI KRNL_String_Init(LPCWSTR text) {
  auto* s = new (std::nothrow) QmString_;
  if (s && text) s->text = text;
  return s;
}
extern "C" void WINAPI KRNL_String_End(HQMSTRING string) { delete string; }
extern "C" LPCWSTR WINAPI KRNL_String_Get(HQMSTRING string) {
  return string ? string->text.c_str() : qm::InvalidArgument<LPCWSTR>();
}
extern "C" BOOL WINAPI KRNL_String_AppendPtr(HQMSTRING string, LPCWSTR text) {
  if (!string || !text) return qm::InvalidArgument<BOOL>();
  string->text += text;
  return TRUE;
}
extern "C" BOOL WINAPI KRNL_String_Append(HQMSTRING string, HQMSTRING other) {
  if (!string || !other) return qm::InvalidArgument<BOOL>();
  string->text += std::wstring(other->text);  // a copy first: other may be string itself
  return TRUE;
}
extern "C" BOOL WINAPI KRNL_String_Contains(HQMSTRING string, LPCWSTR text) {
  if (!string || !text) return qm::InvalidArgument<BOOL>();
  return string->text.find(text) != std::wstring::npos;
}
extern "C" DWORD WINAPI KRNL_String_Length(HQMSTRING string) {
  return string ? static_cast<DWORD>(string->text.size()) : 0;
}
extern "C" int WINAPI KRNL_String_ComparePtr(HQMSTRING string, LPCWSTR text) {
  if (!string || !text) return qm::InvalidArgument<int>();
  int c = wcscmp(string->text.c_str(), text);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}
extern "C" int WINAPI KRNL_String_Compare(HQMSTRING string, HQMSTRING other) {
  if (!other) return qm::InvalidArgument<int>();
  return KRNL_String_ComparePtr(string, other->text.c_str());
}
extern "C" void WINAPI KRNL_String_Upper(HQMSTRING string) {
  if (string && !string->text.empty()) CharUpperBuffW(&string->text[0], static_cast<DWORD>(string->text.size()));
}
extern "C" void WINAPI KRNL_String_Lower(HQMSTRING string) {
  if (string && !string->text.empty()) CharLowerBuffW(&string->text[0], static_cast<DWORD>(string->text.size()));
}
extern "C" BOOL WINAPI KRNL_String_FindFirstChar(HQMSTRING string, WCHAR c, DWORD* position) {
  if (!string || !position) return qm::InvalidArgument<BOOL>();
  size_t at = string->text.find(c);
  if (at == std::wstring::npos) return FALSE;
  *position = static_cast<DWORD>(at);
  return TRUE;
}
// Continues after *position, as left by the previous find.
extern "C" BOOL WINAPI KRNL_String_FindNextChar(HQMSTRING string, WCHAR c, DWORD* position) {
  if (!string || !position) return qm::InvalidArgument<BOOL>();
  size_t at = string->text.find(c, static_cast<size_t>(*position) + 1);
  if (at == std::wstring::npos) return FALSE;
  *position = static_cast<DWORD>(at);
  return TRUE;
}

// ---- lists of item pointers; the items stay the caller's.

extern "C" HQMLIST WINAPI KRNL_LinkedList_Init(void) { return new (std::nothrow) QmList_; }
extern "C" void WINAPI KRNL_LinkedList_End(HQMLIST list) { delete list; }
extern "C" BOOL WINAPI KRNL_LinkedList_AddHead(HQMLIST list, void* item) {
  return KRNL_LinkedList_InsertAt(list, 0, item);
}
extern "C" void* WINAPI KRNL_LinkedList_RemoveTail(HQMLIST list) {
  if (!list || list->items.empty()) return nullptr;
  void* item = list->items.back();
  list->items.pop_back();
  return item;
}
extern "C" DWORD WINAPI KRNL_LinkedList_GetCount(HQMLIST list) {
  return list ? static_cast<DWORD>(list->items.size()) : 0;
}
extern "C" void* WINAPI KRNL_LinkedList_PeekAt(HQMLIST list, DWORD index) {
  if (!list || index >= list->items.size()) return qm::InvalidArgument<void*>();
  return list->items[index];
}
extern "C" void* WINAPI KRNL_LinkedList_RemoveAt(HQMLIST list, DWORD index) {
  if (!list || index >= list->items.size()) return qm::InvalidArgument<void*>();
  void* item = list->items[index];
  list->items.erase(list->items.begin() + index);
  return item;
}
extern "C" BOOL WINAPI KRNL_LinkedList_InsertAt(HQMLIST list, DWORD index, void* item) {
  if (!list || index > list->items.size()) return qm::InvalidArgument<BOOL>();
  try {
    list->items.insert(list->items.begin() + index, item);
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  return TRUE;
}

// ---- debugging aids: text goes to the debugger only.

extern "C" void WINAPI KRNL_AssertCheck(BOOL condition, LPCWSTR file, int line) {
  if (condition) return;
  wchar_t text[512];
  swprintf(text, 512, L"QMKRNLU: assertion failed at %ls(%d)\n", file ? file : L"?", line);
  OutputDebugStringW(text);
}
extern "C" BOOL WINAPI KRNL_DebugInitialize(LPCWSTR) { return TRUE; }
extern "C" void WINAPI KRNL_DebugUninitialize(void) {}
extern "C" void WINAPI KRNL_DebugTrace(LPCWSTR text) {
  if (text) OutputDebugStringW(text);
}

extern "C" DWORD WINAPI KRNL_CPU_GetType(void) {
  SYSTEM_INFO info;
  GetNativeSystemInfo(&info);
  return info.dwProcessorType;
}
