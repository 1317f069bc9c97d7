// Our stand-in of another vendor's library QMUTILU.DLL, for development and tests; not part of what we ship.
// QMUTILU.DLL: path-name functions. Separators are backslashes; a forward slash is
// accepted wherever a path is split. The ...Ex forms take the computer the path
// belongs to; those that ask the file system reach it through the administrative
// share of that computer.
#include "UtilInternal.h"

#include <cwctype>
#include <string>

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Length of the root: "X:\" or "X:", "\\server\share\" or "\\server\share", "\".
size_t RootLength(const std::wstring& p) {
  if (p.size() >= 2 && iswalpha(p[0]) && p[1] == L':') return p.size() >= 3 && IsSeparator(p[2]) ? 3 : 2;
  if (p.size() >= 2 && IsSeparator(p[0]) && IsSeparator(p[1])) {
    size_t server = p.find_first_of(L"\\/", 2);
    if (server == std::wstring::npos) return p.size();
    size_t share = p.find_first_of(L"\\/", server + 1);
    return share == std::wstring::npos ? p.size() : share + 1;
  }
  return !p.empty() && IsSeparator(p[0]) ? 1 : 0;
}

// Start of the last component (the file part).
size_t FileStart(const std::wstring& p) {
  size_t root = RootLength(p);
  size_t cut = p.find_last_of(L"\\/");
  size_t start = cut == std::wstring::npos ? 0 : cut + 1;
  return start < root ? root : start;
}

// Position of the extension's dot in the file part, or npos.
size_t ExtensionDot(const std::wstring& p) {
  size_t dot = p.find_last_of(L'.');
  return dot == std::wstring::npos || dot < FileStart(p) ? std::wstring::npos : dot;
}

bool EqualsNoCase(const wchar_t* a, int aLength, const wchar_t* b, int bLength) {
  return CompareStringOrdinal(a, aLength, b, bLength, TRUE) == CSTR_EQUAL;
}

bool IsDeviceName(std::wstring base) {
  size_t dot = base.find(L'.');
  if (dot != std::wstring::npos) base.resize(dot);
  while (!base.empty() && base.back() == L' ') base.pop_back();
  static const wchar_t* const kFixed[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CLOCK$"};
  for (const wchar_t* d : kFixed)
    if (EqualsNoCase(base.c_str(), -1, d, -1)) return true;
  if (base.size() == 4 && base[3] >= L'1' && base[3] <= L'9' &&
      (EqualsNoCase(base.c_str(), 3, L"COM", 3) || EqualsNoCase(base.c_str(), 3, L"LPT", 3)))
    return true;
  return false;
}

BOOL Answer(bool yes) {
  SetLastError(ERROR_SUCCESS);
  return yes ? TRUE : FALSE;
}

}  // namespace

namespace qmutil {

bool IsThisComputer(LPCWSTR server) {
  if (!server || !*server) return true;
  while (*server == L'\\') ++server;
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(name, &size)) return false;
  return EqualsNoCase(server, -1, name, -1);
}

std::wstring RemotePath(LPCWSTR server, LPCWSTR path) {
  std::wstring p = path ? path : L"";
  if (IsThisComputer(server) || p.size() < 2 || !iswalpha(p[0]) || p[1] != L':') return p;
  while (*server == L'\\') ++server;
  std::wstring unc = L"\\\\" + std::wstring(server) + L"\\" + p[0] + L"$";
  std::wstring rest = p.substr(2);
  if (rest.empty() || !IsSeparator(rest[0])) unc += L'\\';
  return unc + rest;
}

}  // namespace qmutil

extern "C" BOOL WINAPI UTIL_NameAppendFile(LPWSTR path, DWORD size, LPCWSTR file) {
  if (!path || !file || size == 0) return qm::InvalidArgument<BOOL>();
  std::wstring p = path;
  if (!p.empty() && !IsSeparator(p.back())) p += L'\\';
  while (IsSeparator(*file)) ++file;
  p += file;
  return qm::CopyOut(p.c_str(), p.size(), path, size);
}

extern "C" BOOL WINAPI UTIL_NameAppendExtension(LPWSTR path, DWORD size, LPCWSTR extension) {
  if (!path || !extension || size == 0) return qm::InvalidArgument<BOOL>();
  std::wstring p = path;
  if (*extension != L'.') p += L'.';
  p += extension;
  return qm::CopyOut(p.c_str(), p.size(), path, size);
}

