// The sheet's keyboard hook: Ctrl+Tab and Ctrl+Shift+Tab switch pages, wrapping at
// both ends, and Enter on a push button presses that button. Only while the sheet is
// the foreground window, and only for a key going down without auto-repeat.
#include "SheetInternal.h"

namespace {

HHOOK g_hook = nullptr;

bool IsFreshKeyDown(LPARAM lParam) { return !(lParam & 0x80000000) && !(lParam & 0x40000000); }

bool SendTabNotice(UINT code) {
  SheetWindow& s = TheSheet();
  NMHDR header = {s.tabs, static_cast<UINT_PTR>(GetDlgCtrlID(s.tabs)), code};
  return SendMessageW(s.sheet, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header)) != 0;
}

void SwitchPage(bool backwards) {
  SheetWindow& s = TheSheet();
  int count = static_cast<int>(SendMessageW(s.tabs, TCM_GETITEMCOUNT, 0, 0));
  if (count <= 0) return;
  int current = static_cast<int>(SendMessageW(s.tabs, TCM_GETCURSEL, 0, 0));
  int next = backwards ? (current + count - 1) % count : (current + 1) % count;
  if (SendTabNotice(TCN_SELCHANGING)) return;
  SendMessageW(s.tabs, TCM_SETCURSEL, next, 0);
  SendTabNotice(TCN_SELCHANGE);
}

bool IsPushButton(HWND window) {
  wchar_t name[16] = {};
  if (!window || !GetClassNameW(window, name, 16) || lstrcmpiW(name, L"BUTTON") != 0) return false;
  LONG type = GetWindowLongW(window, GWL_STYLE) & BS_TYPEMASK;
  return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_OWNERDRAW;
}

LRESULT CALLBACK KeyboardProc(int code, WPARAM key, LPARAM lParam) {
  SheetWindow& s = TheSheet();
  if (code == HC_ACTION && s.sheet && GetForegroundWindow() == s.sheet && IsFreshKeyDown(lParam)) {
    if (key == VK_TAB && GetKeyState(VK_CONTROL) < 0) {
      SwitchPage(GetKeyState(VK_SHIFT) < 0);
      return 1;
    }
    HWND focus = GetFocus();
    if (key == VK_RETURN && IsPushButton(focus)) {
      SendMessageW(GetParent(focus), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(focus), BN_CLICKED),
                   reinterpret_cast<LPARAM>(focus));
      return 1;
    }
  }
  return CallNextHookEx(g_hook, code, key, lParam);
}

}  // namespace

void InstallKeyboardHook() {
  if (!g_hook) g_hook = SetWindowsHookExW(WH_KEYBOARD, KeyboardProc, nullptr, GetCurrentThreadId());
}

void RemoveKeyboardHook() {
  if (g_hook) UnhookWindowsHookEx(g_hook);
  g_hook = nullptr;
}
