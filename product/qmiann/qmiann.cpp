// Our stand-in of another vendor's alert library qmiann.dll, for development and tests; not part of what we ship.
// With QM_ALERT_LOG=<file> every alert is appended to that file as one
// UTF-8 line: its twelve arguments in call order, separated by tabs (tabs and line
// breaks inside texts become blanks, a missing text is "(null)"), ended by CR LF.
#include "qmiann.h"
#include "StandInLog.h"

#include <string>

namespace {

std::wstring Field(LPCWSTR text) { return text ? standin::OneLine(text) : L"(null)"; }

std::wstring Number(DWORD value) { return std::to_wstring(value); }

}  // namespace

extern "C" int WINAPI ToAlertManagerInterfaceW(DWORD level, LPCWSTR text, DWORD eventId, LPCWSTR product,
                                               DWORD reserved1, DWORD reserved2, LPCWSTR user, LPCWSTR program,
                                               DWORD session, LPCWSTR computer, DWORD reserved3, DWORD reserved4) {
  std::wstring log = standin::RecordFile(L"QM_ALERT_LOG");
  if (log.empty()) return 0;
  std::wstring line = Number(level) + L"\t" + Field(text) + L"\t" + Number(eventId) + L"\t" + Field(product) + L"\t" +
                      Number(reserved1) + L"\t" + Number(reserved2) + L"\t" + Field(user) + L"\t" + Field(program) +
                      L"\t" + Number(session) + L"\t" + Field(computer) + L"\t" + Number(reserved3) + L"\t" +
                      Number(reserved4);
  return standin::AppendLine(log, line) ? 0 : 1;
}