extern "C" BOOL WINAPI UTIL_NameReturnFile(LPCWSTR path, LPWSTR buffer, DWORD size) {
  if (!path) return qm::InvalidArgument<BOOL>();
  std::wstring p = path;
  return qm::CopyOut(p.c_str() + FileStart(p), buffer, size);
}

// The buffer always receives the extension (empty when there is none), so that a
// caller never compares what an earlier call left in it.
extern "C" BOOL WINAPI UTIL_NameReturnExtension(LPCWSTR path, LPWSTR buffer, DWORD size) {
  if (!path) return qm::InvalidArgument<BOOL>();
  std::wstring p = path;
  size_t dot = ExtensionDot(p);
  const wchar_t* extension = dot == std::wstring::npos ? L"" : p.c_str() + dot + 1;
  return qm::CopyOut(extension, buffer, size) && *extension;
}

extern "C" BOOL WINAPI UTIL_NameStripFile(LPWSTR path) {
  if (!path) return qm::InvalidArgument<BOOL>();
  std::wstring p = path;
  size_t start = FileStart(p);
  if (start == p.size()) return FALSE;
  size_t end = start;
  if (end > RootLength(p) && IsSeparator(p[end - 1])) --end;
  path[end] = L'\0';
  return TRUE;
}

extern "C" BOOL WINAPI UTIL_NameStripExtension(LPWSTR path) {
  if (!path) return qm::InvalidArgument<BOOL>();
  size_t dot = ExtensionDot(path);
  if (dot == std::wstring::npos) return FALSE;
  path[dot] = L'\0';
  return TRUE;
}

extern "C" BOOL WINAPI UTIL_NameHasDriveLetter(LPCWSTR path) {
  return path && iswalpha(path[0]) && path[1] == L':';
}

extern "C" BOOL WINAPI UTIL_NameIsUNCPath(LPCWSTR path) {
  return path && IsSeparator(path[0]) && IsSeparator(path[1]) && path[2] && !IsSeparator(path[2]) &&
         path[2] != L'?' && path[2] != L'.';
}

extern "C" LPCWSTR WINAPI UTIL_NameStripServerNameFromUNCPath(LPCWSTR path) {
  if (!UTIL_NameIsUNCPath(path)) return nullptr;
  const wchar_t* p = path + 2;
  while (*p && !IsSeparator(*p)) ++p;
  while (IsSeparator(*p)) ++p;
  return *p ? p : nullptr;
}

extern "C" BOOL WINAPI UTIL_NameReturnServerName(LPCWSTR path, LPWSTR buffer, DWORD size) {
  if (!UTIL_NameIsUNCPath(path)) return FALSE;
  const wchar_t* end = path + 2;
  while (*end && !IsSeparator(*end)) ++end;
  return qm::CopyOut(path + 2, static_cast<size_t>(end - path - 2), buffer, size);
}

// Keeps the root and the file name; what lies between becomes "...".
extern "C" BOOL WINAPI UTIL_NameShortenFile(LPCWSTR path, LPWSTR buffer, DWORD size) {
  if (!path || !buffer || size == 0) return qm::InvalidArgument<BOOL>();
  std::wstring p = path;
  if (p.size() < size) return qm::CopyOut(p.c_str(), p.size(), buffer, size);
  std::wstring shortened = p.substr(0, RootLength(p)) + L"...\\" + p.substr(FileStart(p));
  return qm::CopyOut(shortened.c_str(), shortened.size(), buffer, size);
}

namespace {
template <typename F>
BOOL AskPathName(F call, LPCWSTR path, LPWSTR buffer, DWORD size) {
  if (!path || !buffer || size == 0) return qm::InvalidArgument<BOOL>();
  DWORD need = call(path, nullptr, 0);
  if (need == 0) return FALSE;
  std::wstring out(need, L'\0');
  DWORD got = call(path, &out[0], need);
  if (got == 0 || got >= need) return FALSE;
  return qm::CopyOut(out.c_str(), got, buffer, size);
}
}  // namespace

extern "C" BOOL WINAPI UTIL_NameReturnLongName(LPCWSTR path, LPWSTR buffer, DWORD size) {
  return AskPathName(GetLongPathNameW, path, buffer, size);
}
extern "C" BOOL WINAPI UTIL_NameReturnShortName(LPCWSTR path, LPWSTR buffer, DWORD size) {
  return AskPathName(GetShortPathNameW, path, buffer, size);
}

