// The dialog, help and shell-check services of KORBEL that this build does not carry
// yet: each fails with ERROR_CALL_NOT_IMPLEMENTED and touches none of its outputs, so
// the configurator keeps its controls as they are.
#include "KorbelInternal.h"

namespace {

template <typename T>
T NotImplemented(T failure) {
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return failure;
}

}  // namespace

extern "C" {

BOOL WINAPI DisplayXMASchedDialog(HWND, KORBEL_SCHEDULE*, BOOL) { return NotImplemented<BOOL>(FALSE); }
BOOL WINAPI Sh_EnsureValidPath(HWND, LPWSTR, DWORD) { return NotImplemented<BOOL>(FALSE); }
BOOL WINAPI Sh_VerifyMoveTo(LPCWSTR) { return NotImplemented<BOOL>(FALSE); }
BOOL WINAPI Sh_CheckTargetDir(BOOL, LPCWSTR) { return NotImplemented<BOOL>(FALSE); }
INT WINAPI GetFSType(LPCWSTR, LPCWSTR) { return NotImplemented<INT>(0); }
LPCWSTR WINAPI GetRecycleBinName(void) { return NotImplemented<LPCWSTR>(nullptr); }
BOOL WINAPI SingleFilesCheck(HWND, HWND, HWND, const void*, LPCWSTR) { return NotImplemented<BOOL>(FALSE); }
BOOL WINAPI MsgWmHtmlHelp(HWND, UINT, WPARAM, LPARAM, KORBEL_HELP_TABLE) { return NotImplemented<BOOL>(FALSE); }
BOOL WINAPI MsgWmHtmlContextMenu(HWND, UINT, WPARAM, LPARAM, KORBEL_HELP_TABLE) { return NotImplemented<BOOL>(FALSE); }
BOOL WINAPI PageLevelHtmlHelp(HWND, INT, KORBEL_HELP_TABLE) { return NotImplemented<BOOL>(FALSE); }
BOOL WINAPI InitializeHtmlHelpPath(LPCWSTR) { return NotImplemented<BOOL>(FALSE); }
LPCWSTR WINAPI GetHtmlHelpPath(void) { return NotImplemented<LPCWSTR>(nullptr); }
BOOL WINAPI LaunchWebHelp(INT) { return NotImplemented<BOOL>(FALSE); }
BOOL WINAPI ShowAbout(HWND, INT, HKEY, HKEY) { return NotImplemented<BOOL>(FALSE); }

}  // extern "C"
