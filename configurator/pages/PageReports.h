// The reports page (tab 5): the scan log, its path and size limit, and four report
// switches. It also decides whether the sheet's View log entry may open the log.
#pragma once

#include <windows.h>

#include <string>

#include "PageProtocol.h"

extern const PageHandlers kReportsPage;
INT_PTR CALLBACK ReportsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// A log path the scanner can write: a valid item path (QMUTILU rules 8) that is a UNC
// path with something after the server, or a path with a drive letter.
bool PassesLogPathRule(const std::wstring& path);