extern "C" BOOL WINAPI UTIL_NameIsDevice(LPCWSTR path) {
  if (!path) return FALSE;
  if (path[0] == L'\\' && path[1] == L'\\' && path[2] == L'.' && path[3] == L'\\') return TRUE;
  std::wstring p = path;
  return Answer(IsDeviceName(p.substr(FileStart(p))));
}

extern "C" BOOL WINAPI UTIL_NameHasWildcards(LPCWSTR path) { return path && wcspbrk(path, L"*?"); }

extern "C" BOOL WINAPI UTIL_NameReturnIllegalChars(LPWSTR buffer, DWORD size) {
  return qm::CopyOut(L"\\/:*?\"<>|", buffer, size);
}

// '*' matches any run of characters, '?' one character; letters match in either case.
extern "C" BOOL WINAPI UTIL_NameWildcardMatch(LPCWSTR pattern, LPCWSTR name) {
  if (!pattern || !name) return qm::InvalidArgument<BOOL>();
  const wchar_t* star = nullptr;
  const wchar_t* resume = nullptr;
  while (*name) {
    if (*pattern == L'*') {
      star = pattern++;
      resume = name;
    } else if (*pattern == L'?' || (*pattern && EqualsNoCase(pattern, 1, name, 1))) {
      ++pattern;
      ++name;
    } else if (star) {
      pattern = star + 1;
      name = ++resume;
    } else {
      return FALSE;
    }
  }
  while (*pattern == L'*') ++pattern;
  return *pattern == L'\0';
}

