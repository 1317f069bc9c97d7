// Our stand-in of another vendor's library KORBEL.dll, for development and tests; not part of what we ship.
// KORBEL's shell checks: usable paths, folders for moved files, the kind of a path,
// the recycle bin, and the single-files rule of a scan list.
#include "KorbelInternal.h"

#include <commctrl.h>

#include <cwctype>

namespace korbel {
namespace {

bool HasDriveLetter(const std::wstring& p) { return p.size() >= 2 && std::iswalpha(p[0]) && p[1] == L':'; }
bool IsUnc(const std::wstring& p) { return p.size() > 2 && p[0] == L'\\' && p[1] == L'\\' && p[2] != L'\\'; }

// Characters no path may hold anywhere.
bool HasIllegalCharacter(const std::wstring& p) {
  for (wchar_t c : p)
    if (c < 0x20 || wcschr(L"<>\"|", c)) return true;
  return false;
}

// A drive path of another computer as this one reaches it: its administrative share.
std::wstring Reachable(const std::wstring& path, LPCWSTR server) {
  std::wstring name = server ? server : L"";
  while (!name.empty() && name[0] == L'\\') name.erase(0, 1);
  wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  bool local = name.empty() || (GetComputerNameW(computer, &size) && lstrcmpiW(name.c_str(), computer) == 0);
  if (local || !HasDriveLetter(path)) return path;
  return L"\\\\" + name + L"\\" + path[0] + L"$" + path.substr(2);
}

}  // namespace
}  // namespace korbel

using namespace korbel;

extern "C" {

BOOL WINAPI Sh_EnsureValidPath(HWND edit, LPWSTR buffer, DWORD chars) {
  if (!edit || !IsWindow(edit) || !buffer || chars == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  GetWindowTextW(edit, buffer, static_cast<int>(chars));
  std::wstring text = buffer;
  return !text.empty() && text[0] != L' ' && !HasIllegalCharacter(text);
}

BOOL WINAPI Sh_VerifyMoveTo(LPCWSTR path) {
  if (!path) return FALSE;
  std::wstring p = path;
  if (p.empty() || p.size() >= MAX_PATH || HasIllegalCharacter(p) || p.find_first_of(L"*?") != std::wstring::npos)
    return FALSE;
  if (!HasDriveLetter(p) && !IsUnc(p)) return FALSE;
  DWORD attributes = GetFileAttributesW(path);
  return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A local target must lie on a drive that keeps files (not a CD-ROM or a network
// drive) in a folder that exists or whose parent does.
BOOL WINAPI Sh_CheckTargetDir(BOOL local, LPCWSTR path) {
  if (!path || !*path) return FALSE;
  if (!local) return TRUE;
  std::wstring p = path;
  if (!HasDriveLetter(p)) return FALSE;
  std::wstring root = p.substr(0, 2) + L"\\";
  UINT type = GetDriveTypeW(root.c_str());
  if (type != DRIVE_FIXED && type != DRIVE_REMOVABLE && type != DRIVE_RAMDISK) return FALSE;
  while (p.size() > 3 && p.back() == L'\\') p.pop_back();
  DWORD attributes = GetFileAttributesW(p.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  std::wstring parent = p.substr(0, p.find_last_of(L'\\') + 1);
  attributes = GetFileAttributesW(parent.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

INT WINAPI GetFSType(LPCWSTR path, LPCWSTR server) {
  if (!path || !*path) return KORBEL_FS_NONE;
  std::wstring p = path;
  if (IsUnc(p)) return KORBEL_FS_NETWORK;
  if (!HasDriveLetter(p)) return KORBEL_FS_NONE;
  std::wstring reach = Reachable(p, server);
  if (p.size() == 2 || (p.size() == 3 && p[2] == L'\\')) {
    if (!IsUnc(reach) && GetDriveTypeW((p.substr(0, 2) + L"\\").c_str()) == DRIVE_REMOTE) return KORBEL_FS_NETWORK;
    return KORBEL_FS_DRIVE;
  }
  DWORD attributes = GetFileAttributesW(reach.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return KORBEL_FS_NONE;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? KORBEL_FS_FOLDER : KORBEL_FS_FILE;
}

LPCWSTR WINAPI GetRecycleBinName(void) {
  static wchar_t name[MAX_PATH];
  wchar_t drive[MAX_PATH] = L"C:";
  DWORD got = GetEnvironmentVariableW(L"SystemDrive", drive, MAX_PATH);
  if (got == 0 || got >= MAX_PATH - 16) lstrcpyW(drive, L"C:");
  lstrcpynW(name, drive, MAX_PATH);
  lstrcatW(name, L"\\$Recycle.Bin");
  return name;
}

// Subfolders mean nothing to a list of files alone: the boxes of the table are
// disabled while every row names an existing file, and enabled otherwise.
BOOL WINAPI SingleFilesCheck(HWND page, HWND list, HWND checkPage, const void* checkTable, LPCWSTR server) {
  (void)page;
  if (!list || !checkPage || !checkTable) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  bool filesOnly = rows > 0;
  for (int row = 0; row < rows && filesOnly; ++row) {
    wchar_t text[SCANOPT_ITEM_BYTES / sizeof(wchar_t)] = {};
    LVITEMW item = {};
    item.iSubItem = 0;
    item.pszText = text;
    item.cchTextMax = static_cast<int>(std::size(text));
    SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    filesOnly = GetFSType(text, server) == KORBEL_FS_FILE;
  }
  for (const int* id = static_cast<const int*>(checkTable); *id; ++id)
    if (HWND box = GetDlgItem(checkPage, *id)) EnableWindow(box, !filesOnly);
  return TRUE;
}

}  // extern "C"
