// The sheet: its dialog procedure, the five pages and their tabs, validation, the
// commands of its buttons and menu, and the storage hooks it gives the task storage.
#include "Sheet.h"

#include <uxtheme.h>

#include <memory>
#include <string>
#include <vector>

#include "ControllerWindow.h"
#include "Notify.h"
#include "PageActions.h"
#include "PageAdvanced.h"
#include "PageFileTypes.h"
#include "PageLocations.h"
#include "PageReports.h"
#include "PlatformLibraryLoader.h"
#include "SheetInternal.h"
#include "SheetParts.h"
#include "SystemLibrary.h"
#include "TaskNameDialog.h"
#include "TaskStorage.h"
#include "Texts.h"
#include "resource.h"

namespace {

struct PageEntry {
  int templateId;
  DLGPROC proc;
  const PageHandlers* handlers;
  int title;
};

const PageEntry kPages[kPageCount] = {
    {IDD_PAGE_LOCATIONS, LocationsPageProc, &kLocationsPage, IDS_TAB_LOCATIONS},
    {IDD_PAGE_FILETYPES, FileTypesPageProc, &kFileTypesPage, IDS_TAB_FILETYPES},
    {IDD_PAGE_ADVANCED, AdvancedPageProc, &kAdvancedPage, IDS_TAB_ADVANCED},
    {IDD_PAGE_ACTIONS, ActionsPageProc, &kActionsPage, IDS_TAB_ACTIONS},
    {IDD_PAGE_REPORTS, ReportsPageProc, &kReportsPage, IDS_TAB_REPORTS},
};

constexpr int kFirstNamedItem = 9, kFirstTemporaryItem = 16, kItemsPerKind = 7;

SheetWindow g_sheet;

// Whether the default task loads, into a scratch record released at once, as one the
// user may change.
bool DefaultTaskEditable(const TaskContext& ctx) {
  auto scratch = std::make_unique<ScanOptions>();
  BOOL editable = FALSE;
  if (!LoadScanOptions(ctx.serverName[0] ? ctx.serverName : nullptr, nullptr, nullptr, 0, scratch.get(), &editable))
    return false;
  FreeScanOptionsResources(scratch.get());
  return editable != FALSE;
}

LRESULT SendPageNotice(HWND page, UINT code) {
  NMHDR header = {g_sheet.sheet, 0, code};
  return SendMessageW(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
}

int SelectedPage() {
  LRESULT selected = SendMessageW(g_sheet.tabs, TCM_GETCURSEL, 0, 0);
  return selected >= 0 && selected < kPageCount ? static_cast<int>(selected) : 0;
}

// Every page validates, visible or not; then every page hears PSN_APPLY.
bool ValidatePages() {
  for (HWND page : g_sheet.pages)
    if (SendPageNotice(page, PSN_KILLACTIVE)) return false;
  for (HWND page : g_sheet.pages) SendPageNotice(page, PSN_APPLY);
  return true;
}

void FocusCurrentPage() {
  HWND page = g_sheet.pages[SelectedPage()];
  HWND first = GetNextDlgTabItem(page, nullptr, FALSE);
  SetFocus(first && IsWindowEnabled(first) ? first : g_sheet.tabs);
}

void SetDefaultButton(HWND sheet, int id) {
  int other = id == IDOK ? IDB_SHEET_START : IDOK;
  SendMessageW(sheet, DM_SETDEFID, id, 0);
  SendDlgItemMessageW(sheet, id, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
  SendDlgItemMessageW(sheet, other, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
}

void SetupButtons(TaskContext& ctx) {
  HWND sheet = g_sheet.sheet;
  SetDefaultButton(sheet, ctx.temporary ? IDB_SHEET_START : IDOK);
  SetDlgItemTextW(sheet, IDOK, LanguageText(ctx.temporary ? IDS_OK_TEMPORARY : IDS_OK_NAMED).c_str());
  ctx.dirty = FALSE;
  HMENU menu = GetMenu(sheet);
  UINT state = MF_BYCOMMAND | (IsMidMode() ? MF_GRAYED : MF_ENABLED);
  for (UINT id : {IDM_FILE_LOAD, IDM_FILE_SAVE}) EnableMenuItem(menu, id, state);
  UpdateViewLogEntry(ctx);
  UpdateButtons(ctx);
}

std::vector<std::wstring> RecordItems(const TaskContext& ctx) {
  std::vector<std::wstring> items;
  const QmUtilTable& util = QmUtil();
  if (!util.UTIL_ARRAY_GetCount || !ctx.options.hScanItems) return items;
  for (int i = 0; i < util.UTIL_ARRAY_GetCount(ctx.options.hScanItems); ++i)
    if (auto* text = static_cast<const wchar_t*>(util.UTIL_ARRAY_GetAt(ctx.options.hScanItems, i))) items.push_back(text);
  return items;
}

void RebuildTitle(TaskContext& ctx) {
  TitleParts parts;
  parts.sheetTitle = LanguageText(IDS_SHEET_TITLE);
  parts.taskText = ctx.temporary ? LanguageText(IDS_TEMPORARY_TASK) : ctx.options.szDisplayName;
  parts.optionsFile = ctx.optionsFile;
  if (ctx.itemsFromCommandLine) parts.commandLineItems = RecordItems(ctx);
  parts.server = ctx.serverName;
  parts.readOnlyText = LanguageText(IDS_READONLY);
  parts.local = ctx.local;
  parts.editable = ctx.editable;
  parts.mid = IsMidMode();
  SetWindowTextW(g_sheet.sheet, BuildTitle(parts).c_str());
}

void ReloadPages(TaskContext& ctx) {
  BOOL wasInitialising = ctx.initialising;
  ctx.initialising = TRUE;
  for (int i = 0; i < kPageCount; ++i) LoadPage(*kPages[i].handlers, g_sheet.pages[i]);
  ctx.initialising = wasInitialising;
}

// What task storage asks of the sheet and of its scan-locations page.
class SheetEvents : public StorageEvents {
 public:
  void RefreshButtons(TaskContext& ctx) override { UpdateButtons(ctx); }
  void RefreshRunButtons(TaskContext& ctx) override { UpdateButtons(ctx); }
  void ReloadPages(TaskContext& ctx) override { ::ReloadPages(ctx); }
  void RebuildTitle(TaskContext& ctx) override { ::RebuildTitle(ctx); }
  void SendChangeAlert(TaskContext&) override { ::SendChangeAlert(); }
  void CollectScanItems(TaskContext& ctx) override { CollectLocations(g_sheet.pages[0], ctx); }
  int ScanItemCount() override { return LocationCount(g_sheet.pages[0]); }
  bool ScanItemAdded(int row) override { return LocationAdded(g_sheet.pages[0], row); }
  void ClearScanItemAdded(int row) override { ClearLocationAdded(g_sheet.pages[0], row); }
};
SheetEvents g_events;

using ThemeTexture = HRESULT(WINAPI*)(HWND, DWORD);

// The visual-style texture of a page, when the system's theme library offers it.
void ApplyThemeTexture(HWND page) {
  static const ThemeTexture texture = SystemFunction<ThemeTexture>(L"UxTheme.Dll", "EnableThemeDialogTexture");
  if (texture) texture(page, ETDT_ENABLETAB);
}

void CreatePages(TaskContext& ctx) {
  ctx.initialising = TRUE;
  RECT area;
  GetClientRect(g_sheet.tabs, &area);
  for (int i = 0; i < kPageCount; ++i) {
    const PageEntry& entry = kPages[i];
    HWND page = CreateDialogParamW(ctx.languageModule, MAKEINTRESOURCEW(entry.templateId), g_sheet.sheet, entry.proc,
                                   reinterpret_cast<LPARAM>(&ctx));
    g_sheet.pages[i] = page;
    ApplyThemeTexture(page);
    std::wstring title = LanguageText(entry.title);
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = title.data();
    SendMessageW(g_sheet.tabs, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
  }
  // The display area is known once the tabs are in.
  SendMessageW(g_sheet.tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  MapWindowPoints(g_sheet.tabs, g_sheet.sheet, reinterpret_cast<POINT*>(&area), 2);
  for (HWND page : g_sheet.pages)
    SetWindowPos(page, HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top,
                 SWP_HIDEWINDOW | SWP_NOACTIVATE);
  SendMessageW(g_sheet.tabs, TCM_SETCURSEL, 0, 0);
  ShowSelectedPage();
  ctx.initialising = FALSE;
}

BOOL OnInitDialog(HWND sheet, TaskContext& ctx) {
  g_sheet = SheetWindow();
  g_sheet.ctx = &ctx;
  g_sheet.sheet = sheet;
  g_sheet.tabs = GetDlgItem(sheet, IDW_SHEET_TABS);
  ctx.sheet = sheet;
  SetStorageEvents(&g_events);
  ReadAlertSettings();
  SetTimer(ctx.controller, kStatusPollTimer, 1000, nullptr);
  RebuildTitle(ctx);
  auto icon = static_cast<HICON>(LoadImageW(ctx.languageModule, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON,
                                            GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_SHARED));
  SendMessageW(sheet, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  InstallKeyboardHook();
  CreatePages(ctx);
  SetupButtons(ctx);
  return FALSE;  // the first page has placed the focus
}

// OK on a temporary task names it and keeps the sheet open; on a named task it saves
// and closes.
void OnOk(TaskContext& ctx) {
  if (!ValidatePages()) return;
  if (ctx.temporary) {
    if (NameTemporaryTask(ctx, g_sheet.sheet)) SetupButtons(ctx);
    return;
  }
  if (SaveTask(ctx, g_sheet.sheet)) EndSheet(1);
}

// A named task's edits are saved through its own keys: they are never thrown away
// without asking, also when the default task cannot be written.
void OnCancel(TaskContext& ctx) {
  if (ctx.dirty && (ctx.defaultWriteKey || !ctx.temporary)) {
    int question = ctx.temporary ? IDS_ASK_SAVE_TEMPORARY : IDS_ASK_SAVE_NAMED;
    if (AskQuestion(g_sheet.sheet, question)) {
      if (!ValidatePages()) return;
      bool saved = ctx.temporary ? NameTemporaryTask(ctx, g_sheet.sheet) : SaveTask(ctx, g_sheet.sheet);
      if (!saved) return;
    }
  }
  EndSheet(2);
}

void OnApply(TaskContext& ctx) {
  if (!ValidatePages()) return;
  if (GetFocus() == GetDlgItem(g_sheet.sheet, IDB_SHEET_APPLY)) FocusCurrentPage();
  SaveTask(ctx, g_sheet.sheet);
}

void OnSchedule(TaskContext& ctx) {
  if (!DisplayXMASchedDialog(g_sheet.sheet, &ctx.options.schedule, !ctx.editable)) return;
  ctx.dirty = TRUE;
  UpdateButtons(ctx);
}

void OnCommand(TaskContext& ctx, int id) {
  switch (id) {
    case IDOK: OnOk(ctx); break;
    case IDCANCEL:
    case IDM_FILE_EXIT: OnCancel(ctx); break;
    case IDB_SHEET_APPLY: OnApply(ctx); break;
    case IDB_SHEET_START:
    case IDM_SCAN_START:
      if (ValidatePages()) RequestScan(ctx, true);
      break;
    case IDB_SHEET_STOP: RequestScan(ctx, false); break;
    case IDB_SHEET_SCHEDULE: OnSchedule(ctx); break;
    case IDB_SHEET_RESET: ResetToDefault(ctx, g_sheet.sheet); break;
    case IDB_SHEET_SAVEDEFAULT:
    case IDM_FILE_SAVEDEFAULT:
      if (ValidatePages()) SaveAsDefault(ctx, g_sheet.sheet);
      break;
    case IDB_SHEET_HELP: SendPageNotice(g_sheet.pages[SelectedPage()], PSN_HELP); break;
    case IDM_FILE_LOAD: LoadOptionsFile(ctx); break;
    case IDM_FILE_SAVE:
      if (ValidatePages()) SaveOptionsFile(ctx);
      break;
    case IDM_FILE_VIEWLOG: ViewLog(ctx); break;
    case IDM_HELP_TOPICS: ShowHelpTopics(ctx); break;
    case IDM_HELP_WHATSTHIS: SendMessageW(g_sheet.sheet, WM_SYSCOMMAND, SC_CONTEXTHELP, 0); break;
    case IDM_HELP_ABOUT: ShowAbout(g_sheet.sheet, 0, ctx.defaultReadKey, ctx.defaultWriteKey); break;
    case IDM_HELP_WEB_PRODUCT: LaunchWebHelp(2); break;
    case IDM_HELP_WEB_SUPPORT: LaunchWebHelp(3); break;
    case IDM_HELP_WEB_VIRUSINFO: LaunchWebHelp(1); break;
    default: break;
  }
}

INT_PTR OnNotify(HWND sheet, NMHDR* header) {
  if (header->hwndFrom != g_sheet.tabs) return FALSE;
  if (header->code == TCN_SELCHANGING) {
    SetWindowLongPtrW(sheet, DWLP_MSGRESULT, LeaveVisiblePage() ? FALSE : TRUE);
    return TRUE;
  }
  if (header->code == TCN_SELCHANGE) ShowSelectedPage();
  return FALSE;
}

INT_PTR CALLBACK SheetProc(HWND sheet, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) return OnInitDialog(sheet, *reinterpret_cast<TaskContext*>(lParam));
  TaskContext* ctx = g_sheet.sheet == sheet ? g_sheet.ctx : nullptr;
  if (!ctx) return FALSE;
  switch (message) {
    case WM_COMMAND:
      OnCommand(*ctx, LOWORD(wParam));
      return TRUE;
    case WM_NOTIFY:
      return OnNotify(sheet, reinterpret_cast<NMHDR*>(lParam));
    case KM_PAGE_CHANGED:
      if (!ctx->initialising) {
        ctx->dirty = TRUE;
        UpdateButtons(*ctx);
      }
      return TRUE;
    case WM_SYSCOLORCHANGE:
      for (HWND page : g_sheet.pages) SendMessageW(page, WM_SYSCOLORCHANGE, wParam, lParam);
      return FALSE;
    case WM_DESTROY:
      RemoveKeyboardHook();
      KillTimer(ctx->controller, kStatusPollTimer);
      SetStorageEvents(nullptr);
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

SheetWindow& TheSheet() { return g_sheet; }

bool LeaveVisiblePage() {
  for (HWND page : g_sheet.pages)
    if (IsWindowVisible(page) && SendPageNotice(page, PSN_KILLACTIVE)) return false;
  return true;
}

void ShowSelectedPage() {
  for (HWND page : g_sheet.pages) ShowWindow(page, SW_HIDE);
  HWND page = g_sheet.pages[SelectedPage()];
  if (SendPageNotice(page, PSN_SETACTIVE)) return;
  ShowWindow(page, SW_SHOW);
  if (GetFocus() != g_sheet.tabs) FocusCurrentPage();
}

void UpdateButtons(TaskContext& ctx) {
  HWND sheet = g_sheet.sheet;
  if (!sheet) return;
  ButtonInputs in;
  in.running = (ctx.options.wStatus & KORBEL_STATUS_RUNNING) != 0;
  in.startPending = ctx.startPending;
  in.stopPending = ctx.stopPending;
  in.standalone = !IsMidMode();
  in.temporary = ctx.temporary;
  in.editable = ctx.editable;
  in.dirty = ctx.dirty;
  in.defaultWriteKey = ctx.defaultWriteKey != nullptr;
  int first = ctx.temporary ? kFirstTemporaryItem : kFirstNamedItem;
  if (in.standalone && ctx.productKey)
    for (int item = first; item < first + kItemsPerKind; ++item)
      in.taskKindLocked = in.taskKindLocked || IsPolicyLocked(ctx, item);
  in.wholeTaskLocked = IsPolicyLocked(ctx, policy::kWholeTask);
  in.scheduleLocked = IsPolicyLocked(ctx, policy::kSchedule);
  if (!in.running && !in.startPending && !in.stopPending && in.standalone && !in.wholeTaskLocked)
    in.defaultTaskEditable = DefaultTaskEditable(ctx);
  ButtonStates s = ComputeButtonStates(in);
  EnableWindow(GetDlgItem(sheet, IDB_SHEET_START), s.start);
  EnableWindow(GetDlgItem(sheet, IDB_SHEET_STOP), s.stop);
  EnableWindow(GetDlgItem(sheet, IDB_SHEET_RESET), s.reset);
  EnableWindow(GetDlgItem(sheet, IDB_SHEET_SAVEDEFAULT), s.saveDefault);
  EnableWindow(GetDlgItem(sheet, IDOK), s.ok);
  EnableWindow(GetDlgItem(sheet, IDB_SHEET_APPLY), s.apply);
  EnableWindow(GetDlgItem(sheet, IDB_SHEET_SCHEDULE), s.schedule);
  HMENU menu = GetMenu(sheet);
  EnableMenuItem(menu, IDM_SCAN_START, MF_BYCOMMAND | (s.start ? MF_ENABLED : MF_GRAYED));
  EnableMenuItem(menu, IDM_FILE_SAVEDEFAULT, MF_BYCOMMAND | (s.saveDefault ? MF_ENABLED : MF_GRAYED));
}

void EndSheet(int result) {
  g_sheet.ending = true;
  EndDialog(g_sheet.sheet, result);
}

INT_PTR RunSheet(TaskContext& ctx) {
  INT_PTR result = DialogBoxParamW(ctx.languageModule, MAKEINTRESOURCEW(IDD_SHEET), ctx.controller, SheetProc,
                                   reinterpret_cast<LPARAM>(&ctx));
  g_sheet = SheetWindow();
  ctx.sheet = nullptr;
  return result == 1 ? 1 : 2;
}

void SheetStatusPoll(TaskContext& ctx) {
  if (g_sheet.sheet) PollScanStatus(ctx);
}

void SheetPolicyChanged(TaskContext& ctx) {
  for (HWND page : g_sheet.pages)
    if (page) PostMessageW(page, WM_SHOWWINDOW, 0, 0);
  UpdateButtons(ctx);
}

// A cancel whose save failed, or was refused by a page, keeps the sheet open: it goes
// on following the task's scans.
void SheetCancel(TaskContext& ctx) {
  if (!g_sheet.sheet) return;
  SendMessageW(g_sheet.sheet, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  if (g_sheet.sheet && !g_sheet.ending) SetTimer(ctx.controller, kStatusPollTimer, 1000, nullptr);
}
