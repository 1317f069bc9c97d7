// The protocol between the sheet and its pages.
#include "PageProtocol.h"

#include "TaskStorage.h"
#include "resource.h"

namespace {
constexpr wchar_t kContextProperty[] = L"Ptr1";
}  // namespace

const DWORD kHelpTable[] = {
    1, 7001, 2, 7002, 3, 7003, 4, 7004, 5, 7005,
    IDL_LOC_ITEMS, 7101, IDB_LOC_ADD, 7102, IDB_LOC_EDIT, 7103, IDB_LOC_REMOVE, 7104,
    IDX_LOC_WHERE1, 7105, IDX_LOC_WHERE2, 7106,
    IDC_ITEM_KIND, 7111, IDE_ITEM_PATH, 7112, IDB_ITEM_BROWSE, 7113,
    0, 0,
};

TaskContext* PageContext(HWND page) { return static_cast<TaskContext*>(GetPropW(page, kContextProperty)); }

void EnablePageControls(HWND page, bool enable) {
  for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    EnableWindow(child, enable);
}

void ReportPageChange(HWND page) { SendMessageW(GetParent(page), KM_PAGE_CHANGED, reinterpret_cast<WPARAM>(page), 0); }

void LoadPage(const PageHandlers& handlers, HWND page) {
  TaskContext* ctx = PageContext(page);
  if (!ctx) return;
  if (handlers.load) handlers.load(page, *ctx);
  if (!ctx->editable) EnablePageControls(page, false);
}

namespace {

// Shown (or told so by "UIPChanged"): an editable page follows the policy lock.
void ApplyPolicyLock(const PageHandlers& handlers, HWND page, TaskContext& ctx) {
  if (!ctx.editable) return;
  int item = ctx.temporary ? handlers.policyTemporary : handlers.policyNamed;
  if (!IsMidMode() && IsPolicyLocked(ctx, item)) {
    EnablePageControls(page, false);
    return;
  }
  EnablePageControls(page, true);
  if (handlers.dependentEnables) handlers.dependentEnables(page, ctx);
}

INT_PTR Answer(HWND page, LRESULT result) {
  SetWindowLongPtrW(page, DWLP_MSGRESULT, result);
  return TRUE;
}

}  // namespace

INT_PTR PageDispatch(const PageHandlers& handlers, HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetPropW(page, kContextProperty, reinterpret_cast<HANDLE>(lParam));
    LoadPage(handlers, page);
    return TRUE;
  }
  TaskContext* ctx = PageContext(page);
  if (!ctx) return FALSE;
  switch (message) {
    case WM_COMMAND:
      if (handlers.command) handlers.command(page, *ctx, LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      switch (header->code) {
        case PSN_SETACTIVE:
          ctx->currentPage = page;
          return Answer(page, 0);
        case PSN_KILLACTIVE:
          return Answer(page, handlers.validate && !handlers.validate(page, *ctx) ? TRUE : FALSE);
        case PSN_APPLY:
          return Answer(page, PSNRET_NOERROR);
        case PSN_HELP:
          PageLevelHtmlHelp(page, handlers.pageNumber, kHelpTable);
          return Answer(page, 0);
        default:
          return handlers.notify ? Answer(page, handlers.notify(page, *ctx, header)) : FALSE;
      }
    }
    case WM_HELP:
      MsgWmHtmlHelp(page, message, wParam, lParam, kHelpTable);
      return TRUE;
    case WM_CONTEXTMENU:
      MsgWmHtmlContextMenu(page, message, wParam, lParam, kHelpTable);
      return TRUE;
    case WM_SHOWWINDOW:
      ApplyPolicyLock(handlers, page, *ctx);
      return FALSE;
    case WM_DESTROY:
      if (handlers.destroy) handlers.destroy(page, *ctx);
      RemovePropW(page, kContextProperty);
      return FALSE;
    default:
      return FALSE;
  }
}
