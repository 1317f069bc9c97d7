// Our stand-in of another vendor's library QMUTILU.DLL, for development and tests; not part of what we ship.
// QMUTILU.DLL: window placement, dialog fonts and the browse dialogs.
#include "UtilInternal.h"

#include <cderr.h>
#include <commdlg.h>
#include <shlobj.h>
#include <winnetwk.h>

#include <string>

// ---- window placement

// Centres window over parent (or its owner, or the work area of its monitor) and keeps
// it inside that monitor's work area.
extern "C" BOOL WINAPI UTIL_CenterWindow(HWND window, HWND parent) {
  if (!window || !IsWindow(window)) return qm::InvalidArgument<BOOL>();
  if (!parent || !IsWindow(parent)) parent = GetWindow(window, GW_OWNER);
  RECT self, area;
  if (!GetWindowRect(window, &self)) return FALSE;
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoW(MonitorFromWindow(parent ? parent : window, MONITOR_DEFAULTTONEAREST), &monitor)) return FALSE;
  area = monitor.rcWork;
  RECT over = area;
  if (parent && IsWindowVisible(parent) && !IsIconic(parent)) GetWindowRect(parent, &over);
  LONG w = self.right - self.left, h = self.bottom - self.top;
  LONG x = over.left + ((over.right - over.left) - w) / 2;
  LONG y = over.top + ((over.bottom - over.top) - h) / 2;
  if (x + w > area.right) x = area.right - w;
  if (y + h > area.bottom) y = area.bottom - h;
  if (x < area.left) x = area.left;
  if (y < area.top) y = area.top;
  return SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

extern "C" BOOL WINAPI UTIL_CenterWindowQM(HWND window) { return UTIL_CenterWindow(window, nullptr); }

extern "C" void WINAPI UTIL_YieldToWindows(void) {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// ---- fonts: made once from the system's message font, kept until UTIL_FontDeleteAll.

namespace {
HFONT g_small = nullptr;
HFONT g_bold = nullptr;

HFONT MakeFont(bool bold) {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return nullptr;
  LOGFONTW font = metrics.lfMessageFont;
  if (bold) font.lfWeight = FW_BOLD;
  else font.lfHeight = font.lfHeight * 7 / 8;
  return CreateFontIndirectW(&font);
}

BOOL SetFont(HWND control, HFONT font) {
  if (!control || !IsWindow(control)) return qm::InvalidArgument<BOOL>();
  if (!font) return FALSE;
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  return TRUE;
}
}  // namespace

extern "C" HFONT WINAPI UTIL_FontGetSmall(void) {
  if (!g_small) g_small = MakeFont(false);
  return g_small;
}
extern "C" HFONT WINAPI UTIL_FontGetBold(void) {
  if (!g_bold) g_bold = MakeFont(true);
  return g_bold;
}
extern "C" void WINAPI UTIL_FontDeleteAll(void) {
  if (g_small) DeleteObject(g_small);
  if (g_bold) DeleteObject(g_bold);
  g_small = g_bold = nullptr;
}
extern "C" BOOL WINAPI UTIL_SetSmallFont(HWND control) { return SetFont(control, UTIL_FontGetSmall()); }
extern "C" BOOL WINAPI UTIL_SetBoldFont(HWND control) { return SetFont(control, UTIL_FontGetBold()); }

// ---- browse dialogs

namespace {

int CALLBACK SelectStart(HWND dialog, UINT message, LPARAM, LPARAM start) {
  if (message == BFFM_INITIALIZED && start) SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, start);
  return 0;
}

bool IsRecycleBin(PCIDLIST_ABSOLUTE chosen) {
  PIDLIST_ABSOLUTE bin = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_BITBUCKET, &bin)) || !bin) return false;
  bool same = ILIsEqual(chosen, bin) != FALSE;
  CoTaskMemFree(bin);
  return same;
}

BOOL BrowseFolder(HWND owner, const std::wstring& prompt, const std::wstring& start, DWORD options, LPWSTR buffer,
                  DWORD size) {
  BROWSEINFOW info = {};
  info.hwndOwner = owner;
  info.lpszTitle = prompt.empty() ? nullptr : prompt.c_str();
  info.ulFlags = (options & kQmBrowseAllowSpecial) ? 0 : BIF_RETURNONLYFSDIRS;
  info.lpfn = SelectStart;
  info.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
  if (!chosen) return FALSE;
  std::wstring path(MAX_PATH, L'\0');
  BOOL ok;
  if ((options & kQmBrowseAllowSpecial) && IsRecycleBin(chosen)) {
    ok = qm::CopyOut(L"SpecialRecycleName", buffer, size);
  } else if (SHGetPathFromIDListW(chosen, &path[0])) {
    ok = qm::CopyOut(path.c_str(), buffer, size);
  } else {
    SetLastError(ERROR_PATH_NOT_FOUND);
    ok = FALSE;
  }
  CoTaskMemFree(chosen);
  return ok;
}

// filter: NUL-separated pairs ended by a second NUL, or none.
BOOL BrowseFile(HWND owner, const std::wstring& title, LPCWSTR filter, bool save, LPWSTR buffer, DWORD size) {
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = buffer;
  ofn.nMaxFile = size;
  ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
  // A file to write may exist already: whether to replace it is the caller's
  // question, asked once, so the dialog asks none of its own.
  ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | (save ? 0 : OFN_FILEMUSTEXIST);
  // The dialog reads the buffer as the proposed name: an existing folder is the start
  // folder instead.
  std::wstring startFolder;
  if (GetFileAttributesW(buffer) != INVALID_FILE_ATTRIBUTES && (GetFileAttributesW(buffer) & FILE_ATTRIBUTE_DIRECTORY)) {
    startFolder = buffer;
    ofn.lpstrInitialDir = startFolder.c_str();
    buffer[0] = L'\0';
  }
  BOOL ok = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
  if (!ok) {
    if (!startFolder.empty()) qm::CopyOut(startFolder.c_str(), buffer, size);
    SetLastError(CommDlgExtendedError() == FNERR_BUFFERTOOSMALL ? ERROR_INSUFFICIENT_BUFFER : ERROR_CANCELLED);
  }
  return ok;
}