extern "C" BOOL WINAPI UTIL_NameIsDirectory(LPCWSTR path) {
  if (!path || !*path) return FALSE;
  DWORD a = GetFileAttributesW(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

extern "C" BOOL WINAPI UTIL_NameSeparatePath(LPCWSTR path, LPWSTR folder, DWORD folderSize, LPWSTR file,
                                             DWORD fileSize) {
  if (!path || (!folder && !file)) return qm::InvalidArgument<BOOL>();
  std::wstring p = path;
  size_t start = FileStart(p);
  size_t end = start > RootLength(p) && IsSeparator(p[start - 1]) ? start - 1 : start;
  if (folder && !qm::CopyOut(p.c_str(), end, folder, folderSize)) return FALSE;
  if (file && !qm::CopyOut(p.c_str() + start, file, fileSize)) return FALSE;
  return TRUE;
}

// The extension list is blank-separated; a word may be written "EXE", ".EXE" or "*.EXE"
// and may hold wildcards ("DO?").
extern "C" BOOL WINAPI UTIL_NameIsTargetFile(LPCWSTR path, LPCWSTR extensions) {
  if (!path || !extensions) return qm::InvalidArgument<BOOL>();
  std::wstring p = path;
  size_t dot = ExtensionDot(p);
  std::wstring extension = dot == std::wstring::npos ? L"" : p.substr(dot + 1);
  const wchar_t* w = extensions;
  while (*w) {
    while (*w == L' ' || *w == L'\t' || *w == L';' || *w == L',') ++w;
    const wchar_t* end = w;
    while (*end && *end != L' ' && *end != L'\t' && *end != L';' && *end != L',') ++end;
    std::wstring word(w, end);
    if (word.compare(0, 2, L"*.") == 0) word.erase(0, 2);
    else if (!word.empty() && word[0] == L'.') word.erase(0, 1);
    if (!word.empty() && UTIL_NameWildcardMatch(word.c_str(), extension.c_str())) return TRUE;
    w = end;
  }
  return Answer(false);
}

// Every rule set refuses an empty path, control characters, < > " |, a colon other
// than the drive's and paths of MAX_PATH characters or more.
extern "C" BOOL WINAPI UTIL_NameValidateItem(LPCWSTR path, DWORD rules) {
  if (!path || !*path) return FALSE;
  std::wstring p = path;
  if (p.size() >= MAX_PATH) return FALSE;
  bool drive = UTIL_NameHasDriveLetter(path);
  bool unc = UTIL_NameIsUNCPath(path);
  if (!drive && !unc && !(rules & kQmNameAllowRelative)) return FALSE;
  if (drive && p.size() == 2 && !(rules & kQmNameAllowDriveOnly)) return FALSE;
  if (unc && !UTIL_NameStripServerNameFromUNCPath(path)) return FALSE;
  size_t fileStart = FileStart(p);
  for (size_t i = 0; i < p.size(); ++i) {
    wchar_t c = p[i];
    if (c < 0x20 || wcschr(L"<>\"|", c)) return FALSE;
    if (c == L':' && !(drive && i == 1)) return FALSE;
    if ((c == L'*' || c == L'?') && (!(rules & kQmNameAllowWildcards) || i < fileStart)) return FALSE;
  }
  if (rules & kQmNameCheckComponents) {
    size_t i = unc ? 2 : RootLength(p);
    while (i < p.size()) {
      size_t end = p.find_first_of(L"\\/", i);
      if (end == std::wstring::npos) end = p.size();
      std::wstring part = p.substr(i, end - i);
      bool last = end == p.size() || end + 1 == p.size();
      if ((part.empty() && !last) || IsDeviceName(part)) return FALSE;
      i = end + 1;
    }
  }
  return TRUE;
}

extern "C" BOOL WINAPI UTIL_NameNormalize(LPWSTR path) {
  if (!path) return qm::InvalidArgument<BOOL>();
  size_t out = 0;
  for (size_t in = 0; path[in]; ++in) {
    wchar_t c = path[in] == L'/' ? L'\\' : path[in];
    // Doubled separators collapse, except the two that begin a UNC path.
    if (c == L'\\' && out > 1 && path[out - 1] == L'\\') continue;
    path[out++] = c;
  }
  path[out] = L'\0';
  if (out >= 2 && path[1] == L':') path[0] = static_cast<wchar_t>(towupper(path[0]));
  return TRUE;
}

extern "C" BOOL WINAPI UTIL_NameReturnFirstFile(LPCWSTR pattern, LPWSTR buffer, DWORD size) {
  if (!pattern || !buffer || size == 0) return qm::InvalidArgument<BOOL>();
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(pattern, &data);
  if (find == INVALID_HANDLE_VALUE) return FALSE;
  bool found = false;
  do {
    found = wcscmp(data.cFileName, L".") != 0 && wcscmp(data.cFileName, L"..") != 0;
  } while (!found && FindNextFileW(find, &data));
  FindClose(find);
  if (!found) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  std::wstring p = pattern;
  std::wstring full = p.substr(0, FileStart(p)) + data.cFileName;
  return qm::CopyOut(full.c_str(), full.size(), buffer, size);
}

QM_NOT_IMPLEMENTED(BOOL, UTIL_NameOutputFormat, (LPCWSTR, LPWSTR, DWORD))
QM_NOT_IMPLEMENTED(BOOL, UTIL_NameMakeUNCNetwareStyle, (LPCWSTR, LPWSTR, DWORD))
QM_NOT_IMPLEMENTED(BOOL, UTIL_NameSeparateNWPath, (LPCWSTR, LPWSTR, DWORD, LPWSTR, DWORD))
QM_NOT_IMPLEMENTED(BOOL, UTIL_NameOutputFormatEx, (LPCWSTR, LPCWSTR, LPWSTR, DWORD))
QM_NOT_IMPLEMENTED(BOOL, UTIL_NameMakeUNCNetwareStyleEx, (LPCWSTR, LPCWSTR, LPWSTR, DWORD))
QM_NOT_IMPLEMENTED(BOOL, UTIL_NameSeparateNWPathEx, (LPCWSTR, LPCWSTR, LPWSTR, DWORD, LPWSTR, DWORD))

// ---- forms with the computer the path belongs to

extern "C" BOOL WINAPI UTIL_NameAppendFileEx(LPCWSTR, LPWSTR path, DWORD size, LPCWSTR file) {
  return UTIL_NameAppendFile(path, size, file);
}
extern "C" BOOL WINAPI UTIL_NameAppendExtensionEx(LPCWSTR, LPWSTR path, DWORD size, LPCWSTR extension) {
  return UTIL_NameAppendExtension(path, size, extension);
}
extern "C" BOOL WINAPI UTIL_NameReturnExtensionEx(LPCWSTR, LPCWSTR path, LPWSTR buffer, DWORD size) {
  return UTIL_NameReturnExtension(path, buffer, size);
}
extern "C" BOOL WINAPI UTIL_NameStripFileEx(LPCWSTR, LPWSTR path) { return UTIL_NameStripFile(path); }
extern "C" BOOL WINAPI UTIL_NameStripExtensionEx(LPCWSTR, LPWSTR path) { return UTIL_NameStripExtension(path); }
extern "C" BOOL WINAPI UTIL_NameHasDriveLetterEx(LPCWSTR, LPCWSTR path) { return UTIL_NameHasDriveLetter(path); }
extern "C" BOOL WINAPI UTIL_NameReturnFileEx(LPCWSTR, LPCWSTR path, LPWSTR buffer, DWORD size) {
  return UTIL_NameReturnFile(path, buffer, size);
}
extern "C" BOOL WINAPI UTIL_NameShortenFileEx(LPCWSTR, LPCWSTR path, LPWSTR buffer, DWORD size) {
  return UTIL_NameShortenFile(path, buffer, size);
}
// The answer names the file as the server sees it: only the long or short form of
// the part after the share changes.
extern "C" BOOL WINAPI UTIL_NameReturnLongNameEx(LPCWSTR server, LPCWSTR path, LPWSTR buffer, DWORD size) {
  if (qmutil::IsThisComputer(server)) return UTIL_NameReturnLongName(path, buffer, size);
  return qmutil::AskRemote(server, path, buffer, size, UTIL_NameReturnLongName);
}
extern "C" BOOL WINAPI UTIL_NameReturnShortNameEx(LPCWSTR server, LPCWSTR path, LPWSTR buffer, DWORD size) {
  if (qmutil::IsThisComputer(server)) return UTIL_NameReturnShortName(path, buffer, size);
  return qmutil::AskRemote(server, path, buffer, size, UTIL_NameReturnShortName);
}
extern "C" BOOL WINAPI UTIL_NameIsDeviceEx(LPCWSTR, LPCWSTR path) { return UTIL_NameIsDevice(path); }
extern "C" BOOL WINAPI UTIL_NameIsUNCPathEx(LPCWSTR, LPCWSTR path) { return UTIL_NameIsUNCPath(path); }
extern "C" BOOL WINAPI UTIL_NameSeparatePathEx(LPCWSTR, LPCWSTR path, LPWSTR folder, DWORD folderSize, LPWSTR file,
                                               DWORD fileSize) {
  return UTIL_NameSeparatePath(path, folder, folderSize, file, fileSize);
}
extern "C" BOOL WINAPI UTIL_NameReturnServerNameEx(LPCWSTR, LPCWSTR path, LPWSTR buffer, DWORD size) {
  return UTIL_NameReturnServerName(path, buffer, size);
}
extern "C" BOOL WINAPI UTIL_NameIsDirectoryEx(LPCWSTR server, LPCWSTR path) {
  if (!path) return FALSE;
  return UTIL_NameIsDirectory(qmutil::RemotePath(server, path).c_str());
}
extern "C" BOOL WINAPI UTIL_NameValidateItemEx(LPCWSTR, LPCWSTR path, DWORD rules) {
  return UTIL_NameValidateItem(path, rules);
}
extern "C" BOOL WINAPI UTIL_NameWildcardMatchEx(LPCWSTR, LPCWSTR pattern, LPCWSTR name) {
  return UTIL_NameWildcardMatch(pattern, name);
}
extern "C" BOOL WINAPI UTIL_NameIsTargetFileEx(LPCWSTR, LPCWSTR path, LPCWSTR extensions) {
  return UTIL_NameIsTargetFile(path, extensions);
}

namespace qmutil {

std::wstring PathOnServer(LPCWSTR server, const std::wstring& path) {
  if (IsThisComputer(server)) return path;
  while (*server == L'\\') ++server;
  std::wstring prefix = L"\\\\" + std::wstring(server) + L"\\";
  if (path.size() < prefix.size() + 2 || !EqualsNoCase(path.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                                       static_cast<int>(prefix.size())))
    return path;
  wchar_t letter = path[prefix.size()];
  if (!iswalpha(letter) || path[prefix.size() + 1] != L'$') return path;
  std::wstring rest = path.substr(prefix.size() + 2);
  if (rest.empty()) rest = L"\\";
  if (!IsSeparator(rest[0])) return path;
  return std::wstring(1, static_cast<wchar_t>(towupper(letter))) + L":" + rest;
}

BOOL AskRemote(LPCWSTR server, LPCWSTR path, LPWSTR buffer, DWORD size, BOOL(WINAPI* query)(LPCWSTR, LPWSTR, DWORD)) {
  if (!path || !buffer || size == 0) return qm::InvalidArgument<BOOL>();
  std::wstring remote = RemotePath(server, path);
  std::wstring answer(MAX_PATH, L'\0');
  while (!query(remote.c_str(), &answer[0], static_cast<DWORD>(answer.size()))) {
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || answer.size() > 32768) return FALSE;
    answer.resize(answer.size() * 2);
  }
  answer.resize(wcslen(answer.c_str()));
  std::wstring local = PathOnServer(server, answer);
  return qm::CopyOut(local.c_str(), local.size(), buffer, size);
}

}  // namespace qmutil
