// The results walked and removed by handles whose real place has been checked.
#include "ResultsTree.h"

#include <winternl.h>

#include <vector>

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// NTSTATUS of a buffer too small for the answer.
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);
constexpr NTSTATUS kBufferOverflow = static_cast<NTSTATUS>(0x80000005L);

}  // namespace

std::wstring ObjectNameOf(HANDLE handle) {
  std::vector<unsigned char> buffer(1024);
  for (int attempt = 0; attempt < 4; ++attempt) {
    ULONG needed = 0;
    const NTSTATUS status = NtQueryObject(handle, ObjectNameInformation, buffer.data(),
                                          static_cast<ULONG>(buffer.size()), &needed);
    if (status == kInfoLengthMismatch || status == kBufferOverflow) {
      buffer.resize(needed > buffer.size() ? needed + sizeof(wchar_t) : buffer.size() * 2);
      continue;
    }
    if (status < 0) return std::wstring();
    const UNICODE_STRING* name = reinterpret_cast<const UNICODE_STRING*>(buffer.data());
    if (!name->Buffer) return std::wstring();
    return std::wstring(name->Buffer, name->Length / sizeof(wchar_t));
  }
  return std::wstring();
}

namespace {

// The platform neither deletes a read-only file nor renames another file onto it.
void ClearReadOnly(HANDLE handle) {
  FileFacts facts;
  if (!FileFactsOf(handle, &facts) || !(facts.attributes & FILE_ATTRIBUTE_READONLY)) return;
  FILE_BASIC_INFO basic = {};
  basic.FileAttributes = facts.attributes & ~FILE_ATTRIBUTE_READONLY;
  if (!basic.FileAttributes) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic);
}

bool SameName(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

}  // namespace

std::wstring WideNameOf(const std::string& name) {
  if (name.empty()) return std::wstring();
  const int length = MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
  std::wstring wide(length > 0 ? static_cast<size_t>(length) : 0, L'\0');
  if (length > 0) MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), &wide[0], length);
  return wide;
}

std::wstring LongPathOf(const std::string& path) {
  std::wstring wide = WideNameOf(path);
  if (wide.compare(0, 4, L"\\\\?\\") == 0) return wide;
  for (wchar_t& c : wide)
    if (c == L'/') c = L'\\';
  std::wstring head;
  size_t at = 0;
  if (wide.size() >= 3 && wide[1] == L':' && wide[2] == L'\\') {
    head = L"\\\\?\\" + wide.substr(0, 2);
    at = 3;
  } else if (wide.compare(0, 2, L"\\\\") == 0) {
    head = L"\\\\?\\UNC";
    at = 2;
  } else {
    // Not absolute: only the platform knows what it stands for; the result is no long
    // path, and reaches what the platform reaches.
    return wide;
  }
  // "." and ".." resolved here: a long path takes every name literally.
  std::vector<std::wstring> names;
  while (at <= wide.size()) {
    size_t end = wide.find(L'\\', at);
    if (end == std::wstring::npos) end = wide.size();
    const std::wstring name = wide.substr(at, end - at);
    if (name == L"..") {
      if (!names.empty()) names.pop_back();
    } else if (!name.empty() && name != L".") {
      names.push_back(name);
    }
    at = end + 1;
  }
  for (const std::wstring& name : names) head += L"\\" + name;
  // A drive's root keeps its backslash: "\\?\C:" alone names the volume itself.
  if (names.empty() && head.back() == L':') head += L'\\';
  return head;
}

bool AnsiNameOf(const std::wstring& name, std::string* ansi) {
  ansi->clear();
  if (name.empty()) return true;
  BOOL usedDefault = FALSE;
  const int size = static_cast<int>(name.size());
  const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.data(), size, nullptr, 0, nullptr,
                                         &usedDefault);
  if (length <= 0) return false;
  ansi->resize(static_cast<size_t>(length));
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.data(), size, &(*ansi)[0], length, nullptr, &usedDefault);
  return !usedDefault;
}

bool FileFactsOf(HANDLE handle, FileFacts* facts) {
  FILE_BASIC_INFO basic;
  FILE_STANDARD_INFO standard;
  if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) ||
      !GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard))
    return false;
  facts->attributes = basic.FileAttributes;
  facts->folder = (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  facts->links = standard.NumberOfLinks;
  facts->size = static_cast<unsigned long long>(standard.EndOfFile.QuadPart);
  facts->lastWrite.dwLowDateTime = basic.LastWriteTime.LowPart;
  facts->lastWrite.dwHighDateTime = static_cast<DWORD>(basic.LastWriteTime.HighPart);
  return true;
}

