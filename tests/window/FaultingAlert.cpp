// A qmiann.dll whose alert export faults, for the configurator's window tests: it
// records that it was called (QM_ALERT_LOG, one line "called") and then writes through
// a null pointer, as a broken alert library of an installation might.
#include <windows.h>

namespace {

void RecordCall() {
  wchar_t path[MAX_PATH] = {};
  DWORD n = GetEnvironmentVariableW(L"QM_ALERT_LOG", path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, "called\r\n", 8, &written, nullptr);
  CloseHandle(file);
}

// Read through a volatile pointer, so that the compiler emits the store itself rather
// than a trap instruction in its place.
int* volatile g_nowhere = nullptr;

}  // namespace

extern "C" __declspec(dllexport) int WINAPI ToAlertManagerInterfaceW(DWORD, LPCWSTR, DWORD, LPCWSTR, DWORD, DWORD,
                                                                     LPCWSTR, LPCWSTR, DWORD, LPCWSTR, DWORD, DWORD) {
  RecordCall();
  *g_nowhere = 1;
  return 0;
}
