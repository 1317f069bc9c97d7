// What every page of the sheet shares: the context in the window property "Ptr1",
// the sheet's page notices, help, the policy lock applied when the page is shown, and
// the change report to the sheet. A page supplies its handlers; its dialog procedure
// only hands its messages to PageDispatch.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "TaskContext.h"

// A page reports a user change to the sheet; wParam is the page.
constexpr UINT KM_PAGE_CHANGED = WM_USER + 104;

struct PageHandlers {
  int pageNumber;       // 1..5, for help
  int policyNamed;      // UIP item of the page for a named task
  int policyTemporary;  // and for a temporary task
  // Controls from the record (also after reset and import).
  void (*load)(HWND page, TaskContext& ctx);
  // PSN_KILLACTIVE: controls into the record; false refuses (the page has said why).
  bool (*validate)(HWND page, TaskContext& ctx);
  void (*command)(HWND page, TaskContext& ctx, int id, int code);
  // WM_NOTIFY of the page's own controls; the answer goes to DWLP_MSGRESULT.
  LRESULT (*notify)(HWND page, TaskContext& ctx, NMHDR* header);
  // Enables that depend on other controls, applied after a load and again when a
  // lock is lifted.
  void (*dependentEnables)(HWND page, TaskContext& ctx);
  void (*destroy)(HWND page, TaskContext& ctx);
  // WM_HSCROLL of the page's own controls (a trackbar).
  void (*scroll)(HWND page, TaskContext& ctx, HWND control);
};

INT_PTR PageDispatch(const PageHandlers& page, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

TaskContext* PageContext(HWND page);
// Fills the page from the record; a task that cannot be edited leaves every control
// disabled, an editable one follows the policy lock.
void LoadPage(const PageHandlers& handlers, HWND page);
void ReportPageChange(HWND page);
void EnablePageControls(HWND page, bool enable);
// The help table of the program: pairs of control or page number and topic.
extern const DWORD kHelpTable[];