RealFolder::RealFolder(std::wstring path, std::wstring objectName)
    : path_(std::move(path)), objectName_(std::move(objectName)) {}

RealFolder RealFolder::Open(const std::string& path) {
  const std::wstring longPath = LongPathOf(path);
  FileHandle handle(CreateFileW(longPath.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  FileFacts facts;
  if (!handle || !FileFactsOf(handle.get(), &facts) || !facts.folder) return RealFolder();
  std::wstring objectName = ObjectNameOf(handle.get());
  if (objectName.empty()) return RealFolder();
  return RealFolder(longPath, std::move(objectName));
}

std::vector<RealFolder::Entry> RealFolder::List() const {
  std::vector<Entry> entries;
  if (!Valid()) return entries;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(PathOf(L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return entries;
  FindHandle held(search);
  do {
    if (IsDotEntry(found.cFileName)) continue;
    entries.push_back({found.cFileName, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileW(held.get(), &found));
  return entries;
}

bool RealFolder::IsInside(HANDLE handle, const std::wstring& name) const {
  std::wstring expected = objectName_;
  if (expected.empty() || expected.back() != L'\\') expected += L'\\';
  return SameName(ObjectNameOf(handle), expected + name);
}

bool RealFolder::Holds(HANDLE handle) const {
  if (!Valid()) return false;
  std::wstring inside = objectName_;
  if (inside.back() != L'\\') inside += L'\\';
  const std::wstring name = ObjectNameOf(handle);
  return name.size() > inside.size() && SameName(name.substr(0, inside.size()), inside);
}

FileHandle RealFolder::OpenEntry(const std::wstring& name, DWORD access, Kind* kind, DWORD flags) const {
  *kind = Kind::Unopenable;
  if (!Valid()) return FileHandle();
  FileHandle handle(CreateFileW(PathOf(name).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr));
  if (!handle) return FileHandle();
  FileFacts facts;
  if (!FileFactsOf(handle.get(), &facts)) return FileHandle();
  // A file with a second name elsewhere is as much another place's as a link is.
  const bool moreNames = !facts.folder && facts.links > 1;
  if (moreNames || !IsInside(handle.get(), name)) {
    *kind = Kind::Link;
    return FileHandle();
  }
  *kind = Kind::Itself;
  return handle;
}

RealFolder RealFolder::Child(const std::wstring& name, Kind* kind) const {
  Kind found;
  FileHandle handle = OpenEntry(name, FILE_READ_ATTRIBUTES, &found);
  if (kind) *kind = found;
  FileFacts facts;
  if (!handle || !FileFactsOf(handle.get(), &facts) || !facts.folder) return RealFolder();
  return RealFolder(PathOf(name), ObjectNameOf(handle.get()));
}

bool RealFolder::Remove(const std::wstring& name) const {
  if (!Valid()) return false;
  // Opened as the link itself where the platform can; where it cannot (Wine), the handle
  // is what the link points to, which the check below refuses to delete.
  FileHandle handle(CreateFileW(PathOf(name).c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!handle || !IsInside(handle.get(), name)) return false;
  ClearReadOnly(handle.get());
  FILE_DISPOSITION_INFO disposition = {TRUE};
  return SetFileInformationByHandle(handle.get(), FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

void RealFolder::MakeReplaceable(const std::wstring& name) const {
  Kind kind;
  FileHandle handle = OpenEntry(name, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, &kind);
  if (handle) ClearReadOnly(handle.get());
}

bool RealFolder::Empty() const {
  // An explicit stack instead of recursion: a tree of any depth needs a fixed amount of
  // the thread's stack.
  struct Level {
    RealFolder folder;
    std::wstring name;  // in the folder one level up
    std::vector<Entry> entries;
    size_t next = 0;
  };
  bool allGone = true;
  std::vector<Level> levels;
  levels.push_back({*this, std::wstring(), List()});
  while (!levels.empty()) {
    if (levels.back().next == levels.back().entries.size()) {
      const std::wstring name = levels.back().name;
      levels.pop_back();
      if (!levels.empty() && !levels.back().folder.Remove(name)) allGone = false;
      continue;
    }
    const Entry entry = levels.back().entries[levels.back().next++];
    const RealFolder folder = levels.back().folder;
    if (entry.folder) {
      RealFolder child = folder.Child(entry.name);
      if (child.Valid()) {
        std::vector<Entry> inside = child.List();
        levels.push_back({std::move(child), entry.name, std::move(inside)});
        continue;
      }
    }
    if (!folder.Remove(entry.name)) allGone = false;
  }
  return allGone;
}
