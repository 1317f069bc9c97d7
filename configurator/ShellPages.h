// Pages 2 to 5 of the sheet (file types, advanced, actions, reports) before their
// controls are built: they show their template, follow the policy lock and accept
// every page change.
#pragma once

#include <windows.h>

#include "PageProtocol.h"

extern const PageHandlers kFileTypesPage;
extern const PageHandlers kAdvancedPage;
extern const PageHandlers kActionsPage;
extern const PageHandlers kReportsPage;

INT_PTR CALLBACK FileTypesPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AdvancedPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ActionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ReportsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
