// The four pages that hold no logic yet: each has its page number and policy items,
// and no handlers, so it shows its template, follows the policy lock and accepts
// every page change. Each becomes a source of its own when its controls are built.
#include "ShellPages.h"

const PageHandlers kFileTypesPage = {2, 10, 17, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
const PageHandlers kAdvancedPage = {3, 12, 19, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
const PageHandlers kActionsPage = {4, 13, 20, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
const PageHandlers kReportsPage = {5, 14, 21, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

INT_PTR CALLBACK FileTypesPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  return PageDispatch(kFileTypesPage, page, message, wParam, lParam);
}
INT_PTR CALLBACK AdvancedPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  return PageDispatch(kAdvancedPage, page, message, wParam, lParam);
}
INT_PTR CALLBACK ActionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  return PageDispatch(kActionsPage, page, message, wParam, lParam);
}
INT_PTR CALLBACK ReportsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  return PageDispatch(kReportsPage, page, message, wParam, lParam);
}
