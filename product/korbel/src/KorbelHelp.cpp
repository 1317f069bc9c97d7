// Our stand-in of another vendor's library KORBEL.dll, for development and tests; not part of what we ship.
// KORBEL's help services. The help file of this build is a plain page beside the
// library (Kestrune32Help.htm); context help, page help and the web addresses are
// looked up in the caller's help table and opened with the shell. With the
// environment variable KORBEL_HELP_LOG=<file> nothing is opened: each request is
// appended to that file as one UTF-8 line instead ("page 1 7001", "control 1102 7101",
// "web https://..."), so that tests can see what a user would have been shown.
#include "KorbelInternal.h"

#include <shellapi.h>

#include "StandInLog.h"

#include <string>

namespace {

constexpr wchar_t kHelpFile[] = L"Kestrune32Help.htm";
wchar_t g_helpPath[MAX_PATH + 1];
wchar_t g_popupSuffix[MAX_PATH + 1];

// Addresses of LaunchWebHelp: 1 virus information, 2 the product, 3 support.
const wchar_t* const kWebAddresses[] = {
    L"https://www.quillmont.example/vardex/virus-information",
    L"https://www.quillmont.example/vardex",
    L"https://www.quillmont.example/vardex/support",
};

bool Record(const std::wstring& line) {
  std::wstring log = standin::RecordFile(L"KORBEL_HELP_LOG");
  if (log.empty()) return false;
  standin::AppendLine(log, line);
  return true;
}

BOOL Open(HWND owner, const std::wstring& request, const wchar_t* target) {
  if (Record(request)) return TRUE;
  if (!target || !*target) return FALSE;
  return reinterpret_cast<INT_PTR>(ShellExecuteW(owner, L"open", target, nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}

// The topic of a control or dialog number in a help table, or 0.
DWORD Topic(KORBEL_HELP_TABLE table, DWORD id) {
  for (; table && (table[0] || table[1]); table += 2)
    if (table[0] == id) return table[1];
  return 0;
}

}  // namespace

extern "C" {

BOOL WINAPI InitializeHtmlHelpPath(LPCWSTR topic) {
  std::wstring path = korbel::ModuleFolder() + kHelpFile;
  if (path.size() > MAX_PATH) return FALSE;
  lstrcpynW(g_helpPath, path.c_str(), MAX_PATH + 1);
  lstrcpynW(g_popupSuffix, topic ? topic : L"", MAX_PATH + 1);
  return GetFileAttributesW(g_helpPath) != INVALID_FILE_ATTRIBUTES;
}

LPCWSTR WINAPI GetHtmlHelpPath(void) { return g_helpPath[0] ? g_helpPath : nullptr; }

BOOL WINAPI MsgWmHtmlHelp(HWND window, UINT message, WPARAM, LPARAM lParam, KORBEL_HELP_TABLE table) {
  if (message != WM_HELP || !lParam) return FALSE;
  const auto* info = reinterpret_cast<const HELPINFO*>(lParam);
  DWORD id = static_cast<DWORD>(info->iCtrlId);
  return Open(window, L"control " + std::to_wstring(id) + L" " + std::to_wstring(Topic(table, id)), g_helpPath);
}

BOOL WINAPI MsgWmHtmlContextMenu(HWND window, UINT message, WPARAM wParam, LPARAM, KORBEL_HELP_TABLE table) {
  if (message != WM_CONTEXTMENU || !wParam) return FALSE;
  DWORD id = static_cast<DWORD>(GetDlgCtrlID(reinterpret_cast<HWND>(wParam)));
  return Open(window, L"menu " + std::to_wstring(id) + L" " + std::to_wstring(Topic(table, id)), g_helpPath);
}

BOOL WINAPI PageLevelHtmlHelp(HWND page, INT pageNumber, KORBEL_HELP_TABLE table) {
  DWORD topic = Topic(table, static_cast<DWORD>(pageNumber));
  return Open(page, L"page " + std::to_wstring(pageNumber) + L" " + std::to_wstring(topic), g_helpPath);
}

BOOL WINAPI LaunchWebHelp(INT which) {
  if (which < 1 || which > 3) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const wchar_t* address = kWebAddresses[which - 1];
  return Open(nullptr, std::wstring(L"web ") + address, address);
}

}  // extern "C"
