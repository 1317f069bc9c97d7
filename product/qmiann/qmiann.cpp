// Our stand-in of another vendor's alert library qmiann.dll, for development and tests; not part of what we ship.
// With QM_ALERT_LOG=<file> every alert is appended to that file as one
// UTF-8 line: its twelve arguments in call order, separated by tabs (tabs and line
// breaks inside texts become blanks, a missing text is "(null)"), ended by CR LF.
#include "qmiann.h"

#include <string>

namespace {

std::wstring Field(LPCWSTR text) {
  if (!text) return L"(null)";
  std::wstring out = text;
  for (wchar_t& c : out)
    if (c == L'\t' || c == L'\r' || c == L'\n') c = L' ';
  return out;
}

std::wstring Number(DWORD value) { return std::to_wstring(value); }

}  // namespace

extern "C" int WINAPI ToAlertManagerInterfaceW(DWORD level, LPCWSTR text, DWORD eventId, LPCWSTR product,
                                               DWORD reserved1, DWORD reserved2, LPCWSTR user, LPCWSTR program,
                                               DWORD session, LPCWSTR computer, DWORD reserved3, DWORD reserved4) {
  wchar_t log[MAX_PATH + 1] = {};
  DWORD got = GetEnvironmentVariableW(L"QM_ALERT_LOG", log, MAX_PATH + 1);
  if (got == 0 || got > MAX_PATH) return 0;
  std::wstring line = Number(level) + L"\t" + Field(text) + L"\t" + Number(eventId) + L"\t" + Field(product) + L"\t" +
                      Number(reserved1) + L"\t" + Number(reserved2) + L"\t" + Field(user) + L"\t" + Field(program) +
                      L"\t" + Number(session) + L"\t" + Field(computer) + L"\t" + Number(reserved3) + L"\t" +
                      Number(reserved4) + L"\r\n";
  int bytes = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(bytes > 0 ? bytes : 0, '\0');
  WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), utf8.data(), bytes, nullptr, nullptr);
  HANDLE file = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  BOOL ok = WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  CloseHandle(file);
  return ok ? 0 : 1;
}
