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
    IDR_FT_ALL, 7201, IDR_FT_DEFAULT, 7202, IDX_FT_ADDITIONAL_ON, 7203, IDB_FT_ADDITIONAL, 7204,
    IDR_FT_SPECIFIED, 7205, IDB_FT_SPECIFIED, 7206, IDB_FT_EXCLUSIONS, 7207, IDX_FT_WHAT1, 7208,
    IDX_FT_WHAT2, 7209, IDX_FT_WHAT3, 7210,
    IDX_ADV_FLAG1, 7301, IDX_ADV_FLAG2, 7302, IDX_ADV_FLAG3, 7303, IDX_ADV_FLAG4, 7304, IDX_ADV_FLAG5, 7305,
    IDX_ADV_FLAG6, 7306, IDC_ADV_RUNMODE, 7307, IDK_ADV_UTILISATION, 7308,
    IDC_ACT_PRIMARY, 7401, IDE_ACT_PRIMARY_FOLDER, 7402, IDB_ACT_PRIMARY_BROWSE, 7403, IDC_ACT_SECONDARY, 7404,
    IDE_ACT_SECONDARY_FOLDER, 7405, IDB_ACT_SECONDARY_BROWSE, 7406,
    IDX_REP_LOG, 7501, IDE_REP_PATH, 7502, IDB_REP_BROWSE, 7503, IDX_REP_LIMIT, 7504, IDE_REP_SIZE, 7505,
    IDX_REP_FLAG1, 7506, IDX_REP_FLAG2, 7507, IDX_REP_FLAG3, 7508, IDX_REP_FLAG4, 7509,
    0, 0,
};

TaskContext* PageContext(HWND page) { return static_cast<TaskContext*>(GetPropW(page, kContextProperty)); }

void EnablePageControls(HWND page, bool enable) {
  for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    EnableWindow(child, enable);
}

void ReportPageChange(HWND page) { SendMessageW(GetParent(page), KM_PAGE_CHANGED, reinterpret_cast<WPARAM>(page), 0); }

namespace {

// Shown, loaded, or told so by "UIPChanged": an editable page follows the policy lock.
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

// The dialog manager clears the answer before each message, and writing it costs a
// round trip to the window server on some systems: a list loading 100,000 rows is
// answered 0 for every row, so only an answer that differs is written.
INT_PTR Answer(HWND page, LRESULT result) {
  if (GetWindowLongPtrW(page, DWLP_MSGRESULT) != result) SetWindowLongPtrW(page, DWLP_MSGRESULT, result);
  return TRUE;
}

}  // namespace

void LoadPage(const PageHandlers& handlers, HWND page) {
  TaskContext* ctx = PageContext(page);
  if (!ctx) return;
  if (handlers.load) handlers.load(page, *ctx);
  if (ctx->editable)
    ApplyPolicyLock(handlers, page, *ctx);
  else
    EnablePageControls(page, false);
}

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
    case WM_HSCROLL:
      if (handlers.scroll) handlers.scroll(page, *ctx, reinterpret_cast<HWND>(lParam));
      return TRUE;
    case WM_SYSCOLORCHANGE:
      // Common controls (the list view, the trackbar) take the new colours from it.
      for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        SendMessageW(child, WM_SYSCOLORCHANGE, wParam, lParam);
      return TRUE;
    case WM_DESTROY:
      if (handlers.destroy) handlers.destroy(page, *ctx);
      RemovePropW(page, kContextProperty);
      return FALSE;
    default:
      return FALSE;
  }
}