bool UsableRecord(const QmBrowseRecord* r) {
  return r && r->buffer && r->size > 0 && wmemchr(r->buffer, L'\0', r->size) &&
         (r->mode == kQmBrowseFile || r->mode == kQmBrowseFolder || r->mode == kQmBrowseSaveFile);
}

BOOL Browse(const QmBrowseRecord& r, const std::wstring& start, LPCWSTR filter, DWORD options, LPWSTR buffer,
            DWORD size) {
  HMODULE language = qmutil::LanguageModule();
  std::wstring title = qmutil::LoadText(language, r.title);
  std::wstring prompt = qmutil::LoadText(language, r.prompt);
  HWND owner = r.owner && IsWindow(r.owner) ? r.owner : nullptr;
  if (r.mode == kQmBrowseFolder) return BrowseFolder(owner, prompt.empty() ? title : prompt, start, options, buffer, size);
  if (qm::CopyOut(start.c_str(), start.size(), buffer, size) == FALSE) buffer[0] = L'\0';
  return BrowseFile(owner, title, filter, r.mode == kQmBrowseSaveFile, buffer, size);
}

}  // namespace

extern "C" BOOL WINAPI UTIL_LocalBrowse(QmBrowseRecord* record, DWORD options) {
  if (!UsableRecord(record)) return qm::InvalidArgument<BOOL>();
  std::wstring start = record->buffer;
  return Browse(*record, start, record->filter, options, record->buffer, record->size);
}

// Browses the server's disks through their administrative shares and answers with the
// path as the server sees it.
extern "C" BOOL WINAPI UTIL_RemoteBrowseEx(QmBrowseRecord* record, DWORD options) {
  if (!UsableRecord(record)) return qm::InvalidArgument<BOOL>();
  std::wstring filter;
  if (record->filter) {
    filter = record->filter;
    for (wchar_t& c : filter)
      if (c == L'\n') c = L'\0';
    filter += L'\0';
  }
  LPCWSTR filterList = record->filter ? filter.c_str() : nullptr;
  if (qmutil::IsThisComputer(record->server))
    return Browse(*record, record->buffer, filterList, options, record->buffer, record->size);
  std::wstring start = qmutil::RemotePath(record->server, record->buffer);
  std::wstring chosen(32768, L'\0');
  if (!Browse(*record, start, filterList, options, &chosen[0], static_cast<DWORD>(chosen.size()))) return FALSE;
  chosen.resize(wcslen(chosen.c_str()));
  std::wstring local = qmutil::PathOnServer(record->server, chosen);
  return qm::CopyOut(local.c_str(), local.size(), record->buffer, record->size);
}

extern "C" BOOL WINAPI UTIL_RemoteBrowse(HWND owner, LPCWSTR server, LPWSTR buffer, DWORD size) {
  QmBrowseRecord record = {owner, server, buffer, size, kQmBrowseFolder, 0, 0, nullptr};
  return UTIL_RemoteBrowseEx(&record, 0);
}

extern "C" BOOL WINAPI UTIL_FolderBrowseDialogEx(HWND owner, LPCWSTR prompt, LPCWSTR start, LPWSTR buffer, DWORD size) {
  if (!buffer || size == 0) return qm::InvalidArgument<BOOL>();
  return BrowseFolder(owner, prompt ? prompt : L"", start ? start : L"", 0, buffer, size);
}

extern "C" BOOL WINAPI UTIL_FolderBrowseDialog(HWND owner, LPCWSTR prompt, LPWSTR buffer, DWORD size) {
  if (!buffer || size == 0 || !wmemchr(buffer, L'\0', size)) return qm::InvalidArgument<BOOL>();
  std::wstring start = buffer;
  return UTIL_FolderBrowseDialogEx(owner, prompt, start.c_str(), buffer, size);
}

extern "C" BOOL WINAPI UTIL_FileBrowseDialog(HWND owner, LPCWSTR title, LPCWSTR filter, LPWSTR buffer, DWORD size) {
  if (!buffer || size == 0 || !wmemchr(buffer, L'\0', size)) return qm::InvalidArgument<BOOL>();
  return BrowseFile(owner, title ? title : L"", filter, false, buffer, size);
}

extern "C" BOOL WINAPI UTIL_IsShellAvailable(void) {
  return GetModuleHandleW(L"shell32.dll") != nullptr;
}

// Opens an IPC connection to the server, asking for credentials when needed.
extern "C" BOOL WINAPI UTIL_ConnectComputer(HWND owner, LPCWSTR server) {
  if (!server || !*server) return qm::InvalidArgument<BOOL>();
  while (*server == L'\\') ++server;
  std::wstring remote = L"\\\\" + std::wstring(server) + L"\\IPC$";
  NETRESOURCEW resource = {};
  resource.dwType = RESOURCETYPE_ANY;
  resource.lpRemoteName = &remote[0];
  DWORD result = WNetAddConnection3W(owner, &resource, nullptr, nullptr, owner ? CONNECT_INTERACTIVE : 0);
  if (result == NO_ERROR) return TRUE;
  SetLastError(result);
  return FALSE;
}
